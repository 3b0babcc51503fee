#pragma once

#include <QString>
#include <optional>
#include <vector>

namespace rv::caldav {

// A calendar collection as a listing of its calendar home shows it.
struct CalendarRef {
    QString path;
    QString displayName;
    // getctag, else sync-token, else the collection's ETag, with the property's name
    // ("getctag=..."); empty when the server gives none.
    QString version;
    // The collection's getcontenttype says that a GET gives the calendar as iCalendar
    // (Radicale). Xandikos and SabreDAV answer such a GET with 406 or 501.
    bool offersWhole = false;
    // The server's calendar-order (Apple's property, kept by SabreDAV), lowest first.
    std::optional<int> order;
};

// Which of a person's calendars stands for "their calendar", when the home holds several:
//  1. the one the server marks default (schedule-default-calendar-URL);
//  2. the one the profile's Calendar= names: equal to its path, to the last segment of its path
//     or (case ignored) to its display name;
//  3. else, leaving out calendars named like a generated birthday calendar ("Birthdays",
//     "contact_birthdays") unless there is nothing else, the first by the server's
//     calendar-order, then by path.
// Nothing when there are no calendars.
std::optional<CalendarRef> chooseCalendar(const std::vector<CalendarRef>& calendars,
                                          const QString& defaultMark, const QString& wanted);

} // namespace rv::caldav
