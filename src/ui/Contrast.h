#pragma once

#include <QColor>

namespace quillery {

// Relative luminance of a colour, 0 for black to 1 for white, as contrast guidelines for
// text define it (sRGB channels linearised, weighted by the eye's sensitivity).
double Luminance(const QColor& colour);

// How far apart two colours are for the eye, from 1:1 (the same) to 21:1 (black on white).
double ContrastRatio(const QColor& a, const QColor& b);

// True when text on this background is best drawn light.
bool IsDark(const QColor& background);

// colour itself when it stands out from background by at least ratio; otherwise the same
// hue made lighter (on a dark background) or darker (on a light one) just far enough.
QColor Readable(const QColor& colour, const QColor& background, double ratio);

}  // namespace quillery
