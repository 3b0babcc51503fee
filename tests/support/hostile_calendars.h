#pragma once

// Hostile calendars too large to keep as files: made when a test or a benchmark needs them. Each
// also holds the ordinary event "Ordinary" on 5 March 2024, 09:00 to 10:00 floating time, which
// must still show however the rest is read.

#include <QByteArray>

namespace rv::test {

// `levels` components, each opened inside the one before (BEGIN:VEVENT lines), after the ordinary
// event; closed again by as many END lines when `closed`.
QByteArray deeplyNestedCalendar(int levels, bool closed);

// `count` series repeating every second from 1 March 2024, beside the ordinary event and the
// weekly series "Weekly" on Tuesdays, 10:00 to 11:00 floating time.
QByteArray secondlySeriesCalendar(int count);

// An hourly series from 1 March 2024 with `exclusions` excluded dates, beside the ordinary event.
QByteArray manyExclusionsCalendar(int exclusions);

// A series repeating every second from 1 March 2024 and `changes` overrides of it, each moving
// all later occurrences (RANGE=THISANDFUTURE), beside the ordinary event.
QByteArray manyFutureChangesCalendar(int changes);

// An event with `dates` extra dates (RDATE) from 1 March 2024 on, one a second, beside the
// ordinary event.
QByteArray manyExtraDatesCalendar(int dates);

} // namespace rv::test
