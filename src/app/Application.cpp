#include "app/Application.h"

#include <unistd.h>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QUrl>

#include <cstdio>
#include <tuple>

#include "cli/CommandLineSession.h"
#include "cli/Notices.h"
#include "cli/SignalWatcher.h"
#include "cli/Usage.h"

#include "cli/CommandLine.h"
#include "scan/QueryMarks.h"
#include "scan/ReaderStaging.h"
#include "scan/ScanRun.h"
#include "scan/ViewerFiles.h"
#include "scan/Walk.h"
#include "scan/WholeArchive.h"
#include "scan/WorkFolder.h"
#include "settings/Product.h"
#include "settings/Settings.h"
#include "text/ShownPath.h"
#include "ui/AboutBox.h"
#include "ui/StartStop.h"
#include "ui/WaitCursor.h"

namespace quillery {

Questions& AppQuestions::current() {
    if (override_ != nullptr) {
        return *override_;
    }
    if (unattended_) {
        return unattendedAnswers_;
    }
    return dialogs_;
}

void AppQuestions::message(const QString& text, const QString& title, MessageStyle style) {
    current().message(text, title, style);
}
QString AppQuestions::browseForFolder(const QString& prompt, const QString& initialFolder) {
    return current().browseForFolder(prompt, initialFolder);
}
QString AppQuestions::askPassword(const QString& prompt) {
    return current().askPassword(prompt);
}
int AppQuestions::askReplace(const QString& question, const QString& title) {
    return current().askReplace(question, title);
}

Application::Application(Questions* questions, bool hasDisplay)
    : questions_(questions),
      hasDisplay_(hasDisplay),
      options_(std::make_unique<OptionsDialog>(state_)),
      window_(std::make_unique<MainWindow>(state_, questions_, *options_)),
      form_(*window_),
      context_{state_, *window_, questions_, this} {
    TakeWorkerCount(state_);
    questions_.setOwner(window_.get());
    window_->setResizer(&resizer_);
    options_->setParent(window_.get(), options_->windowFlags());
    connect(window_.get(), &MainWindow::startStopClicked, this,
            [this] { StartStopClick(context_, *window_); });
    connect(window_.get(), &MainWindow::optionsClicked, this, &Application::showOptions);
    connect(window_.get(), &MainWindow::aboutClicked, this, &Application::showAbout);
    connect(window_.get(), &MainWindow::closing, this, &Application::shutdown);
    connect(window_.get(), &MainWindow::resultOpened, this, &Application::openResult);
    connect(window_.get(), &MainWindow::resultFolderOpened, this, &Application::openFolderOf);
    connect(window_.get(), &MainWindow::noticed, this, &PrintNotice);
}

Application::~Application() {
    // The options dialog is owned here, not by the window.
    if (options_) {
        options_->setParent(nullptr);
    }
}

int Application::start(const QString& argumentText) {
    return start(argumentText, ReadSwitchLine(argumentText));
}

int Application::start(const QString& argumentText, const CommandLineRequest& request) {
    MainWindow& w = *window_;
    w.hide();
    w.centreOnScreen();
    w.setWindowTitle(TitleText());
    options_->setWindowTitle(TitleText());
    w.setUpToolTips();
    StartUp(state_, form_, questions_);

    questions_.setUnattended(true);
    // A run asked for in separate words keeps the window's remembered values (also when a
    // signal ends it) unless told to store its own.
    keepStoredSettings_ = request.separateWords && !request.saveSettings;
    CommandLineEnd end;
    if (RunCommandLine(context_, form_, questions_.unattended(), argumentText, request, end)) {
        if (interrupted_) {
            return kInterruptedStatus;  // shut down already, for the signal
        }
        const int status = FinishCommandLine(state_, w.statusText(), request, std::move(end));
        shutdown();
        return status;
    }
    keepStoredSettings_ = false;  // no run: the window's session stores them as usual
    questions_.setUnattended(!hasDisplay_);
    if (!hasDisplay_) {
        std::fputs(NoDisplayText().toLocal8Bit().constData(), stderr);
        // Nothing was loaded into the windows and nothing ran: the stored settings stay as
        // they are instead of being overwritten with the start-up values.
        keepStoredSettings_ = true;
        shutdown();
        return 2;
    }

    AnimateBusy(context_, false);
    w.setUpListview();
    w.show();
    loadSettings();
    if (request.separateWords) {
        applyGivenValues(request);
    }
    return -1;
}

void Application::applyGivenValues(const CommandLineRequest& request) {
    const CommandLineSwitches& given = request.switches;
    if (given.search) {
        window_->setSearchText(*given.search);
    }
    if (given.folder) {
        window_->setFolderText(*given.folder);
    }
    if (given.extensions) {
        window_->setPatternText(*given.extensions);
    }
    // Each switch given sets its box; the others keep what the settings say.
    for (const auto& [switched, box, checked] : {std::tuple{given.audit, OptionBox::Audit, true},
                                                 {given.allArchives, OptionBox::AllArchives, true},
                                                 {given.noIndex, OptionBox::Index, false},
                                                 {given.expressions, OptionBox::Expressions, true},
                                                 {given.matchCase, OptionBox::MatchCase, true},
                                                 {given.wholeWords, OptionBox::WholeWords, true}}) {
        if (switched) {
            options_->setChecked(box, checked);
        }
    }
}

void Application::interrupt() {
    interrupted_ = true;
    shutdown();
}

void Application::shutdown() {
    if (shutDown_) {
        return;
    }
    shutDown_ = true;
    EndSession(context_, keepStoredSettings_ ? nullptr : &form_);
}

void Application::writeRunLog() {
    const QString before = window_->logText();
    std::vector<RunLogInput::Row> rows;
    const int count = window_->resultRowCount();
    rows.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const ResultRow row = window_->resultRow(i);
        rows.push_back({row.filePath, row.fileName});
    }
    const RunLogWriter::Outcome outcome =
        log_.write(RunLogInputOf(state_, window_->patternText(), std::move(rows)), before);
    if (outcome.boxText != before) {
        window_->setLogText(outcome.boxText);
    }
    if (outcome.failed) {
        questions_.message(QStringLiteral("Can't open log file - ") + LogFileName(), TitleText(),
                           MessageStyle::Critical);
    }
}

