// Requests and wall time of a board over a CalDAV server: a local Radicale, Xandikos or SabreDAV
// started for the run, 20 people with 1,000 events each, a month's board built as the board
// builds it (the members' months announced, every member looked up and resolved when the row is
// added, then per person: looked up and resolved again, the calendar opened, 31 day queries),
// first, repeated with nothing changed, for the next month and after a restart; with the
// calendars read one request after another and side by side. Then the same over the local store
// with the same calendars.
// Also the cost of reading one whole calendar by GET and by calendar-query REPORT, and of asking
// its version.
//
//   caldav_bench [people] [events per person] [radicale|xandikos|sabredav]
//
// Xandikos and SabreDAV take a calendar one event per request: fill them with fewer people or
// events (caldav_bench 5 200 xandikos takes about a minute).

#include "bench_platform.h"
#include "calendar/caldav/caldav_application.h"
#include "calendar/caldav/caldav_session.h"
#include "calendar/caldav/dav_xml.h"
#include "calendar/connection/calendar_connection.h"
#include "calendar/day_query.h"
#include "calendar/ical/entry_id.h"
#include "calendar/service_profile.h"
#include "platform/desktop.h"
#include "platform/prompts.h"
#include "support/dav_servers.h"
#include "tools/store_generator.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cstdio>
#include <map>

#include <sys/stat.h>

using namespace rv;
using rv::bench::NoDesktop;
using rv::bench::NoPrompts;

