#pragma once

#include <cmath>

namespace rv {

// Window geometry is designed in twips; 15 twips make one pixel.
constexpr int kTwipsPerPixel = 15;

inline int twipsToPixels(double twips) {
    return static_cast<int>(std::nearbyint(twips / kTwipsPerPixel));
}

} // namespace rv
