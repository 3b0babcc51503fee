#pragma once

#include "calendar/caldav/calendar_copy.h"
#include "calendar/caldav/dav_http.h"
#include "calendar/caldav/principal_match.h"

#include <QHash>
#include <QObject>
#include <QUrl>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace rv {
class Desktop;
class Prompts;
struct ServiceProfile;
} // namespace rv

namespace rv::caldav {

// A calendar collection and the version the server gave it when it was listed.
struct CalendarRef {
    QString path;
    QString displayName;
    QString version; // getctag, else sync-token, else the collection's ETag; may be empty
};

// A principal as its own PROPFIND shows it.
struct Principal {
    enum class Access { Found, Hidden, Missing };
    Access access = Access::Missing;
    PrincipalEntry entry;
    QStringList homes;       // calendar-home-set
    QString defaultCalendar; // schedule-default-calendar-URL, when the server names one
    // The calendars listed under the principal itself (servers whose calendar home is the
    // principal, such as Radicale): the home need not be asked again.
    std::vector<CalendarRef> calendarsBelow;
};

// Everything one connection to a CalDAV server knows.
//
// What it learns about principals and calendar homes holds for one operation of the program
// (a board build, a row refresh, a click), which ends when control returns to the event loop:
// a build asks each person's principal once, however often the board looks the person up.
// Calendars read from the server are kept across operations with the version they were read
// at, and used again only while the server still names that version.
class CalDavSession {
public:
    CalDavSession(const ServiceProfile& profile, Prompts& prompts, Desktop& desktop);
    ~CalDavSession();

    Desktop& desktop() { return desktop_; }
    DavHttp& http() { return http_; }
    QUrl urlOf(const QString& path) const;

    // Counts operations: what was learnt in an earlier one has to be asked again.
    quint64 generation() const { return generation_; }

    // The principal at the path, asked once per operation.
    std::shared_ptr<const Principal> principal(const QString& path);
    // The principal a typed name means, or nothing (see matchPrincipal).
    std::optional<PrincipalEntry> findPrincipal(const QString& name);
    // The connected user's principal.
    QString currentUserPrincipal();

    // The principal's default calendar; CalendarDenied when there is none the connected user
    // may read.
    CalendarRef defaultCalendar(const Principal& principal);
    // The calendar's current version; CalendarDenied when it cannot be read any more.
    CalendarRef refreshCalendar(const CalendarRef& calendar);
    // The calendar's events around the window, read from the server unless the copy kept from
    // an earlier read still has the calendar's version.
    std::shared_ptr<const CalendarCopy> calendarCopy(const CalendarRef& calendar,
                                                     const std::optional<TimeWindow>& window);

    // How a calendar is read: a GET of the whole collection, kept for every month and every
    // later operation while its version holds; or, for servers that hand out no collection, a
    // calendar-query REPORT of the months asked for. On Radicale with 1,000 events a person a
    // month's REPORT answered in about 50 ms against 85 ms for the GET, but the GET serves the
    // next month too, and a REPORT's cost grows with every series the server has to work out.
    enum class ReadMode { Whole, Report };
    void setReadMode(ReadMode mode) { readMode_ = mode; }

private:
    HttpResponse send(HttpRequest request);
    void touchOperation();
    void endOperation();
    std::shared_ptr<const Principal> fetchPrincipal(const QString& path);
    std::vector<CalendarRef> calendarsIn(const QString& home);
    std::vector<PrincipalEntry> searchPrincipals(const QString& name);
    std::vector<PrincipalEntry> listPrincipals();
    // Null when the server hands out no whole calendar.
    std::shared_ptr<const CalendarCopy> readWhole(const CalendarRef& calendar);
    std::shared_ptr<const CalendarCopy> readByReport(const CalendarRef& calendar,
                                                     const std::optional<TimeWindow>& window);
    [[noreturn]] void denied(const QString& path, const QString& why) const;
    // A calendar's multistatus answer, or the error its status stands for.
    void requireMultistatus(const HttpResponse& response, const QString& calendarPath,
                            const QUrl& url) const;

    QUrl server_;
    QString user_;
    Desktop& desktop_;
    DavHttp http_;
    ReadMode readMode_ = ReadMode::Whole;

    // Learnt once per run.
    QString currentUserPrincipal_;
    QStringList principalCollections_;

    // Learnt once per operation.
    quint64 generation_ = 1;
    bool operationOpen_ = false;
    QObject operationGuard_;
    QHash<QString, std::shared_ptr<const Principal>> principals_;
    QHash<QString, std::vector<CalendarRef>> homes_;
    std::optional<std::vector<PrincipalEntry>> listing_;
    // A server that cannot be reached or refuses the login is not asked again in the same
    // operation: a board of twenty people waits for one time-out, not twenty.
    std::optional<CalendarError> failure_;

    // Kept across operations, by calendar path.
    std::map<QString, std::vector<std::shared_ptr<const CalendarCopy>>> copies_;
    QHash<QString, bool> wholeReadUnsupported_;
};

} // namespace rv::caldav
