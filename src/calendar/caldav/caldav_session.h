#pragma once

#include "calendar/ahead_jobs.h"
#include "calendar/caldav/calendar_choice.h"
#include "calendar/caldav/calendar_copy.h"
#include "calendar/caldav/copy_cache.h"
#include "calendar/caldav/dav_http.h"
#include "calendar/caldav/dav_multi.h"
#include "calendar/caldav/principal_match.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace rv {
class Desktop;
class Prompts;
struct ServiceProfile;
} // namespace rv

namespace rv::caldav {

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
// Kept for the run: where each person's calendars live (so that a later operation asks one
// listing of the calendar home, which names every calendar's version and stands for the
// principal too), the calendars read with the version they were read at (used again only while
// the server still names that version), and which calendars refused to be read whole by GET.
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
    // The principal a typed name means, or nothing (see matchPrincipal): a principal's path as
    // typed, else among the server's principal search (where it has one), the principal of
    // that user name (or an e-mail's local part, when the principal has that address) and,
    // when those find nobody, the principals the connected user can list.
    std::optional<PrincipalEntry> findPrincipal(const QString& name);
    // The connected user's principal. Throws NotConnected when the configured address does not
    // answer like a CalDAV server.
    QString currentUserPrincipal();

    // The person's calendar (see chooseCalendar); CalendarDenied when there is none the
    // connected user may read.
    CalendarRef defaultCalendar(const Principal& principal);
    // The calendar's current version; CalendarDenied when it cannot be read any more.
    CalendarRef refreshCalendar(const CalendarRef& calendar);
    // The whole calendar, read from the server unless the copy kept from an earlier read still
    // has the calendar's version: by GET where the collection offers its iCalendar text, else
    // by one calendar-query REPORT for every event. A GET refused (405, 406, 501, a page that
    // is not iCalendar) is not tried again for that calendar in this run.
    std::shared_ptr<const CalendarCopy> calendarCopy(const CalendarRef& calendar);

    // The month of these principals' calendars is asked for next, in this order: what the
    // questions would read (the principals, the calendar homes, the calendars) is read now with
    // the same requests, side by side, a few at a time, and each calendar's month is expanded on
    // every core. What cannot be read ahead is asked again when its question comes.
    // (caldav_read_ahead.cpp)
    void prefetch(const QStringList& principalPaths, int monthIndex);
    // Whether prefetch reads anything (benchmarks and tests compare boards with and without).
    void setReadAhead(bool on) { readAhead_ = on; }

private:
    // What a listing of a calendar home found.
    struct HomeListing {
        bool found = false; // the home answered (it may hold no calendar)
        std::vector<CalendarRef> calendars;
    };
    // Where a person's calendars live, learnt in an earlier operation.
    struct Place {
        PrincipalEntry entry;
        QString home;
        QString defaultCalendar;
    };

    HttpResponse send(HttpRequest request);
    // Requests sent side by side; each answer given to its handler (a handler that throws leaves
    // nothing behind). The first request failing with the service failing fails the operation,
    // as the first of these requests made one after another would.
    void exchange(const std::vector<HttpRequest>& requests,
                  const std::vector<std::function<void(const HttpResponse&)>>& handlers);
    DavMulti& multi();
    void touchOperation();
    void endOperation();
    std::shared_ptr<const Principal> fetchPrincipal(const QString& path);
    HttpRequest principalRequest(const QString& path) const;
    std::shared_ptr<const Principal> principalFrom(const QString& path,
                                                   const HttpResponse& response);
    HomeListing calendarsIn(const QString& home);
    HttpRequest homeRequest(const QString& home) const;
    HomeListing homeFrom(const QString& home, const HttpResponse& response) const;
    std::vector<PrincipalEntry> searchPrincipals(const QString& name);
    std::vector<PrincipalEntry> listPrincipals();
    // Null when the server does not hand the calendar out whole.
    std::shared_ptr<const CalendarCopy> readWhole(const CalendarRef& calendar);
    HttpRequest wholeRequest(const CalendarRef& calendar,
                             std::shared_ptr<const CalendarCopy>& byEtag);
    std::shared_ptr<const CalendarCopy> wholeFrom(const CalendarRef& calendar,
                                                  const std::shared_ptr<const CalendarCopy>& byEtag,
                                                  const HttpResponse& response);
    std::shared_ptr<const CalendarCopy> readByReport(const CalendarRef& calendar);
    HttpRequest reportRequest(const CalendarRef& calendar) const;
    std::shared_ptr<const CalendarCopy> reportFrom(const CalendarRef& calendar,
                                                   const HttpResponse& response);
    // The copy kept of a calendar, at whatever version: from this run, else from the cache.
    std::shared_ptr<const CalendarCopy> keptCopy(const QString& calendarPath);
    void keep(const QString& calendarPath, const std::shared_ptr<const CalendarCopy>& copy);
    [[noreturn]] void denied(const QString& path, const QString& why) const;
    // A calendar's multistatus answer, or the error its status stands for.
    void requireMultistatus(const HttpResponse& response, const QString& calendarPath,
                            const QUrl& url) const;
    [[noreturn]] void notCalDav(const QString& why);

    QUrl server_;
    QString user_;
    QString wantedCalendar_; // the profile's Calendar=
    QString profileName_;    // the profile file, for messages
    Desktop& desktop_;
    DavHttp http_;

    // Learnt once per run.
    QString currentUserPrincipal_;
    QStringList principalCollections_;
    bool searchOffered_ = true;
    QHash<QString, Place> places_;                               // by principal path
    QHash<QString, std::shared_ptr<const CalendarCopy>> copies_; // by calendar path
    QSet<QString> wholeRefused_;                                 // calendar paths
    // Kept between runs: the copies with their versions.
    std::shared_ptr<const CopyCache> disk_ =
        std::make_shared<const CopyCache>(CopyCache::defaultFolder());
    bool readAhead_ = true;
    std::unique_ptr<DavMulti> multi_;
    std::unique_ptr<AheadJobs> jobs_;

    // Learnt once per operation.
    quint64 generation_ = 1;
    bool operationOpen_ = false;
    QObject operationGuard_;
    QHash<QString, std::shared_ptr<const Principal>> principals_;
    QHash<QString, HomeListing> homes_;
    QHash<QString, CalendarRef> versions_; // calendars whose version was learnt
    std::optional<std::vector<PrincipalEntry>> listing_;
    // A server that cannot be reached, refuses the login, is no CalDAV server or sends an answer
    // without end is not asked again in the same operation: a board of twenty people waits for
    // one time-out, not twenty.
    std::optional<CalendarError> failure_;
};

} // namespace rv::caldav
