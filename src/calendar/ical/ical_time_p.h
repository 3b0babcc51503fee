#pragma once

// Dates and times as libical reads them, and their conversion to the machine's local time: the
// engine's private working, behind ical_calendar.h.

#include <libical/ical.h>

#include <QDate>
#include <QDateTime>
#include <optional>

namespace rv::ical {

enum class TimeKind { Date, Floating, Utc, Zoned };

struct EventTime {
    icaltimetype t = icaltime_null_time();
    icaltimezone* zone = nullptr;
    TimeKind kind = TimeKind::Floating;
};

// The time's own wall clock as if it were UTC: cheap, and within a day of the real instant.
qint64 rawWallSeconds(const icaltimetype& t);

QDate dateOf(const icaltimetype& t);

// Dates are local days from 00:00, floating times local wall time, UTC and zoned times converted.
QDateTime toLocal(const icaltimetype& t, TimeKind kind, icaltimezone* zone);
QDateTime toLocal(const EventTime& et);

// A date or date-time value of a property, with the zone its TZID names. A zone that can be
// found neither in the calendar nor on the system leaves the time floating (local wall time).
std::optional<EventTime> readTime(icalproperty* property, icaltimetype t, icalcomponent* vcalendar);

// DTSTART, DTEND or RECURRENCE-ID of an event, read as readTime does.
std::optional<EventTime> propertyTime(icalcomponent* event, icalproperty_kind kind,
                                      icalcomponent* vcalendar);

} // namespace rv::ical
