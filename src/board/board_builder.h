#pragma once

// What a board shows, computed without any widget: the members of a group, who each of them is,
// and a month of day categories and cell texts per person, with the failures the user is told
// about after a build. The board window paints what this yields, cell by cell.

#include "board/board_members.h"
#include "calendar/person_calendar.h"
#include "days/day_category.h"

#include <QString>
#include <optional>

namespace rv {

// One day cell of a person's row.
struct DayCell {
    int day = 0;
    DayCategory category = Free_All_day;
    // The masked subjects of the day's items joined by ":".
    QString text;
    // The lines the details box lists for the day (empty for a free day).
    QString details;
    // The service failed while the day was read: the cell keeps what it showed.
    bool unread = false;
};

// One person's month, read a day at a time.
class PersonMonth {
public:
    PersonMonth(PersonCalendar calendar, int month, int year,
                std::optional<CalendarError>* failures);

    const PersonCalendar& calendar() const { return calendar_; }
    bool readable() const { return calendar_.opened(); }
    bool denied() const { return calendar_.denied(); }
    // Days of the month (28 to 31).
    int days() const { return days_; }
    // Day `day` (1 .. days()) as the board shows it. Only for a readable month.
    DayCell readDay(int day);

private:
    PersonCalendar calendar_;
    int month_;
    int year_;
    int days_;
    std::optional<CalendarError>* failures_;
};

// What selecting a day cell shows.
struct CellDetails {
    PersonCalendar::Outcome outcome = PersonCalendar::Outcome::Failed;
    QString name; // the person's name as the service gives it
    QString text; // one line per item, each ended by a carriage return; empty for a free day
};

class BoardBuilder {
public:
    // A build starts with no failure noted.
    void beginBuild();

    // The name of the member the stored identifier stands for, or nothing when nobody answers to
    // it. An identifier the service does not know counts as nobody; any other failure of the
    // service is noted for the report and passed on.
    std::optional<QString> memberName(CalendarNamespace& ns, const QString& storedId);

    // Tells the service whose months the build is about to read, in row order, so that it can
    // read them ahead; what the build then asks and shows is unchanged.
    static void prefetchMonths(CalendarNamespace& ns, const std::vector<RowMember>& members,
                               int month, int year);

    // Opens a person's month for reading. A service that fails while days are read is noted.
    PersonMonth openMonth(CalendarNamespace& ns, const QString& storedId, PersonLookUp lookUp,
                          int month, int year);

    // The person and the day's details for a selected day cell.
    static CellDetails cellDetails(CalendarNamespace& ns, const QString& storedId, int day,
                                   int month, int year);

    // What to tell the user once a build has ended: empty when nothing went wrong.
    QString failureReport() const;
    // Failures of this build.
    const std::optional<CalendarError>& lookUpFailure() const { return lookUpFailure_; }
    const std::optional<CalendarError>& readFailure() const { return readFailure_; }

private:
    std::optional<CalendarError> lookUpFailure_;
    std::optional<CalendarError> readFailure_;
};

} // namespace rv
