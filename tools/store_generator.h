#pragma once

// Writes a synthetic workspace: a local calendar store (address book, one iCalendar file per
// person, reader lists), the group files that list its people and the calendar service's profile.
// The calendars are laid out around a given date, so that the months near it look like a real
// team's: daily stand-ups and weekly meetings (recurring, with excluded and moved occurrences),
// one-off meetings of varied length, all-day events, leave and trips over several days, evenings,
// private, confidential and personal items, and some people working in another time zone.
//
// The same options give the same bytes in every file: nothing depends on the clock, the machine
// or the order a container happens to hold things in.

#include "groups/group_files.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <stdexcept>

namespace rv::bench {

struct StoreOptions {
    // People in the address book, each with a calendar (at least 2).
    int people = 12;
    // VEVENT components in each calendar, series masters and moved occurrences included. The
    // recurring series, leave, trips and all-day events come first; when fewer events are asked
    // for than those take, the calendar holds only the first of them.
    int eventsPerPerson = 1000;
    quint64 seed = 1;
    // The date the calendars are laid out around.
    QDate today = QDate::currentDate();
    // The calendars cover whole months from monthsBefore before today's month to monthsAfter
    // after it.
    int monthsBefore = 12;
    int monthsAfter = 11;
    // Adds a third group, "Everyone", holding every person (the benchmark's boards).
    bool everyoneGroup = false;
};

struct StorePerson {
    QString user;        // the address book's UID and the calendar's file name
    QString displayName; // FN
    QString email;
    QString timeZone; // IANA zone of the person's times; empty for the machine's local time
    int team = 0;     // 0 Design, 1 Support: which meetings the person has
};

struct StoreGroup {
    QString name;
    QList<GroupMember> members; // in member-file order
};

// What a generated workspace holds, for the programs and tests that use it.
struct StorePlan {
    StoreOptions options;
    QList<StorePerson> people;
    QString connectedUser;
    // The person whose calendar the connected user may not read.
    QString unsharedUser;
    // In the group files, but no longer in the address book.
    StorePerson formerMember;
    QList<StoreGroup> groups; // in group-index order
    QDate firstDay, lastDay;  // the span the calendars cover
};

// The people, groups and span the options give, without writing anything.
StorePlan planStore(const StoreOptions& options);

// The iCalendar text of one person's calendar (CRLF lines, folded at 75 octets).
QByteArray calendarText(const StorePlan& plan, int person);

// Writes every file of the workspace into folder (created when absent), replacing files of the
// same names. Throws std::runtime_error when a file cannot be written.
StorePlan writeStore(const QString& folder, const StoreOptions& options);

// A workspace already holds something, and is left as it is.
class WorkspaceExists : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Creates a new workspace folder: refuses (WorkspaceExists) a folder that exists and is not
// empty, so that a workspace the user has worked in is never overwritten. The files are written
// into a sibling folder first and moved into place at the end, so that an interrupted run leaves
// no half-made workspace behind.
StorePlan createWorkspace(const QString& folder, const StoreOptions& options);

} // namespace rv::bench
