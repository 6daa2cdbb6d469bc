#include "ui/MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QIcon>
#include <QImage>
#include <QMouseEvent>
#include <QPixmap>
#include <array>
#include <filesystem>
#include <system_error>
#include <utility>

#include "archive/Staging.h"
#include "scan/Formats.h"
#include "scan/ScanRun.h"
#include "settings/Product.h"
#include "text/TextCase.h"
#include "ui/Contrast.h"
#include "ui/OptionsDialog.h"
#include "ui/Resizer.h"
#include "ui/Twips.h"
#include "ui/WindowFit.h"

void QuilleryInitUiResources() {
    Q_INIT_RESOURCE(ui);
}

namespace quillery {

namespace {

template <class W>
W* Make(QWidget* parent, const char* name, QRect geometry) {
    auto* w = new W(parent);
    w->setObjectName(QLatin1String(name));
    w->setGeometry(geometry);
    return w;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, QRect geometry) {
    auto* label = Make<QLabel>(parent, name, geometry);
    label->setText(text);
    return label;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& text, QRect geometry) {
    auto* button = Make<QPushButton>(parent, name, geometry);
    button->setText(text);
    return button;
}

const std::array<QString, 4> kBusyFrames = {
    QStringLiteral(":/busy/0.xpm"), QStringLiteral(":/busy/1.xpm"), QStringLiteral(":/busy/2.xpm"),
    QStringLiteral(":/busy/3.xpm")};

// A frame of the busy animation with every colour made to stand out from the background.
QPixmap ReadableFrame(const QString& path, const QColor& background) {
    QImage image(path);
    image = image.convertToFormat(QImage::Format_ARGB32);
    constexpr double kVisible = 3.0;  // enough for a graphic, as opposed to text
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor colour = image.pixelColor(x, y);
            if (colour.alpha() != 0) {
                image.setPixelColor(x, y, Readable(colour, background, kVisible));
            }
        }
    }
    return QPixmap::fromImage(image);
}

}  // namespace

