#include "ui/ViewerWindow.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QIcon>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>

#include "settings/Product.h"
#include "ui/Resizer.h"
#include "ui/Twips.h"
#include "ui/WindowFit.h"

namespace quillery {

namespace {

// The window's inner size as designed.
const QSize kDesignSize = TwipsSize(10080, 7800);

const char* const kPathTip = "Show path of file being examined.";

// Courier as designed where it is installed and has the box-drawing characters of .nfo
// art; otherwise a monospaced font that has them.
QFont ViewerFont() {
    QFont courier(QStringLiteral("Courier"));
    courier.setPointSizeF(9.5);
    if (QFontInfo(courier).exactMatch() && QFontMetrics(courier).inFont(QChar(0x2550))) {
        return courier;
    }
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    for (const char* family : {"DejaVu Sans Mono", "Liberation Mono", "Noto Mono"}) {
        const QFont candidate{QString::fromLatin1(family)};
        if (QFontInfo(candidate).exactMatch() && QFontMetrics(candidate).inFont(QChar(0x2550))) {
            font = candidate;
            break;
        }
    }
    font.setStyleHint(QFont::TypeWriter);
    font.setPointSizeF(9.5);
    return font;
}

}  // namespace

ViewerWindow::ViewerWindow(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Form2"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/quillery.xpm")));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(kDesignSize);
    QFont small = font();
    small.setPixelSize(11);
    setFont(small);

    txtShowFiles_ = new MarkedTextBox(this);
    txtShowFiles_->setObjectName(QStringLiteral("txtShowFiles"));
    txtShowFiles_->setGeometry(TwipsRect(120, 120, 9852, 7092));
    txtShowFiles_->setFont(ViewerFont());
    txtShowFiles_->setReadOnly(true);
    txtShowFiles_->setTextInteractionFlags(Qt::TextSelectableByMouse |
                                           Qt::TextSelectableByKeyboard);
    txtShowFiles_->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtShowFiles_->setContextMenuPolicy(Qt::NoContextMenu);
    txtShowFiles_->installEventFilter(this);
    txtShowFiles_->viewport()->installEventFilter(this);

    label1_ = new QLabel(QStringLiteral("Full Path "), this);
    label1_->setObjectName(QStringLiteral("Label1"));
    label1_->setGeometry(TwipsRect(120, 7320, 732, 372));
    lblFullPath_ = new ElidedLabel(this);
    lblFullPath_->setObjectName(QStringLiteral("lblFullPath"));
    lblFullPath_->setGeometry(TwipsRect(1080, 7320, 7095, 375));
    lblFullPath_->setFont(QFont(QStringLiteral("Times New Roman")));
    lblFullPath_->setToolTip(QString::fromLatin1(kPathTip));
    cmdExtract_ = new QPushButton(QStringLiteral("E&xtract Files"), this);
    cmdExtract_->setObjectName(QStringLiteral("cmdExtract"));
    cmdExtract_->setGeometry(TwipsRect(8400, 7320, 1455, 375));
    cmdExtract_->setToolTip(QStringLiteral("Select folder, and extract files."));
    cmdExtract_->setAutoDefault(false);
    connect(cmdExtract_, &QPushButton::clicked, this, &ViewerWindow::extractClicked);

    PlaceOnScreen(this);
    setWindowTitle(QStringLiteral("Internal Viewer For ") + TitleText());
    nextMatch_ = 1;
}

ViewerWindow::~ViewerWindow() = default;

void ViewerWindow::setResizer(Resizer* resizer) {
    resizer_ = resizer;
    if (resizer_ == nullptr) {
        return;
    }
    // The reference is the designed layout (recorded once, by the first viewer); the window
    // then opens as large as designed where the screen has room, and no smaller than its
    // captions need.
    setFixedSize(kDesignSize);
    resizer_->widthPercent(this);
    PlaceOnScreen(this, resizer_->minimumSize(this));
}

void ViewerWindow::setContent(const ViewerContent& content) {
    txtShowFiles_->setMarkedText(content.text, content.marks);
    matchPositions_ = content.matchPositions;
    nextMatch_ = 1;
    placeCaret(content.caret);
}

void ViewerWindow::setArchive(const std::filesystem::path& archive, const QString& shownPath) {
    archive_ = archive;
    lblFullPath_->setFullText(shownPath);
    lblFullPath_->setToolTip(QString::fromLatin1(kPathTip) + QLatin1Char('\n') + shownPath);
}

void ViewerWindow::placeCaret(qsizetype position) {
    QTextCursor cursor(txtShowFiles_->document());
    cursor.setPosition(static_cast<int>(
        std::min<qsizetype>(position, txtShowFiles_->document()->characterCount() - 1)));
    txtShowFiles_->setTextCursor(cursor);
    txtShowFiles_->ensureCursorVisible();
    scrollToEndOfMark(cursor.position());
    // The caret's line goes to the middle third of the box, as far as the text allows, so
    // that the lines after an occurrence show too.
    const QRect caret = txtShowFiles_->cursorRect();
    const int height = txtShowFiles_->viewport()->height();
    if (caret.top() < height / 3 || caret.bottom() > height * 2 / 3) {
        txtShowFiles_->centerCursor();
    }
}

void ViewerWindow::scrollToEndOfMark(qsizetype position) {
    const qsizetype length = txtShowFiles_->longestMarkAt(position);
    if (length <= 0) {
        return;
    }
    QTextCursor end(txtShowFiles_->document());
    end.setPosition(static_cast<int>(
        std::min<qsizetype>(position + length, txtShowFiles_->document()->characterCount() - 1)));
    const QRect first = txtShowFiles_->cursorRect();
    const QRect last = txtShowFiles_->cursorRect(end);
    if (last.top() != first.top()) {
        return;  // the occurrence goes on in the next line
    }
    // Sideways as far as the occurrence's end and a character more; one wider than the box
    // keeps its start in view.
    const int margin = txtShowFiles_->fontMetrics().averageCharWidth();
    const int shift =
        std::min(last.right() + margin - txtShowFiles_->viewport()->width(), first.left() - margin);
    if (shift > 0) {
        QScrollBar* bar = txtShowFiles_->horizontalScrollBar();
        bar->setValue(bar->value() + shift);
    }
}

void ViewerWindow::gotoNextMatch() {
    if (matchPositions_.empty()) {
        return;
    }
    if (nextMatch_ >= matchPositions_.size()) {
        nextMatch_ = 0;
    }
    placeCaret(matchPositions_[nextMatch_]);
    ++nextMatch_;
}

bool ViewerWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txtShowFiles_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool ctrlF = key->key() == Qt::Key_F && (key->modifiers() & Qt::ControlModifier);
        if (ctrlF || key->key() == Qt::Key_F3) {
            gotoNextMatch();
            return true;
        }
    }
    const bool press =
        event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick;
    if (watched == txtShowFiles_->viewport() && press) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton) {
            gotoNextMatch();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void ViewerWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!shown_) {
        // The text box has its final size only now: its view starts afresh from the top left
        // and the first occurrence is placed again.
        shown_ = true;
        txtShowFiles_->horizontalScrollBar()->setValue(0);
        txtShowFiles_->verticalScrollBar()->setValue(0);
        placeCaret(txtShowFiles_->textCursor().position());
    }
}

void ViewerWindow::extractClicked() {
    if (extract_ && extract_()) {
        accept();
    }
}

void ViewerWindow::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (resizer_ != nullptr) {
        resizer_->resizeForm(this);
    }
    // A caption that the proportional layout makes too narrow takes free room beside it.
    WidenCaptions(this);
}

}  // namespace quillery
