#pragma once

#include <QString>
#include <array>
#include <cstdint>

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
QString categoryKey(DayCategory category);

// The colour used when a category's key was never stored.
std::uint32_t defaultCategoryColor(DayCategory category);

CategoryColors defaultCategoryColors();

// A colour table entry as the 32-bit colour that is painted.
std::uint32_t paintedColor(double value);

} // namespace rv
