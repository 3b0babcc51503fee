#pragma once

// What the board does with one calendar: a month of day queries through the item collection,
// each day's items read as the board reads them (times, masked subject, location, booked time).

#include "calendar/ical/occurrence_items.h"

#include <memory>

namespace rv::fuzz {

// Answers a month of day filters from the source, the way a board build does.
void queryMonth(const std::shared_ptr<OccurrenceSource>& source, int month, int year);

// The month of the calendar's first event, when it lies in the years a board can show.
std::optional<QDate> firstEventMonth(OccurrenceSource& source);

} // namespace rv::fuzz
