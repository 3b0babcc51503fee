// Requests and time of a board over a CalDAV server: a local Radicale started for the run, 20
// people with 1,000 events each, a month's board built as the board builds it (every member
// looked up and resolved when the row is added, then per person: looked up and resolved again,
// the calendar opened, 31 day queries), first and repeated with nothing changed; then the same
// over the local store with the same calendars. Also the cost of one GET of a whole calendar
// against one month's calendar-query REPORT.
//
//   caldav_bench [people] [events per person]

#include "tools/store_generator.h"
#include "bench_platform.h"
#include "calendar/day_query.h"
#include "calendar/caldav/caldav_application.h"
#include "calendar/caldav/caldav_session.h"
#include "calendar/ical/entry_id.h"
#include "calendar/connection/calendar_connection.h"
#include "platform/desktop.h"
#include "platform/prompts.h"
#include "calendar/service_profile.h"
#include "support/radicale_server.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cstdio>

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

// One board, as Init_Grid asks the calendar service.
BuildResult buildBoard(CalendarNamespace& ns, const QStringList& ids, const QDate& month = kToday) {
    QElapsedTimer timer;
    timer.start();
    BuildResult result;
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
        std::printf("%-34s %8.0f ms  %5.1f ms/person  %4d requests (%.2f/person, %d on the wire)  "
                    "%ld items, %d denied\n",
                    what, r.ms, r.ms / people, requests, double(requests) / people, exchanges,
                    r.items, r.denied);
    else
        std::printf("%-34s %8.0f ms  %5.1f ms/person  %ld items, %d denied\n", what, r.ms,
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

    // The same people and calendars on a Radicale: the connected user reads every calendar
    // but the unshared one.
    QList<test::RadicaleServer::User> users;
    for (const auto& p : plan.people)
        users.push_back({p.user, QStringLiteral("pw-") + p.user});
    const QString rights =
        QStringLiteral("[own]\nuser: .+\ncollection: {user}(/.*)?\n"
                       "permissions: RrWw\n\n"
                       "[shared]\nuser: %1\ncollection: (?!%2/)[^/]+/[^/]+\n"
                       "permissions: r\n\n"
                       "[principals]\nuser: .+\ncollection: [^/]*\n"
                       "permissions: R\n")
            .arg(QRegularExpression::escape(me), QRegularExpression::escape(plan.unsharedUser));
    test::RadicaleServer server;
    if (!server.start(users, rights)) {
        std::fprintf(stderr, "%s\n", qPrintable(server.error()));
        return 1;
    }
    QElapsedTimer fill;
    fill.start();
    for (int i = 0; i < int(plan.people.size()); ++i) {
        const auto& user = users[i];
        if (!server.putCalendar(user, QStringLiteral("/%1/calendar/").arg(user.name),
                                bench::calendarText(plan, i))) {
            std::fprintf(stderr, "cannot fill %s's calendar: %s\n", qPrintable(user.name),
                         qPrintable(server.error()));
            return 1;
        }
    }
    std::printf("%d people, %d events each, month %s; Radicale filled in %.1f s\n", people, events,
                qPrintable(kToday.toString(QStringLiteral("MMMM yyyy"))),
                double(fill.elapsed()) / 1000);

    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
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
    profile.url = server.url().toString();
    profile.user = me;
    QStringList ids;
    for (const auto& p : plan.people)
        ids << makeEntryId(kCalDavProviderTag, QLatin1Char('/') + p.user + QLatin1Char('/'));

    // One request per calendar, after a first GET of every calendar has warmed the server's
    // caches as a running server's are: a GET of the collection against a month's REPORT.
    {
        caldav::DavHttp http(
            me, [&] { return QStringLiteral("pw-") + me; }, 300);
        const QByteArray query =
            "<?xml version=\"1.0\"?><C:calendar-query xmlns:D=\"DAV:\" "
            "xmlns:C=\"urn:ietf:params:xml:ns:caldav\"><D:prop><D:getetag/><C:calendar-data/>"
            "</D:prop><C:filter><C:comp-filter name=\"VCALENDAR\"><C:comp-filter name=\"VEVENT\">"
            "<C:time-range start=\"20240229T100000Z\" end=\"20240401T140000Z\"/>"
            "</C:comp-filter></C:comp-filter></C:filter></C:calendar-query>";
        const QByteArray ctag = "<?xml version=\"1.0\"?><D:propfind xmlns:D=\"DAV:\" "
                                "xmlns:CS=\"http://calendarserver.org/ns/\"><D:prop><CS:getctag/>"
                                "</D:prop></D:propfind>";
        const QByteArray token = "<?xml version=\"1.0\"?><D:propfind xmlns:D=\"DAV:\"><D:prop>"
                                 "<D:sync-token/></D:prop></D:propfind>";
        double getMs = 0, reportMs = 0, ctagMs = 0, tokenMs = 0;
        qint64 getBytes = 0, reportBytes = 0;
        int calendars = 0;
        for (int pass = 0; pass < 2; ++pass) {
            for (const auto& p : plan.people) {
                if (p.user == plan.unsharedUser)
                    continue;
                QUrl url = server.url();
                url.setPath(QStringLiteral("/%1/calendar/").arg(p.user));
                QElapsedTimer t;
                t.start();
                const auto got = http.send({"GET", url, {}, {}, {}, {}});
                const double g = double(t.nsecsElapsed()) / 1e6;
                if (pass == 0)
                    continue;
                t.restart();
                const auto reported = http.send({"REPORT", url, query, "application/xml", "1", {}});
                const double r = double(t.nsecsElapsed()) / 1e6;
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
        std::printf("per calendar (mean of %d): GET %.0f ms (%lld KB), month REPORT %.0f ms "
                    "(%lld KB), PROPFIND getctag %.0f ms, PROPFIND sync-token %.0f ms\n",
                    calendars, getMs / calendars, getBytes / calendars / 1024, reportMs / calendars,
                    reportBytes / calendars / 1024, ctagMs / calendars, tokenMs / calendars);
    }

    using Mode = caldav::CalDavSession::ReadMode;
    for (const Mode mode : {Mode::Whole, Mode::Report}) {
        auto caldavApp = openCalendarApplication(profile, context);
        caldav::CalDavSession* session = caldav::sessionOf(*caldavApp);
        session->setReadMode(mode);
        auto ns = caldavApp->GetNamespace(QStringLiteral("MAPI"));
        const QString how = mode == Mode::Whole ? QStringLiteral("GET") : QStringLiteral("REPORT");
        const QDate next = kToday.addMonths(1);
        for (const auto& [pass, month] : {std::pair{"first", kToday}, std::pair{"repeated", kToday},
                                          std::pair{"next month", next}}) {
            const int requests = session->http().requestCount();
            const int exchanges = session->http().exchangeCount();
            const BuildResult r = buildBoard(*ns, ids, month);
            report(qPrintable(QStringLiteral("CalDAV (%1) %2 board").arg(how, pass)), r, people,
                   session->http().requestCount() - requests,
                   session->http().exchangeCount() - exchanges);
        }
    }

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
