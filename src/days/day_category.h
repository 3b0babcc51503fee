#pragma once

#include <QString>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>

namespace rv {

// The six categories a day cell can show, in this order.
enum DayCategory : int {
    Free_All_day = 0,
    UpTo4 = 1,
    Between4And7 = 2,
    MoreThan7 = 3,
    Special_Event = 4,
    Weekend = 5,
};

constexpr int kDayCategoryCount = 6;

// One colour per category, 0x00BBGGRR. The values are kept as read by the leading-number rule,
// which may leave a fraction; a cell is painted with the value rounded to a 32-bit integer.
using CategoryColors = std::array<double, kDayCategoryCount>;

// The settings key of each category (section "Color").
inline QString categoryKey(DayCategory category) {
    static const char* const keys[kDayCategoryCount] = {
        "Free_All_day", "UpTo4", "Between4And7", "MoreThan7", "Special_Event", "Weekend"};
    return QString::fromLatin1(keys[category]);
}

// The caption of each category, as the legend window shows it.
inline QString categoryCaption(DayCategory category) {
    static const char* const captions[kDayCategoryCount] = {
        "Free All Day",      "0 to 4 Hours",  "Between 4 and 7 Hours",
        "More than 7 Hours", "Special Event", "Weekend"};
    return QString::fromLatin1(captions[category]);
}

// The colour used when a category's key was never stored.
inline std::uint32_t defaultCategoryColor(DayCategory category) {
    static const std::uint32_t colors[kDayCategoryCount] = {0xFFC0C0, 0xFFC0FF, 0xC00000,
                                                            0x0000C0, 0x00FFFF, 0xFFFFFF};
    return colors[category];
}

inline CategoryColors defaultCategoryColors() {
    CategoryColors colors{};
    for (int c = 0; c < kDayCategoryCount; ++c)
        colors[c] = defaultCategoryColor(static_cast<DayCategory>(c));
    return colors;
}

// A colour table entry as the 32-bit colour that is painted: rounded half to even, clamped to
// the 32-bit range rather than left to an undefined conversion.
inline std::uint32_t paintedColor(double value) {
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