void Application::loadSettings() {
    const SettingsValues values = LoadSettings();
    window_->setSearchText(values.searchString);
    window_->setFolderText(values.searchPath);
    window_->setPatternText(values.fileExtensions);
    options_->setChecked(OptionBox::Audit, values.audit != 0);
    options_->setChecked(OptionBox::InternalViewer, values.internalView != 0);
    options_->setChecked(OptionBox::SubFolders, values.subFolders != 0);
    options_->setChecked(OptionBox::ShowSize, values.showSize != 0);
    options_->setChecked(OptionBox::AllArchives, values.allArchives != 0);
    state_.Expressions = values.expressions != 0;
    state_.MatchCase = values.matchCase != 0;
    state_.WholeWords = values.wholeWords != 0;
    options_->setChecked(OptionBox::Expressions, state_.Expressions);
    options_->setChecked(OptionBox::MatchCase, state_.MatchCase);
    options_->setChecked(OptionBox::WholeWords, state_.WholeWords);
    ApplyIndexSettings(values, state_, form_);
}

void Application::showOptions() {
    options_->exec();
}

void Application::showAbout() {
    AboutBox about(window_.get());
    about.exec();
}

}  // namespace quillery

namespace quillery {

void Application::openResult(const ResultRow& row) {
    if (row.archive.empty()) {
        return;
    }
    if (!options_->isChecked(OptionBox::InternalViewer)) {
        openFile_(QUrl::fromLocalFile(PathText(row.archive)));
        return;
    }
    MainWindow& w = *window_;
    const QString keptStatus = w.statusText();
    ViewerContent content;
    {
        WaitCursor busy;
        w.setStatus(QStringLiteral("Please Wait, Loading Files In To Viewer ....."));
        w.repaintStatus();
        if (!state_.WorkFolder.empty()) {
            // An empty pattern box stands for the default text, which the box then shows.
            const QString patterns = w.patternText();
            if (patterns.isEmpty()) {
                w.setPatternText(kDefaultPatternText);
            }
            std::string failure;
            StageInReader(state_.staging, patterns, questions_, row.archive, state_.WorkFolder,
                          false, &failure);
            if (!failure.empty()) {
                PrintNotice(QStringLiteral("quillery: ") + PathText(row.archive) +
                            QStringLiteral(": ") + QString::fromStdString(failure));
            }
        }
        // Read as the boxes say now, as the search string is the one typed now.
        content = ViewerContentFor(TakeViewerFiles(state_.WorkFolder), state_.SearchString,
                                   options_->isChecked(OptionBox::Expressions),
                                   {options_->isChecked(OptionBox::MatchCase),
                                    options_->isChecked(OptionBox::WholeWords)});
    }
    ViewerWindow viewer;
    viewer.setResizer(&resizer_);
    viewer.setContent(content);
    viewer.setArchive(row.archive, ShownFolder(PathText(row.archive)));
    viewer.setExtractHandler([this, &viewer] { return extractShownArchive(viewer); });
    viewer_ = &viewer;
    questions_.setOwner(&viewer);
    w.hide();
    viewer.exec();
    questions_.setOwner(&w);
    viewer_ = nullptr;
    w.setStatus(keptStatus);
    w.repaintStatus();
    w.show();
}

void Application::openFolderOf(const ResultRow& row) {
    if (!row.archive.empty()) {
        openFile_(QUrl::fromLocalFile(PathText(row.archive.parent_path())));
    }
}

bool Application::extractShownArchive(ViewerWindow& viewer) {
    const QString chosen = questions_.browseForFolder(kPickTargetFolderPrompt, QString());
    WaitCursor busy;
    return ExtractWholeArchive(context_, viewer.archive(), chosen) ==
           WholeArchiveOutcome::Extracted;
}

}  // namespace quillery
