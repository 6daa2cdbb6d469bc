#include "ui/Contrast.h"

#include <algorithm>
#include <cmath>

namespace quillery {

namespace {

double Linear(double channel) {
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

}  // namespace

double Luminance(const QColor& colour) {
    const QColor rgb = colour.toRgb();
    return 0.2126 * Linear(rgb.redF()) + 0.7152 * Linear(rgb.greenF()) +
           0.0722 * Linear(rgb.blueF());
}

double ContrastRatio(const QColor& a, const QColor& b) {
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

bool IsDark(const QColor& background) {
    // Where black and white text stand out equally well from the background.
    return Luminance(background) < 0.179;
}

QColor Readable(const QColor& colour, const QColor& background, double ratio) {
    if (ContrastRatio(colour, background) >= ratio) {
        return colour;
    }
    const QColor hsl = colour.toHsl();
    const int step = IsDark(background) ? 1 : -1;
    QColor candidate = colour;
    // Lightness runs from 0 to 255; its ends are black and white, which always reach 4.5:1
    // on the matching side of the middle.
    for (int lightness = hsl.lightness(); lightness >= 0 && lightness <= 255; lightness += step) {
        candidate = QColor::fromHsl(hsl.hslHue(), hsl.hslSaturation(), lightness, hsl.alpha());
        if (ContrastRatio(candidate, background) >= ratio) {
            break;
        }
    }
    return candidate;
}

}  // namespace quillery
