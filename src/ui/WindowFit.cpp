#include "ui/WindowFit.h"

#include <QAbstractButton>
#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <algorithm>
#include <cstdint>

namespace quillery {

namespace {

const char* const kValueFont = "quilleryValueFont";

// Refits a value label's font whenever the label changes size.
class RefitOnResize : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Resize) {
            FitValueFont(static_cast<QLabel*>(watched));
        }
        return false;
    }
};

bool IsValueLabel(const QWidget* control) {
    return control->property(kValueFont).isValid();
}

QMargins EstimatedFrame(const QWidget* window) {
    if (window->isVisible() && window->frameGeometry() != window->geometry()) {
        const QRect frame = window->frameGeometry();
        const QRect inner = window->geometry();
        return {inner.left() - frame.left(), inner.top() - frame.top(),
                frame.right() - inner.right(), frame.bottom() - inner.bottom()};
    }
    // Not yet shown: a title bar and a thin border, as most window managers draw them.
    const int title = window->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window);
    constexpr int kBorder = 4;
    return {kBorder, std::max(title, 24) + kBorder, kBorder, kBorder};
}

}  // namespace

int PercentToHold(int recorded, int needed) {
    if (recorded <= 0 || needed <= 0) {
        return 0;
    }
    const std::int64_t scaled = std::int64_t{needed} * 100;
    return static_cast<int>((scaled + recorded - 1) / recorded);
}

int LengthForPercent(int reference, int percent) {
    if (reference <= 0 || percent <= 0) {
        return 0;
    }
    const std::int64_t scaled = std::int64_t{reference} * percent;
    return static_cast<int>((scaled + 99) / 100);
}

QRect FitOnScreen(QSize wanted, QSize minimum, QRect available, QMargins frame) {
    QSize size = minimum.isValid() ? wanted.expandedTo(minimum) : wanted;
    const QSize room(available.width() - frame.left() - frame.right(),
                     available.height() - frame.top() - frame.bottom());
    size = size.boundedTo(room).expandedTo(QSize(1, 1));
    const int outerWidth = size.width() + frame.left() + frame.right();
    const int outerHeight = size.height() + frame.top() + frame.bottom();
    return {QPoint(available.x() + (available.width() - outerWidth) / 2,
                   available.y() + (available.height() - outerHeight) / 2),
            size};
}

void PlaceOnScreen(QWidget* window, QSize minimum) {
    const QScreen* screen = window->screen();
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen == nullptr) {
        return;
    }
    const QMargins frame = EstimatedFrame(window);
    const QRect available = screen->availableGeometry();
    const QRect place = FitOnScreen(window->size(), minimum, available, frame);
    const bool fixed = window->minimumSize() == window->maximumSize();
    if (fixed) {
        window->setFixedSize(place.size());
    } else {
        if (minimum.isValid()) {
            window->setMinimumSize(minimum.boundedTo(place.size()));
        }
        window->resize(place.size());
    }
    window->move(place.topLeft());
}

bool ShowsCaption(const QWidget* control) {
    if (const auto* label = qobject_cast<const QLabel*>(control)) {
        return !label->text().isEmpty() && !IsValueLabel(control);
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(control)) {
        return !button->text().isEmpty();
    }
    return false;
}

QSize CaptionRoom(const QWidget* control) {
    if (const auto* edit = qobject_cast<const QLineEdit*>(control)) {
        return {0, edit->minimumSizeHint().height()};
    }
    if (!ShowsCaption(control)) {
        return {};
    }
    if (const auto* button = qobject_cast<const QPushButton*>(control)) {
        // The style's own hint adds a minimum button width; the text needs only its margins.
        const QSize text = button->fontMetrics().size(Qt::TextShowMnemonic, button->text());
        const int margin = button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button);
        const int frame =
            button->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button);
        return {text.width() + margin + 2 * frame, text.height() + 2 * frame};
    }
    return control->sizeHint();
}

void WidenCaptions(QWidget* window) {
    for (QWidget* control : window->findChildren<QWidget*>()) {
        QWidget* parent = control->parentWidget();
        if (!ShowsCaption(control) || parent == nullptr || parent->layout() != nullptr ||
            control->isWindow()) {
            continue;
        }
        const int needed = CaptionRoom(control).width();
        if (needed <= control->width()) {
            continue;
        }
        // Free room up to the parent's edge or the next control to the right on its line.
        const QRect place = control->geometry();
        int room = parent->contentsRect().right() + 1 - place.x();
        for (const QObject* child : parent->children()) {
            const auto* sibling = qobject_cast<const QWidget*>(child);
            if (sibling == nullptr || sibling == control || sibling->isWindow() ||
                sibling->isHidden()) {
                continue;
            }
            const QRect other = sibling->geometry();
            const bool sameLine = other.top() <= place.bottom() && other.bottom() >= place.top();
            if (sameLine && other.x() > place.x()) {
                room = std::min(room, other.x() - place.x() - kCaptionGap);
            }
        }
        const int width = std::min(needed, room);
        if (width > control->width()) {
            control->resize(width, control->height());
        }
    }
}

void MarkAsShrinkingValue(QLabel* label) {
    label->setProperty(kValueFont, label->font());
    label->installEventFilter(new RefitOnResize(label));
    FitValueFont(label);
}

void FitValueFont(QLabel* label) {
    const QVariant largest = label->property(kValueFont);
    if (!largest.isValid()) {
        return;
    }
    auto font = largest.value<QFont>();
    const int room = label->contentsRect().width() - 2 * label->margin();
    const QString text = label->text();
    constexpr qreal kSmallest = 5.0;
    if (font.pointSizeF() > 0) {
        while (QFontMetrics(font).horizontalAdvance(text) > room && font.pointSizeF() > kSmallest) {
            font.setPointSizeF(font.pointSizeF() - 0.5);
        }
    } else {
        while (QFontMetrics(font).horizontalAdvance(text) > room && font.pixelSize() > kSmallest) {
            font.setPixelSize(font.pixelSize() - 1);
        }
    }
    if (font != label->font()) {
        label->setFont(font);
    }
}

}  // namespace quillery
