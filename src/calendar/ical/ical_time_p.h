#pragma once

// Dates and times as libical reads them, and their conversion to the machine's local time: the
// engine's private working, behind ical_calendar.h.

#include <libical/ical.h>

#include <QDate>
#include <QDateTime>
#include <optional>

namespace rv::ical {

inline constexpr qint64 kSecondsPerDay = 86400;

enum class TimeKind { Date, Floating, Utc, Zoned };

struct EventTime {
    icaltimetype t = icaltime_null_time();
    icaltimezone* zone = nullptr;
    TimeKind kind = TimeKind::Floating;
};

// Days from 1970-01-01 to the given date of the proleptic Gregorian calendar.
qint64 dayNumber(int year, int month, int day);

// The time's own wall clock as if it were UTC: cheap, and within a day of the real instant.
qint64 rawWallSeconds(const icaltimetype& t);

QDate dateOf(const icaltimetype& t);

// The wall time the given number of seconds later on the same clock, whatever its zone does
// in between (a date stays a date).
icaltimetype wallTimeAfter(icaltimetype t, qint64 seconds);

// Dates are local days from 00:00, floating times local wall time, UTC and zoned times converted.
// A wall time the clocks skip takes the offset before the change, one they repeat its first
// occurrence (RFC 5545 3.3.5), in the named zone and in the machine's alike.
QDateTime toLocal(const icaltimetype& t, TimeKind kind, icaltimezone* zone);
QDateTime toLocal(const EventTime& et);

// Whether a value is a real date (years 1 to 9999), and a real time of day where it has one.
bool plausible(const icaltimetype& t);

// A date or date-time value of a property, with the zone its TZID names: the calendar's own
// VTIMEZONE (unless it has no observance), else the system's zone database by name, else by the
// IANA zone a Windows zone id stands for. A name none of them knows leaves the time floating
// (local wall time).
std::optional<EventTime> readTime(icalproperty* property, icaltimetype t, icalcomponent* vcalendar);

// Takes out of the calendar (a VCALENDAR, or a root holding several) every VTIMEZONE whose
// changes of offset libical could not work out in reasonable time: rules repeating more often
// than yearly (a zone changing every minute took libical minutes), a rule no date satisfies, or
// more changes than any real zone has. Times in such a zone are then read in the system's zone of
// that name where there is one, else as local time. Each is logged under rotaview.calendar.
void leaveOutCostlyZones(icalcomponent* root);

// DTSTART, DTEND or RECURRENCE-ID of an event, read as readTime does.
std::optional<EventTime> propertyTime(icalcomponent* event, icalproperty_kind kind,
                                      icalcomponent* vcalendar);

} // namespace rv::ical
