#pragma once

#include "ui/window_placement.h"

namespace rv {

// The outer size the legend window takes when "Stay On Top" is clicked, in pixels.
constexpr int kStayOnTopWidth = 150;
constexpr int kStayOnTopHeight = 244;

// The placement "Stay On Top" hands to the window system for a window at the given position:
// same place (rounded as twipsPoint does), outer size 150 x 244, topmost or not, never activated.
WindowPlacement stayOnTopPlacement(double leftTwips, double topTwips, bool onTop);

} // namespace rv
