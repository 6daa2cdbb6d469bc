#pragma once

#include <QRect>
#include <QSize>

namespace quillery {

// Layouts are designed in twips: 15 twips to a pixel.
constexpr int kTwipsPerPixel = 15;
constexpr int TwipsToPixels(int twips) {
    return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel;
}
inline QRect TwipsRect(int left, int top, int width, int height) {
    return QRect(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width),
                 TwipsToPixels(height));
}
inline QSize TwipsSize(int width, int height) {
    return QSize(TwipsToPixels(width), TwipsToPixels(height));
}

}  // namespace quillery
