#include "board/month_layout.h"

#include <chrono>

namespace rv {

namespace {

std::chrono::year_month carried(int month, int year) {
    // Months outside 1..12 move into the neighbouring years.
    const int zeroBased = month - 1;
    const int yearShift = zeroBased >= 0 ? zeroBased / 12 : -((11 - zeroBased) / 12);
    const int monthIndex = zeroBased - yearShift * 12;
    return std::chrono::year{year + yearShift} /
           std::chrono::month{static_cast<unsigned>(monthIndex + 1)};
}

} // namespace

std::uint8_t get_days_of_month(std::uint8_t month, std::int16_t year) {
    const std::chrono::year_month_day_last last{carried(month, year) / std::chrono::last};
    return static_cast<std::uint8_t>(static_cast<unsigned>(last.day()) + 1);
}

int dayOfWeek(int day, int month, int year) {
    const std::chrono::year_month_day date{carried(month, year) /
                                           std::chrono::day{static_cast<unsigned>(day)}};
    const std::chrono::weekday weekday{std::chrono::sys_days{date}};
    return static_cast<int>(weekday.c_encoding()) + 1;
}

} // namespace rv
