#include "ui/Resizer.h"

#include <QWidget>
#include <algorithm>

#include "ui/ResizeMath.h"
#include "ui/WindowFit.h"

namespace quillery {

namespace {

// Sets a flag for the lifetime of the guard and clears it on every way out.
class FlagGuard {
  public:
    explicit FlagGuard(bool& flag) : flag_(flag) { flag_ = true; }
    ~FlagGuard() { flag_ = false; }
    FlagGuard(const FlagGuard&) = delete;
    FlagGuard& operator=(const FlagGuard&) = delete;

  private:
    bool& flag_;
};

// The widgets the resizer places: direct children that are neither windows of their own
// nor nameless (a nameless control could not be told apart from another by its record).
std::vector<QWidget*> Controls(QWidget* window) {
    std::vector<QWidget*> controls;
    for (QObject* child : window->children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (widget != nullptr && !widget->isWindow() && !widget->objectName().isEmpty()) {
            controls.push_back(widget);
        }
    }
    return controls;
}

}  // namespace

void Resizer::resizeForm(QWidget* window) {
    if (state_.resizing) {
        return;
    }
    FlagGuard busy(state_.resizing);
    if (window->frameGeometry().top() >= kParkedWindowTop) {
        return;
    }
    const bool wasVisible = window->isVisible();
    // No repainting while the controls move one after the other.
    const bool wasUpdating = window->updatesEnabled();
    window->setUpdatesEnabled(false);
    for (QWidget* control : Controls(window)) {
        resizeControl(control, window);
    }
    window->setUpdatesEnabled(wasUpdating);
    if (window->isVisible() != wasVisible) {
        window->setVisible(wasVisible);
    }
}

void Resizer::resizeControl(QWidget* control, QWidget* window) {
    const int yPercent = heightPercent(window);
    const int xPercent = widthPercent(window);
    const ControlLayout* layout = findControl(window->objectName(), control->objectName());
    if (layout == nullptr) {
        return;
    }
    const int left = ScaledLeft(layout->left, xPercent, control->x() < 0);
    control->setGeometry(left, Scaled(layout->top, yPercent), Scaled(layout->width, xPercent),
                         Scaled(layout->height, yPercent));
}

int Resizer::widthPercent(QWidget* window) {
    return Percent(window->width(), referenceOf(window).width);
}

int Resizer::heightPercent(QWidget* window) {
    return Percent(window->height(), referenceOf(window).height);
}

void Resizer::addFormLayout(QWidget* window) {
    const QString windowName = window->objectName();
    state_.forms.push_back({windowName, window->height(), window->width()});
    for (QWidget* control : Controls(window)) {
        if (findControl(windowName, control->objectName()) == nullptr) {
            state_.controls.push_back({control->objectName(), 0, windowName, control->y(),
                                       NormalizeLeft(control->x()), control->height(),
                                       control->width()});
        }
    }
}

QSize Resizer::minimumSize(QWidget* window) {
    const FormLayout reference = referenceOf(window);
    int xPercent = 0;
    int yPercent = 0;
    for (QWidget* control : Controls(window)) {
        const ControlLayout* layout = findControl(reference.windowName, control->objectName());
        if (layout == nullptr) {
            continue;
        }
        const QSize room = CaptionRoom(control);
        // A caption may take the free room beside it less a gap (see WidenCaptions); one
        // pixel more covers the truncation of the two edges that bound that room.
        const bool caption = ShowsCaption(control);
        const int width = caption ? freeWidth(*layout, reference) : layout->width;
        const int needed = room.width() > 0 ? room.width() + (caption ? kCaptionGap + 1 : 0) : 0;
        xPercent = std::max(xPercent, PercentToHold(width, needed));
        yPercent = std::max(yPercent, PercentToHold(layout->height, room.height()));
    }
    return {LengthForPercent(reference.width, xPercent),
            LengthForPercent(reference.height, yPercent)};
}

int Resizer::freeWidth(const ControlLayout& control, const FormLayout& form) const {
    int free = form.width - control.left;
    for (const ControlLayout& other : state_.controls) {
        const bool sameLine =
            other.top < control.top + control.height && other.top + other.height > control.top;
        if (other.windowName == form.windowName && &other != &control && sameLine &&
            other.left > control.left) {
            free = std::min(free, other.left - control.left);
        }
    }
    return std::max(free, control.width);
}

FormLayout Resizer::referenceOf(QWidget* window) {
    const QString name = window->objectName();
    const auto hasName = [&name](const FormLayout& form) { return form.windowName == name; };
    auto found = std::find_if(state_.forms.begin(), state_.forms.end(), hasName);
    if (found == state_.forms.end()) {
        addFormLayout(window);
        found = std::find_if(state_.forms.begin(), state_.forms.end(), hasName);
    }
    return *found;
}

const ControlLayout* Resizer::findControl(const QString& windowName,
                                          const QString& controlName) const {
    const auto found = std::find_if(
        state_.controls.begin(), state_.controls.end(), [&](const ControlLayout& control) {
            return control.windowName == windowName && control.controlName == controlName &&
                   control.index == 0;
        });
    return found == state_.controls.end() ? nullptr : &*found;
}

}  // namespace quillery
