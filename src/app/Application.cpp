#include "app/Application.h"

#include <unistd.h>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QUrl>

#include <cstdio>

#include "app/CommandLineOutput.h"
#include "app/SignalWatcher.h"

#include "app/CommandLine.h"
#include "scan/ScanRun.h"
#include "scan/ViewerFiles.h"
#include "scan/Walk.h"
#include "scan/WholeArchive.h"
#include "scan/WorkFolder.h"
#include "settings/Product.h"
#include "settings/Settings.h"
#include "text/ShownPath.h"
#include "ui/AboutBox.h"
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
    if (beforeMessage_ && override_ == nullptr && unattended_) {
        beforeMessage_();
    }
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
      context_{state_, *window_, questions_, this} {
    questions_.setOwner(window_.get());
    window_->setResizer(&resizer_);
    options_->setParent(window_.get(), options_->windowFlags());
    connect(window_.get(), &MainWindow::startStopClicked, this,
            [this] { StartStopClick(context_); });
    connect(window_.get(), &MainWindow::optionsClicked, this, &Application::showOptions);
    connect(window_.get(), &MainWindow::aboutClicked, this, &Application::showAbout);
    connect(window_.get(), &MainWindow::closing, this, &Application::shutdown);
    connect(window_.get(), &MainWindow::resultDoubleClicked, this, &Application::openResult);
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
    w.setCheckedCount(QStringLiteral("     0"));
    w.setFoundCount(QStringLiteral("     0"));
    w.setSearchText(QString());
    w.setFolderText(QString());
    w.setPatternText(QStringLiteral("*.nfo *.diz *.txt"));
    w.setStatus(kProductName + kVersionText + QStringLiteral("- find text inside zip archives."));
    state_.KeepScanning = false;
    state_.FilesChecked = 0;
    state_.FilesFound = 0;
    state_.SearchFolder.clear();
    state_.AuditMode = false;
    state_.UseAudit = false;
    state_.ScanIdle = true;
    options_->setChecked(OptionBox::SubFolders, true);
    options_->setChecked(OptionBox::InternalViewer, true);
    options_->setChecked(OptionBox::Index, true);
    options_->setWindowTitle(TitleText());
    state_.UseInternalViewer = true;
    state_.IncludeSubFolders = true;
    w.setUpToolTips();
    SetUpWorkFolder(state_, questions_);
    ShellDelete(state_.WorkFolder);
    w.setStartCaption(kStartCaption);

    questions_.setUnattended(true);
    bool ran = false;
    {
        CommandLineOutput output(state_,
                                 {request.list, request.nullEnds, ::isatty(STDERR_FILENO) == 1});
        context_.listener = &output;
        questions_.setBeforeMessage([&output] { output.erase(); });
        ran = ProcessCommandLine(*this, argumentText, request);
        questions_.setBeforeMessage({});
        context_.listener = nullptr;
    }
    if (ran) {
        if (interrupted_) {
            return kInterruptedStatus;  // shut down already, for the signal
        }
        if (state_.lastRun != RunOutcome::Refused) {
            // With the list on standard output, the summary goes beside it.
            std::FILE* summary = request.list ? stderr : stdout;
            std::fprintf(summary, "%s\n", w.statusText().toLocal8Bit().constData());
            std::fflush(summary);
        }
        shutdown();
        switch (state_.lastRun) {
            case RunOutcome::Matched:
                return 0;
            case RunOutcome::NoMatch:
                return 1;
            default:
                return 2;
        }
    }
    questions_.setUnattended(!hasDisplay_);
    if (!hasDisplay_) {
        std::fprintf(stderr,
                     "%s: no display to show the window on, and the arguments start no search.\n"
                     "Run a search with: quillery --folder FOLDER --search TEXT "
                     "(see quillery --help)\n",
                     kProductName.trimmed().toLocal8Bit().constData());
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
    if (given.audit) {
        options_->setChecked(OptionBox::Audit, true);
    }
    if (given.allArchives) {
        options_->setChecked(OptionBox::AllArchives, true);
    }
    if (given.noIndex) {
        options_->setChecked(OptionBox::Index, false);
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
    state_.KeepScanning = false;
    writeRunLog();
    if (!keepStoredSettings_) {
        saveSettings();
    }
    RemoveWorkFolder(state_);
    // A walk in progress unwinds from its yield without touching the window again.
    state_.closing = true;
    QCoreApplication::quit();
}

void Application::writeRunLog() {
    RunLogInput input;
    input.filesChecked = state_.FilesChecked;
    input.filesFound = state_.FilesFound;
    input.startFolder = ShownFolder(state_.StartFolder);
    input.searchString = state_.SearchString;
    input.commandLine = state_.CommandLine;
    input.patternText = window_->patternText();
    input.auditMode = state_.AuditMode;
    input.useAudit = state_.UseAudit;
    if (input.filesChecked != 0) {
        const int rows = window_->resultRowCount();
        input.rows.reserve(static_cast<std::size_t>(rows));
        for (int i = 0; i < rows; ++i) {
            const ResultRow row = window_->resultRow(i);
            input.rows.push_back({ShownFolder(row.filePath), row.fileName});
        }
    }
    const QString before = window_->logText();
    const RunLogWriter::Outcome outcome = log_.write(input, before);
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
    ApplyIndexSettings(values, *this);
}

void Application::saveSettings() {
    SettingsValues values;
    values.searchString = window_->searchText();
    values.searchPath = window_->folderText();
    values.fileExtensions = window_->patternText();
    values.audit = options_->isChecked(OptionBox::Audit) ? 1 : 0;
    values.internalView = options_->isChecked(OptionBox::InternalViewer) ? 1 : 0;
    values.subFolders = options_->isChecked(OptionBox::SubFolders) ? 1 : 0;
    values.showSize = options_->isChecked(OptionBox::ShowSize) ? 1 : 0;
    values.allArchives = options_->isChecked(OptionBox::AllArchives) ? 1 : 0;
    values.noIndex = options_->isChecked(OptionBox::Index) ? 0 : 1;
    if (state_.IndexLimitBytes != RunState::kDefaultIndexLimitBytes) {
        values.indexLimitMB = static_cast<int>(state_.IndexLimitBytes >> 20);
    }
    SaveSettings(values);
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
            StageArchive(state_.staging, w, questions_, row.archive, state_.WorkFolder, false,
                         false);
        }
        content = BuildViewerContent(TakeViewerFiles(state_.WorkFolder), state_.SearchString);
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

bool Application::extractShownArchive(ViewerWindow& viewer) {
    const QString chosen = questions_.browseForFolder(kPickTargetFolderPrompt, QString());
    WaitCursor busy;
    return ExtractWholeArchive(context_, viewer.archive(), chosen) ==
           WholeArchiveOutcome::Extracted;
}

}  // namespace quillery