MainWindow::MainWindow(RunState& state, Questions& questions, OptionsDialog& options)
    : state_(state), questions_(questions), options_(options) {
    QuilleryInitUiResources();
    setObjectName(QStringLiteral("Form1"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/quillery.xpm")));
    resize(TwipsSize(7488, 7092));
    // The layout was drawn for a small dialog font; a common desktop font of that size keeps
    // the captions inside their places.
    QFont small = font();
    small.setPixelSize(11);
    setFont(small);

    label3_ =
        MakeLabel(this, "Label3", QStringLiteral("S&earch String"), TwipsRect(240, 156, 1020, 372));
    textSearchString_ = Make<QLineEdit>(this, "textSearchString", TwipsRect(1440, 120, 5700, 372));
    label1_ =
        MakeLabel(this, "Label1", QStringLiteral("Search &Path"), TwipsRect(240, 720, 1020, 372));
    textSearchPath_ = Make<QLineEdit>(this, "textSearchPath", TwipsRect(1440, 720, 5700, 372));
    label6_ = MakeLabel(this, "Label6", QStringLiteral("&File Extentions"),
                        TwipsRect(240, 1320, 1140, 372));
    textExtensions_ = Make<QLineEdit>(this, "textExtensions", TwipsRect(1440, 1320, 5700, 372));
    listView_ = new ResultList(this);
    listView_->setObjectName(QStringLiteral("ListView1"));
    listView_->setGeometry(TwipsRect(1800, 1800, 5412, 3252));
    comCheckFolder_ =
        MakeButton(this, "comCheckFolder", kStartCaption, TwipsRect(240, 1920, 1380, 495));
    cmdOptions_ =
        MakeButton(this, "cmdOptions", QStringLiteral("&Options"), TwipsRect(240, 2760, 1380, 495));
    comAbout_ =
        MakeButton(this, "comAbout", QStringLiteral("&About"), TwipsRect(240, 3600, 1380, 495));
    label4_ = MakeLabel(this, "Label4", QStringLiteral("Checked"), TwipsRect(240, 4320, 732, 252));
    lblChecked_ =
        MakeLabel(this, "lblChecked", FormatCounterStart(), TwipsRect(1020, 4320, 732, 252));
    label5_ = MakeLabel(this, "label5", QStringLiteral("Found"), TwipsRect(240, 4800, 732, 252));
    lblFound_ = MakeLabel(this, "lblFound", FormatCounterStart(), TwipsRect(1020, 4800, 732, 252));
    txtStatusBar_ = Make<QLineEdit>(this, "txtStatusBar", TwipsRect(240, 5160, 6564, 432));
    picture1_ = Make<QLabel>(this, "Picture1", TwipsRect(6780, 5160, 432, 432));
    rtxtLog_ = Make<QPlainTextEdit>(this, "rtxtLog", TwipsRect(240, 5760, 6972, 1212));

    label3_->setBuddy(textSearchString_);
    label1_->setBuddy(textSearchPath_);
    label6_->setBuddy(textExtensions_);
    // The counters sit right-aligned in the gap between their captions and the list; a count
    // too wide for that gap is drawn in a smaller font instead of over the list.
    QFont counterFont(QStringLiteral("MS Serif"));
    counterFont.setPixelSize(small.pixelSize());
    for (QLabel* counter : {lblChecked_, lblFound_}) {
        counter->setFont(counterFont);
        counter->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        MarkAsShrinkingValue(counter);
    }
    txtStatusBar_->setReadOnly(true);
    rtxtLog_->setReadOnly(true);
    picture1_->setAlignment(Qt::AlignCenter);
    textSearchPath_->installEventFilter(this);

    setTabOrder(comCheckFolder_, textSearchString_);
    setTabOrder(textSearchString_, textSearchPath_);
    setTabOrder(textSearchPath_, textExtensions_);
    setTabOrder(textExtensions_, cmdOptions_);
    setTabOrder(cmdOptions_, comAbout_);

    connect(textSearchString_, &QLineEdit::textChanged, this,
            [this](const QString& text) { state_.SearchString = text; });
    connect(textSearchPath_, &QLineEdit::textChanged, this,
            [this](const QString& text) { state_.SearchFolder = text; });
    connect(comCheckFolder_, &QPushButton::clicked, this, &MainWindow::startStopClicked);
    connect(cmdOptions_, &QPushButton::clicked, this, &MainWindow::optionsClicked);
    connect(comAbout_, &QPushButton::clicked, this, &MainWindow::aboutClicked);
    connect(listView_, &ResultList::openRequested, this, &MainWindow::resultOpened);
    connect(listView_, &ResultList::openFolderRequested, this, &MainWindow::resultFolderOpened);
}

QString MainWindow::FormatCounterStart() {
    return QStringLiteral("     0");
}

void MainWindow::setResizer(Resizer* resizer) {
    resizer_ = resizer;
    if (resizer_ != nullptr) {
        // The reference layout is the one the controls were made with.
        resizer_->widthPercent(this);
    }
}

void MainWindow::centreOnScreen() {
    PlaceOnScreen(this, resizer_ != nullptr ? resizer_->minimumSize(this) : QSize());
}

void MainWindow::setUpToolTips() {
    comAbout_->setToolTip(QStringLiteral("Information about ") + kProductName);
    textSearchString_->setToolTip(
        QStringLiteral("Enter string - word or phrase - to find match for; use ") +
        QLatin1Char('"') + QStringLiteral("&&") + QLatin1Char('"') +
        QStringLiteral(" for AND searches, ") + QLatin1Char('"') + QStringLiteral("|| ") +
        QLatin1Char('"') + QStringLiteral(" for OR searches."));
    textSearchPath_->setToolTip(
        QStringLiteral("Double-click to enter") +
        QStringLiteral(" starting search path; single-click to edit current search path."));
    textExtensions_->setToolTip(
        QStringLiteral("Enter file extensions to include in search within zips; separate each "
                       "included") +
        QStringLiteral(" extension with a space (ex.- *.txt *.diz)."));
    cmdOptions_->setToolTip(QStringLiteral("SetUp options for ") + kProductName);
    listView_->setToolTip(QStringLiteral(
        "Filenames matching your search criteria;double-click to view text files or launch "
        "normal zip program."));
    rtxtLog_->setToolTip(QStringLiteral(
        "Displays Logfile info of current search results; see Logfile for complete search "
        "results."));
    txtStatusBar_->setToolTip(QStringLiteral("Keeps User appraised of programs progress."));
    options_.findChild<QWidget*>(QStringLiteral("chkInternalView"))
        ->setToolTip(QStringLiteral("When checked, opens text files with FAST internal viewer; "
                                    "otherwise launches normal zip program."));
    options_.findChild<QWidget*>(QStringLiteral("scanFolder"))
        ->setToolTip(QStringLiteral("Check this box to recurse through subdirectories."));
    options_.findChild<QWidget*>(QStringLiteral("chkAudit"))
        ->setToolTip(
            QStringLiteral("Primarily for networked drives, see Readme.txt for examples of use."));
    options_.findChild<QWidget*>(QStringLiteral("chkSize"))
        ->setToolTip(QStringLiteral("Display FileSize for files found."));
    options_.findChild<QWidget*>(QStringLiteral("chkAllArchives"))
        ->setToolTip(QStringLiteral(
            "Also search 7z, rar, tar, cab, lzh, iso, cpio and xar archives, and archives "
            "inside archives."));
}

void MainWindow::setUpListview() {
    listView_->setUpColumns();
}

QString MainWindow::logText() const {
    return rtxtLog_->toPlainText();
}

void MainWindow::setLogText(const QString& text) {
    rtxtLog_->setPlainText(text);
    rtxtLog_->moveCursor(QTextCursor::End);
}

QString MainWindow::statusText() const {
    return txtStatusBar_->text();
}

QString MainWindow::searchText() const {
    return textSearchString_->text();
}
void MainWindow::setSearchText(const QString& text) {
    textSearchString_->setText(text);
}
QString MainWindow::folderText() const {
    return textSearchPath_->text();
}
void MainWindow::setFolderText(const QString& text) {
    textSearchPath_->setText(text);
}
QString MainWindow::patternText() const {
    return textExtensions_->text();
}
void MainWindow::setPatternText(const QString& text) {
    textExtensions_->setText(text);
}
void MainWindow::setStatus(const QString& text) {
    pendingChecking_.reset();
    if (deferred_) {
        pendingStatus_ = text;
        return;
    }
    txtStatusBar_->setText(text);
    // A long text shows its beginning, where the counts are.
    txtStatusBar_->setCursorPosition(0);
}

void MainWindow::setCheckingStatus(const std::string& archive) {
    if (!deferred_) {
        setStatus(CheckingStatus(archive));
        return;
    }
    // Made only when it is shown.
    pendingStatus_.reset();
    pendingChecking_ = archive;
}

void MainWindow::setInputsEnabled(bool searchBox, bool folderBox, bool patternBox) {
    textSearchString_->setEnabled(searchBox);
    textSearchPath_->setEnabled(folderBox);
    textExtensions_->setEnabled(patternBox);
}

void MainWindow::setStartCaption(const QString& caption) {
    comCheckFolder_->setText(caption);
}
void MainWindow::setCheckedCount(const QString& text) {
    if (deferred_) {
        pendingChecked_ = text;
        return;
    }
    lblChecked_->setText(text);
    FitValueFont(lblChecked_);
}
void MainWindow::setFoundCount(const QString& text) {
    if (deferred_) {
        pendingFound_ = text;
        return;
    }
    lblFound_->setText(text);
    FitValueFont(lblFound_);
}
void MainWindow::addResultRow(const ResultRow& row) {
    listView_->addRow(row);
}

RunRequest MainWindow::runRequest() const {
    RunRequest request;
    request.folder = folderText();
    request.searchText = searchText();
    request.patternText = patternText();
    request.audit = optionChecked(OptionBox::Audit);
    request.subFolders = optionChecked(OptionBox::SubFolders);
    request.allArchives = optionChecked(OptionBox::AllArchives);
    request.useIndex = optionChecked(OptionBox::Index);
    return request;
}

void MainWindow::phase(RunPhase phase) {
    switch (phase) {
        case RunPhase::Preparing:
            runNotices_.clear();
            setInputsEnabled(false, false, false);
            listView_->clear();
            listView_->setSorted(false);
            listView_->fitColumns(optionChecked(OptionBox::ShowSize));
            break;
        case RunPhase::Walking:
            setStartCaption(kStopCaption);
            setDisplayDeferred(true);
            break;
        case RunPhase::Walked:
            setDisplayDeferred(false);
            break;
        case RunPhase::Finished:
            setInputsEnabled(true, true, true);
            setStartCaption(kStartCaption);
            listView_->setSorted(true);
            if (!runNotices_.isEmpty()) {
                rtxtLog_->appendPlainText(runNotices_.join(QLatin1Char('\n')));
                runNotices_.clear();
            }
            break;
    }
}

void MainWindow::notice(const QString& text) {
    emit noticed(text);
    QString shown = text;
    if (shown.startsWith(QStringLiteral("quillery: "))) {
        shown.remove(0, 10);
    }
    runNotices_.push_back(shown);
}

void MainWindow::counts(std::int64_t checked, std::int64_t found) {
    setCheckedCount(FormatCounter(checked));
    setFoundCount(FormatCounter(found));
}

void MainWindow::archiveFound(const FoundArchive& found) {
    ResultRow row{found.fileName, found.filePath, QString(), found.archive};
    // The option counts as it is when the row is added.
    if (optionChecked(OptionBox::ShowSize)) {
        std::error_code ec;
        const std::uintmax_t size = std::filesystem::file_size(found.archive, ec);
        row.fileSize = FormatSizeKB(ec ? 0 : size);
    }
    addResultRow(row);
}
int MainWindow::resultRowCount() const {
    return listView_->topLevelItemCount();
}
ResultRow MainWindow::resultRow(int index) const {
    return listView_->row(index);
}
bool MainWindow::optionChecked(OptionBox box) const {
    return options_.isChecked(box);
}
void MainWindow::setOptionChecked(OptionBox box, bool checked) {
    options_.setChecked(box, checked);
}

void MainWindow::showBusyFrame(int frame) {
    if (deferred_) {
        pendingFrame_ = frame;
        return;
    }
    QPixmap& pixmap = busyFrames_[static_cast<std::size_t>(frame & 3)];
    if (pixmap.isNull()) {
        pixmap = ReadableFrame(kBusyFrames[static_cast<std::size_t>(frame & 3)],
                               palette().color(QPalette::Window));
    }
    picture1_->setPixmap(pixmap);
}

void MainWindow::yieldToEvents() {
    // During a walk, events are handled (and the window repainted) at most every
    // repaintInterval_ milliseconds; a stop click waits that long at the most.
    if (deferred_ && sinceRepaint_.isValid() && sinceRepaint_.elapsed() < repaintInterval_) {
        return;
    }
    showPending();
    QCoreApplication::processEvents();
    sinceRepaint_.start();
}

void MainWindow::setDisplayDeferred(bool deferred) {
    if (deferred == deferred_) {
        return;
    }
    deferred_ = deferred;
    if (deferred) {
        sinceRepaint_.invalidate();
    } else {
        showPending();
    }
}

void MainWindow::showPending() {
    const bool was = deferred_;
    deferred_ = false;
    if (pendingStatus_) {
        setStatus(*std::exchange(pendingStatus_, std::nullopt));
    }
    if (pendingChecking_) {
        setStatus(CheckingStatus(*std::exchange(pendingChecking_, std::nullopt)));
    }
    if (pendingChecked_) {
        setCheckedCount(*std::exchange(pendingChecked_, std::nullopt));
    }
    if (pendingFound_) {
        setFoundCount(*std::exchange(pendingFound_, std::nullopt));
    }
    if (pendingFrame_) {
        showBusyFrame(*std::exchange(pendingFrame_, std::nullopt));
    }
    deferred_ = was;
}

void MainWindow::repaintStatus() {
    txtStatusBar_->repaint();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!closed_) {
        closed_ = true;
        emit closing();
    }
    event->accept();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == textSearchPath_ && event->type() == QEvent::MouseButtonDblClick) {
        chooseStartFolder();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::chooseStartFolder() {
    const QString initial = TrimBlanks(textSearchPath_->text());
    const QString chosen = questions_.browseForFolder(kPickStartFolderPrompt, initial);
    state_.SearchFolder = chosen;
    if (!chosen.isEmpty()) {
        textSearchPath_->setText(chosen);
    }
}

void MainWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        // The animation's frames are coloured for the background they are shown on.
        busyFrames_ = {};
    }
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (resizer_ != nullptr) {
        resizer_->resizeForm(this);
    }
    // A caption that the proportional layout makes too narrow takes free room beside it.
    WidenCaptions(this);
}

}  // namespace quillery