namespace {

const QDate kToday(2024, 3, 15);

struct BuildResult {
    double ms = 0;
    long items = 0;
    int denied = 0;
};

// One board, as Init_Grid asks the calendar service: the members' months announced, each member
// looked up, then each person's calendar opened and read day by day.
BuildResult buildBoard(CalendarNamespace& ns, const QStringList& ids, const QDate& month = kToday) {
    QElapsedTimer timer;
    timer.start();
    BuildResult result;
    ns.prefetchMonths(ids, month.month(), month.year());
    for (const QString& id : ids)
        ns.GetRecipientFromID(id)->Resolve();
    const int days = month.daysInMonth();
    for (const QString& id : ids) {
        try {
            auto person = ns.GetRecipientFromID(id);
            if (!person->Resolve())
                continue;
            auto folder = ns.GetSharedDefaultFolder(*person, kFolderCalendar);
            for (int d = 1; d <= days; ++d)
                result.items +=
                    long(query_day(*folder, d, month.month(), month.year()).items.size());
        } catch (const CalendarError& e) {
            if (e.code() != calendar_error::CalendarDenied)
                throw;
            ++result.denied;
        }
    }
    result.ms = double(timer.nsecsElapsed()) / 1e6;
    // Back in the event loop: the build is over.
    QCoreApplication::processEvents();
    return result;
}

void report(const char* what, const BuildResult& r, int people, int requests = -1,
            int exchanges = -1) {
    if (requests >= 0)
        std::printf("%-46s %8.0f ms  %5.1f ms/person  %4d requests (%.2f/person, %d on the wire)  "
                    "%ld items, %d denied\n",
                    what, r.ms, r.ms / people, requests, double(requests) / people, exchanges,
                    r.items, r.denied);
    else
        std::printf("%-46s %8.0f ms  %5.1f ms/person  %ld items, %d denied\n", what, r.ms,
                    r.ms / people, r.items, r.denied);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int people = argc > 1 ? std::max(2, atoi(argv[1])) : 20;
    const int events = argc > 2 ? std::max(1, atoi(argv[2])) : 1000;

    QTemporaryDir workspace;
    bench::StoreOptions options;
    options.people = people;
    options.eventsPerPerson = events;
    options.today = kToday;
    const bench::StorePlan plan = bench::writeStore(workspace.path(), options);
    const QString me = plan.connectedUser;

    // The same people and calendars on the server: the connected user reads every calendar but
    // the unshared one.
    const QString kind =
        argc > 3 ? QString::fromLocal8Bit(argv[3]).toLower() : QStringLiteral("radicale");
    auto server = test::DavServer::create(
        kind == QLatin1String("xandikos")   ? test::DavServer::Kind::Xandikos
        : kind == QLatin1String("sabredav") ? test::DavServer::Kind::SabreDav
                                            : test::DavServer::Kind::Radicale);
    QList<test::DavPerson> users;
    for (const auto& p : plan.people) {
        test::DavPerson person{p.user, QStringLiteral("pw-") + p.user, p.displayName, p.email, {}};
        if (p.user != me && p.user != plan.unsharedUser)
            person.readers << me;
        users.push_back(person);
    }
    if (!server->start(users, me)) {
        std::fprintf(stderr, "%s\n", qPrintable(server->error()));
        return 1;
    }
    QElapsedTimer fill;
    fill.start();
    for (int i = 0; i < int(plan.people.size()); ++i) {
        const auto& user = users[i];
        const QString path = server->calendarPath(user.user);
        const QByteArray text = bench::calendarText(plan, i);
        // Radicale takes a whole calendar in one PUT; the others one event at a time.
        const bool filled =
            server->kind() == test::DavServer::Kind::Radicale
                ? server->request(user, "PUT", path, text, "text/calendar; charset=utf-8") / 100 ==
                      2
                : server->putEvents(user, path, text);
        if (!filled) {
            std::fprintf(stderr, "cannot fill %s's calendar: %s\n", qPrintable(user.user),
                         qPrintable(server->error()));
            return 1;
        }
    }
    std::printf("%d people, %d events each, month %s; %s filled in %.1f s\n", people, events,
                qPrintable(kToday.toString(QStringLiteral("MMMM yyyy"))),
                qPrintable(server->name()), double(fill.elapsed()) / 1000);

    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    // Nothing of the run is kept in the user's own cache folder.
    const QByteArray benchCache = QFile::encodeName(home.filePath(QStringLiteral(".cache")));
    qputenv("XDG_CACHE_HOME", benchCache);
    {
        const QString netrc = home.filePath(QStringLiteral(".netrc"));
        QFile file(netrc);
        file.open(QIODevice::WriteOnly);
        file.write(QStringLiteral("machine 127.0.0.1 login %1 password pw-%1\n").arg(me).toUtf8());
        file.close();
        ::chmod(QFile::encodeName(netrc).constData(), 0600);
    }

    NoPrompts prompts;
    NoDesktop desktop;
    const CalendarServiceContext context{prompts, desktop};
    ServiceProfile profile;
    profile.backend = QStringLiteral("caldav");
    profile.url = server->url().toString();
    profile.user = me;
    QStringList ids;
    for (const auto& p : plan.people)
        ids << makeEntryId(kCalDavProviderTag, server->principalPath(p.user));

    // What the server alone takes to hand out every readable calendar whole (by GET where it
    // offers it, else by REPORT) and to name every calendar's version (getctag), one after
    // another: what a first and a repeated board cannot go below while the server works on one
    // request at a time.
    double wholeServedMs = 0, versionsServedMs = 0;

    // One request per calendar, after a first read of every calendar has warmed the server's
    // caches as a running server's are: the whole calendar by GET (where the server offers it)
    // and by calendar-query REPORT, and its version.
    {
        caldav::DavHttp http(
            me, [&] { return QStringLiteral("pw-") + me; }, 300);
        const QByteArray query = caldav::calendarQueryBody();
        const QByteArray ctag = caldav::propfindBody({caldav::prop::kGetCtag});
        const QByteArray token = caldav::propfindBody({caldav::prop::kSyncToken});
        double getMs = 0, reportMs = 0, ctagMs = 0, tokenMs = 0;
        qint64 getBytes = 0, reportBytes = 0;
        int calendars = 0;
        bool getOffered = true;
        for (int pass = 0; pass < 2; ++pass) {
            for (const auto& p : plan.people) {
                if (p.user == plan.unsharedUser)
                    continue;
                QUrl url = server->url();
                url.setPath(server->calendarPath(p.user));
                QElapsedTimer t;
                t.start();
                const auto got = http.send({"GET", url, {}, {}, {}, {"Accept: text/calendar"}});
                const double g = double(t.nsecsElapsed()) / 1e6;
                getOffered = getOffered && got.status == 200;
                t.restart();
                const auto reported = http.send({"REPORT", url, query, "application/xml", "1", {}});
                const double r = double(t.nsecsElapsed()) / 1e6;
                if (pass == 0)
                    continue;
                t.restart();
                http.send({"PROPFIND", url, ctag, "application/xml", "0", {}});
                const double c = double(t.nsecsElapsed()) / 1e6;
                t.restart();
                http.send({"PROPFIND", url, token, "application/xml", "0", {}});
                tokenMs += double(t.nsecsElapsed()) / 1e6;
                getMs += g;
                reportMs += r;
                ctagMs += c;
                getBytes += got.body.size();
                reportBytes += reported.body.size();
                ++calendars;
            }
        }
        std::printf("per calendar (mean of %d): GET %.0f ms (%s, %lld KB), whole REPORT %.0f ms "
                    "(%lld KB), PROPFIND getctag %.0f ms, PROPFIND sync-token %.0f ms\n",
                    calendars, getMs / calendars, getOffered ? "offered" : "refused",
                    getBytes / calendars / 1024, reportMs / calendars,
                    reportBytes / calendars / 1024, ctagMs / calendars, tokenMs / calendars);
        wholeServedMs = getOffered ? getMs : reportMs;
        versionsServedMs = ctagMs;
    }

    // Boards with the calendars read one request after another, then read ahead side by side;
    // each starting with an empty cache folder, then once more after a restart (a new connection
    // over the cache the first left).
    std::map<std::pair<bool, QString>, std::pair<BuildResult, int>> boards;
    for (const bool readAhead : {false, true}) {
        QTemporaryDir cache;
        qputenv("XDG_CACHE_HOME", QFile::encodeName(cache.path()));
        const char* how = readAhead ? "side by side" : "in turn";
        {
            auto caldavApp = openCalendarApplication(profile, context);
            caldav::CalDavSession* session = caldav::sessionOf(*caldavApp);
            session->setReadAhead(readAhead);
            auto ns = caldavApp->GetNamespace(QStringLiteral("MAPI"));
            const QDate next = kToday.addMonths(1);
            for (const auto& [pass, month] :
                 {std::pair{"first", kToday}, std::pair{"repeated", kToday},
                  std::pair{"next month", next}}) {
                const int requests = session->http().requestCount();
                const int exchanges = session->http().exchangeCount();
                const BuildResult r = buildBoard(*ns, ids, month);
                const int asked = session->http().requestCount() - requests;
                boards[{readAhead, QString::fromLatin1(pass)}] = {r, asked};
                report(qPrintable(QStringLiteral("%1 %2 board, %3").arg(server->name(), pass, how)),
                       r, people, asked, session->http().exchangeCount() - exchanges);
            }
        }
        auto restarted = openCalendarApplication(profile, context);
        caldav::CalDavSession* session = caldav::sessionOf(*restarted);
        session->setReadAhead(readAhead);
        const BuildResult r = buildBoard(*restarted->GetNamespace(QStringLiteral("MAPI")), ids);
        boards[{readAhead, QStringLiteral("restart")}] = {r, session->http().requestCount()};
        report(qPrintable(QStringLiteral("%1 board after a restart, %2").arg(server->name(), how)),
               r, people, session->http().requestCount(), session->http().exchangeCount());
    }
    qputenv("XDG_CACHE_HOME", benchCache);

    const auto [first, firstRequests] = boards[{true, QStringLiteral("first")}];
    const auto [repeated, repeatedRequests] = boards[{true, QStringLiteral("repeated")}];
    const int served = people;
    std::printf("\nTargets (%d people on %s, side by side, wall time)\n", people,
                qPrintable(server->name()));
    const auto check = [](bool met, const QString& what) {
        std::printf("  %-7s%s\n", met ? "met" : "MISSED", qPrintable(what));
    };
    check(first.ms <= 1000,
          QStringLiteral("first board at most 1 s: %1 ms (in turn: %2 ms; the server alone, "
                         "every calendar whole and its version: %3 ms)")
              .arg(first.ms, 0, 'f', 0)
              .arg(boards[{false, QStringLiteral("first")}].first.ms, 0, 'f', 0)
              .arg(wholeServedMs + versionsServedMs, 0, 'f', 0));
    check(repeated.ms <= 200,
          QStringLiteral("repeated board at most 0.2 s: %1 ms (in turn: %2 ms; the server alone, "
                         "every calendar's version: %3 ms)")
              .arg(repeated.ms, 0, 'f', 0)
              .arg(boards[{false, QStringLiteral("repeated")}].first.ms, 0, 'f', 0)
              .arg(versionsServedMs, 0, 'f', 0));
    check(firstRequests <= 2 * served && repeatedRequests <= served,
          QStringLiteral("at most 2 and 1 requests per person: %1 and %2")
              .arg(double(firstRequests) / served, 0, 'f', 2)
              .arg(double(repeatedRequests) / served, 0, 'f', 2));
    std::printf("\n");

    // The local store over the same calendars.
    const ServiceProfile local =
        readServiceProfile(QDir(workspace.path()).filePath(QStringLiteral("calendar-service.ini")));
    auto localApp = openCalendarApplication(local, context);
    auto localNs = localApp->GetNamespace(QStringLiteral("MAPI"));
    QStringList localIds;
    for (const auto& p : plan.people) {
        auto r = localNs->CreateRecipient(p.user);
        if (r->Resolve())
            localIds << r->EntryID();
    }
    for (const char* pass : {"first", "repeated"})
        report(qPrintable(QStringLiteral("local store %1 board").arg(pass)),
               buildBoard(*localNs, localIds), people);
    return 0;
}
