// A calendar file of the local store, read as the board reads it: parsed, expanded and asked a
// month of day filters through the item collection.

#include "calendar_month_fuzz.h"
#include "fuzz_target.h"
#include "calendar/ical/expanded_calendar.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    rv::fuzz::useFixedTimeZone();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto calendar = rv::IcalCalendar::parse(rv::fuzz::bytesOf(data, size));
    calendar->eventCount();
    calendar->skippedCount();
    auto source = std::make_shared<rv::ExpandedCalendar>(calendar);
    // The month the seed calendars are written for, with the clocks going forward on the 31st,
    // and the month where the calendar's own first event lies.
    rv::fuzz::queryMonth(source, 3, 2024);
    if (const auto first = rv::fuzz::firstEventMonth(*source))
        if (*first != QDate(2024, 3, 1))
            rv::fuzz::queryMonth(source, first->month(), first->year());
    return 0;
}
