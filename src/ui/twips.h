#pragma once

#include <QRect>
#include <cmath>

namespace rv {

// Window geometry is designed in twips; 15 twips make one pixel.
constexpr int kTwipsPerPixel = 15;

inline int twipsToPixels(double twips) {
    return static_cast<int>(std::nearbyint(twips / kTwipsPerPixel));
}

// A rectangle given as left, top, width and height in twips.
inline QRect twipsRect(int left, int top, int width, int height) {
    return {twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height)};
}

} // namespace rv
