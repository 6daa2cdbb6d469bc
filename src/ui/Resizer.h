#pragma once

#include <QSize>
#include <QString>
#include <vector>

class QWidget;

namespace quillery {

// The size of a window's inner area when its layout was first recorded.
struct FormLayout {
    QString windowName;
    int height = 0;
    int width = 0;
};

// A control's place in its window when the window's layout was first recorded. A negative
// left edge is stored plus kParkedLeftOffset (see ResizeMath.h).
struct ControlLayout {
    QString controlName;
    int index = 0;
    QString windowName;
    int top = 0;
    int left = 0;
    int height = 0;
    int width = 0;
};

// The reference layouts of every window of the program, kept until it ends, and whether a
// resize is at work. Records are found by object name, so a window closed and made again
// keeps the layout recorded the first time. Records are only ever appended.
struct ResizeState {
    std::vector<FormLayout> forms;
    std::vector<ControlLayout> controls;
    bool resizing = false;
};

// Keeps every named control of a window in proportion to the window's inner area: a window's
// resize handler calls resizeForm. The first call for a window records its layout as the
// reference, so nothing moves then; later calls scale each control's recorded place by the
// whole percentages of the current inner size to the recorded one. Fonts are left alone.
class Resizer {
  public:
    explicit Resizer(ResizeState& state) : state_(state) {}

    // Places the direct child controls of window. Does nothing while another resize, of this
    // or any other window, is at work, and leaves the controls of a window whose top edge is
    // at kParkedWindowTop or lower alone. Child windows and controls without an object name
    // are never moved.
    void resizeForm(QWidget* window);

    // Places one control of window from its recorded layout; a control without a record
    // stays where it is.
    void resizeControl(QWidget* control, QWidget* window);

    // The window's inner width and height as whole percentages of its reference, recording
    // the reference first when the window has none.
    int widthPercent(QWidget* window);
    int heightPercent(QWidget* window);

    // Records the window's inner size and the place of every direct child control not
    // recorded yet.
    void addFormLayout(QWidget* window);

    // The smallest inner size at which every control of window, placed from its record (a
    // caption widened into the free room beside it), still shows its caption whole and every
    // text box its line; recording the window first when it has no record.
    QSize minimumSize(QWidget* window);

    // A window whose frame top is this far down (in pixels) is out of sight, and resizing
    // it leaves its controls where they are.
    static constexpr int kParkedWindowTop = 2000;

  private:
    FormLayout referenceOf(QWidget* window);
    // The recorded width from the control's left edge to the next recorded control on its
    // line, or to the window's edge; at least its own width.
    int freeWidth(const ControlLayout& control, const FormLayout& form) const;
    const ControlLayout* findControl(const QString& windowName, const QString& controlName) const;

    ResizeState& state_;
};

}  // namespace quillery
