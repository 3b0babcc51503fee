#pragma once

#include "calendar/calendar_service.h"
#include "days/day_category.h"

#include <cstdint>
#include <memory>

namespace rv {

// The state every window of the program shares with the board. The current group's name is not
// here: it is the board window's group name field.
struct BoardState {
    std::uint8_t cur_month = 0; // 1..12; 0 when no month is selected
    std::int16_t cur_year = 0;
    std::shared_ptr<CalendarNamespace> mapi_ns; // the one calendar connection
    bool include_details = false;
    CategoryColors category_color = defaultCategoryColors();
    int cur_group_no = 0; // the member file whose people the board shows
};

} // namespace rv
