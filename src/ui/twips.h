#pragma once

// Window geometry is designed in twips; 15 twips make one pixel. Every window converts here, by
// one of the two rounding rules below.

#include <QPoint>
#include <QRect>
#include <cmath>

namespace rv {

constexpr int kTwipsPerPixel = 15;

// Positions and sizes of windows and controls: the nearest whole pixel, a half to the even
// neighbour (a window's position may be a fraction of a twip: 1507.5 twips is pixel 100).
inline int twipsToPixels(double twips) {
    return static_cast<int>(std::nearbyint(twips / kTwipsPerPixel));
}

// Where a painted line ends: the last whole pixel the twips reach, so that a line never runs
// past the place it was designed to end.
inline int twipsToPixelsWithin(double twips) {
    return static_cast<int>(std::floor(twips / kTwipsPerPixel));
}

// Pixels measured on screen, as twips: exact, 15 to a pixel.
constexpr int pixelsToTwips(int pixels) {
    return pixels * kTwipsPerPixel;
}

inline QPoint twipsPoint(double left, double top) {
    return {twipsToPixels(left), twipsToPixels(top)};
}

// A rectangle given as left, top, width and height in twips.
inline QRect twipsRect(int left, int top, int width, int height) {
    return {twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height)};
}

} // namespace rv
