#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>

class QLabel;
class QWidget;

namespace quillery {

// The smallest whole percentage p at which a length recorded as `recorded` scales (truncating,
// as the resizer does) to at least `needed`. A recorded length of 0 or less needs nothing.
int PercentToHold(int recorded, int needed);

// The smallest inner length whose whole percentage of reference is at least percent.
int LengthForPercent(int reference, int percent);

// Where a window opens: its inner size is wanted grown to minimum, then shrunk so that the
// window with its frame fits in available (the screen less its panels); the window with its
// frame is centred on available. The result's top-left is the frame's top-left corner and its
// size the inner size.
QRect FitOnScreen(QSize wanted, QSize minimum, QRect available, QMargins frame);

// Puts a top-level window where FitOnScreen says, on the screen it opens on. Its frame is
// taken from the window system once the window has been shown, else estimated.
void PlaceOnScreen(QWidget* window, QSize minimum = QSize());

// True for a control that shows a caption of its own: a label with text, a check box, radio
// button or push button.
bool ShowsCaption(const QWidget* control);

// The room a control needs to show its caption whole (and a text box its text's height);
// zero for controls that need none in particular.
QSize CaptionRoom(const QWidget* control);

// Widens every caption of a window that is narrower than its text, into the free room on its
// right: up to its parent's inner edge or kCaptionGap short of the next control on its line.
constexpr int kCaptionGap = 4;
void WidenCaptions(QWidget* window);

// A label that holds a value, not a caption: when its text does not fit its width, its font
// gets smaller until it does (the font it was given is kept as the largest).
void MarkAsShrinkingValue(QLabel* label);
void FitValueFont(QLabel* label);

}  // namespace quillery
