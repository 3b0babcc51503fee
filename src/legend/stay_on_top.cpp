#include "legend/stay_on_top.h"

#include <cmath>

namespace rv {

namespace {

constexpr double kTwipsPerPixel = 15.0;

int roundHalfToEven(double value) {
    const double lower = std::floor(value);
    const double fraction = value - lower;
    double rounded = lower;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(lower, 2.0) != 0.0))
        rounded = lower + 1.0;
    return static_cast<int>(rounded);
}

} // namespace

QPoint pixelPositionFromTwips(double leftTwips, double topTwips) {
    return {roundHalfToEven(leftTwips / kTwipsPerPixel),
            roundHalfToEven(topTwips / kTwipsPerPixel)};
}

WindowPlacement stayOnTopPlacement(double leftTwips, double topTwips, bool onTop) {
    const QPoint pixels = pixelPositionFromTwips(leftTwips, topTwips);
    return {pixels.x(), pixels.y(), kStayOnTopWidth, kStayOnTopHeight, onTop, true};
}

} // namespace rv
