#pragma once

#include "ui/window_placement.h"

#include <QPoint>

namespace rv {

// The outer size the legend window takes when "Stay On Top" is clicked, in pixels.
constexpr int kStayOnTopWidth = 150;
constexpr int kStayOnTopHeight = 244;

// A screen position in twips as pixels: 15 twips a pixel, each coordinate rounded to the nearest
// whole pixel, a half to the even neighbour.
QPoint pixelPositionFromTwips(double leftTwips, double topTwips);

// The placement "Stay On Top" hands to the window system for a window at the given position:
// same place, outer size 150 x 244, topmost or not, never activated.
WindowPlacement stayOnTopPlacement(double leftTwips, double topTwips, bool onTop);

} // namespace rv
