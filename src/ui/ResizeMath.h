#pragma once

namespace quillery {

// The arithmetic of proportional form resizing. Positions and sizes are whole pixels and
// scale factors whole percentages; every division truncates toward zero and every result
// saturates at the limits of int instead of overflowing.

// A control parked out of sight sits this far left of its real place. Its layout record
// keeps the real place (see NormalizeLeft), and a resize parks it again at the same distance
// from its scaled place while its left edge stays negative.
constexpr int kParkedLeftOffset = 75000;

// current as a whole percentage of reference. A reference of 0 (a window first measured
// with no inner area) gives 100: the layout is kept as it was recorded.
int Percent(int current, int reference);

// value scaled by percent.
int Scaled(int value, int percent);

// The new left edge of a control recorded at storedLeft, parked again when its left edge is
// currently negative.
int ScaledLeft(int storedLeft, int percent, bool currentlyNegative);

// The left edge as recorded: a negative (parked) left edge is stored plus kParkedLeftOffset.
int NormalizeLeft(int value);

}  // namespace quillery
