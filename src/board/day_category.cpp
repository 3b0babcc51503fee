#include "board/day_category.h"

#include <cmath>
#include <limits>

namespace rv {

QString categoryKey(DayCategory category) {
    static const char* const keys[kDayCategoryCount] = {
        "Free_All_day", "UpTo4", "Between4And7", "MoreThan7", "Special_Event", "Weekend"};
    return QString::fromLatin1(keys[category]);
}

std::uint32_t defaultCategoryColor(DayCategory category) {
    static const std::uint32_t colors[kDayCategoryCount] = {0xFFC0C0, 0xFFC0FF, 0xC00000,
                                                            0x0000C0, 0x00FFFF, 0xFFFFFF};
    return colors[category];
}

CategoryColors defaultCategoryColors() {
    CategoryColors colors{};
    for (int c = 0; c < kDayCategoryCount; ++c)
        colors[c] = defaultCategoryColor(static_cast<DayCategory>(c));
    return colors;
}

std::uint32_t paintedColor(double value) {
    // Round half to even, as the colour conversion does; out-of-range values are clamped rather
    // than left to undefined conversion.
    if (!std::isfinite(value))
        return 0;
    const double rounded = std::nearbyint(value);
    if (rounded <= 0)
        return 0;
    if (rounded >= static_cast<double>(std::numeric_limits<std::uint32_t>::max()))
        return std::numeric_limits<std::uint32_t>::max();
    return static_cast<std::uint32_t>(rounded);
}

} // namespace rv
