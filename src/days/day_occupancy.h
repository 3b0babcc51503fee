#pragma once

#include "days/day_category.h"
#include "calendar/calendar_service.h"

#include <QDateTime>
#include <memory>
#include <utility>
#include <vector>

namespace rv {

// Whole minutes from start to end: the number of minute boundaries between the two local wall
// times, seconds ignored; negative when the end lies before the start. Counted on the wall clock,
// so an all-day item runs 1440 minutes on a daylight-saving day too.
qint64 wholeMinutes(const QDateTime& start, const QDateTime& end);

// The booked minutes of a day: every item with its whole length, overlaps counted twice.
qint64 bookedMinutes(const std::vector<std::unique_ptr<AppointmentItem>>& items);
qint64 bookedMinutes(const std::vector<std::pair<QDateTime, QDateTime>>& spans);

// The category of a day holding the booked minutes: exactly 24 hours is a special event, none is
// a free day (a weekend day on Saturday and Sunday), then up to 4, 7 or more, or in between.
DayCategory occupancyCategory(qint64 bookedMinutes, const QDate& date);

// The category of day `day` of `month` in `year` for the items the day query found on it.
DayCategory dayCategory(const std::vector<std::unique_ptr<AppointmentItem>>& items, int day,
                         int month, int year);
DayCategory dayCategory(const std::vector<std::pair<QDateTime, QDateTime>>& spans, int day,
                         int month, int year);

} // namespace rv
