#pragma once

#include "calendar/calendar_service.h"

#include <QStringList>

namespace rv::test {

// A month as the board builds it, row by row: who each member is, then for each person every
// day's category and cell text ("bob 07: UpTo4 Added later"), or that the calendar cannot be
// opened ("carol denied", "carol failed"); last what the user is told after the build ("told:
// ..."). Rows are named by user, since a server may show a person it will not describe by user
// name only. With readAhead the months are read side by side first, as the board does.
QStringList monthLines(CalendarNamespace& ns, const QStringList& users, const QStringList& ids,
                       int month, int year, bool readAhead = false);

// What a person's day shows in those lines ("UpTo4 Audit"), empty when the day is not there.
QString dayOf(const QStringList& lines, const QString& user, int day);

} // namespace rv::test
