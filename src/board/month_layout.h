#pragma once

#include <cstdint>

namespace rv {

// The number of days of month m of the year, plus one: the board's column count. Months out of
// 1..12 carry over (month 0 is December of the year before, month 13 January of the next).
std::uint8_t get_days_of_month(std::uint8_t month, std::int16_t year);

// Day of the week with Sunday as 1 and Saturday as 7.
int dayOfWeek(int day, int month, int year);

} // namespace rv
