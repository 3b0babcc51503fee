// Times the day query over a large local calendar: 31 day queries of one month over a calendar
// of 5,000 events (10% of them weekly series running two years), the first time (the file is
// parsed and the month expanded) and repeated (answered from the parsed, expanded month).
//
//   day_query_bench [events]

#include "bench_platform.h"
#include "calendar/day_query.h"
#include "calendar/connection/calendar_connection.h"
#include "platform/desktop.h"
#include "platform/prompts.h"
#include "calendar/service_profile.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cstdio>

using namespace rv;
using rv::bench::NoDesktop;
using rv::bench::NoPrompts;

namespace {

QByteArray stamp(const QDateTime& t) {
    return t.toString("yyyyMMddTHHmmss").toLatin1();
}

// A calendar of `count` events over 2024 and 2025: one in ten a weekly series over both years
// (some with excluded dates), the rest single meetings, every twentieth an all-day event.
QByteArray calendarText(int count) {
    QRandomGenerator random(20240101);
    const QDate first(2024, 1, 1);
    QByteArray ics =
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Rotaview//day query bench//EN\r\n";
    for (int i = 0; i < count; ++i) {
        const QByteArray uid = "bench-" + QByteArray::number(i);
        ics += "BEGIN:VEVENT\r\nUID:" + uid + "\r\nSUMMARY:Event " + QByteArray::number(i) +
               "\r\nDTSTAMP:20240101T000000Z\r\n";
        if (i % 10 == 0) {
            const QDateTime start(first.addDays(random.bounded(14)),
                                  QTime(8 + random.bounded(9), 30 * random.bounded(2)));
            ics += "DTSTART:" + stamp(start) + "\r\nDTEND:" + stamp(start.addSecs(3600)) +
                   "\r\nRRULE:FREQ=WEEKLY;UNTIL=20251231T235959\r\n";
            if (i % 30 == 0)
                ics += "EXDATE:" + stamp(start.addDays(7 * (1 + random.bounded(90)))) + "\r\n";
        } else if (i % 20 == 1) {
            const QDate day = first.addDays(random.bounded(731));
            ics += "DTSTART;VALUE=DATE:" + day.toString("yyyyMMdd").toLatin1() +
                   "\r\nDTEND;VALUE=DATE:" + day.addDays(1).toString("yyyyMMdd").toLatin1() +
                   "\r\n";
        } else {
            const QDateTime start(first.addDays(random.bounded(731)),
                                  QTime(7 + random.bounded(11), 15 * random.bounded(4)));
            ics += "DTSTART:" + stamp(start) +
                   "\r\nDTEND:" + stamp(start.addSecs(60 * (15 + 15 * random.bounded(12)))) +
                   "\r\nLOCATION:Room " + QByteArray::number(random.bounded(20)) + "\r\n";
        }
        ics += "END:VEVENT\r\n";
    }
    return ics + "END:VCALENDAR\r\n";
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

struct Pass {
    double ms = 0;
    int items = 0;
};

Pass queryMonth(CalendarFolder& folder, int month, int year) {
    Pass pass;
    QElapsedTimer timer;
    timer.start();
    const int days = QDate(year, month, 1).daysInMonth();
    for (int day = 1; day <= days; ++day)
        pass.items += int(query_day(folder, day, month, year).items.size());
    pass.ms = double(timer.nsecsElapsed()) / 1e6;
    return pass;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int events = argc > 1 ? QByteArray(argv[1]).toInt() : 5000;
    QTemporaryDir dir;
    QDir(dir.path()).mkpath("calendars");
    const QByteArray ics = calendarText(events);
    if (!writeFile(dir.filePath("people.vcf"),
                   "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:alice\r\nFN:Alice Archer\r\n"
                   "EMAIL:alice@example.org\r\nEND:VCARD\r\n") ||
        !writeFile(dir.filePath("calendars/alice.ics"), ics)) {
        std::fprintf(stderr, "cannot write the store in %s\n", qPrintable(dir.path()));
        return 1;
    }

    NoPrompts prompts;
    NoDesktop desktop;
    ServiceProfile profile;
    profile.backend = "local";
    profile.folder = dir.path();
    profile.user = "alice";

    std::printf("calendar: %d events (%d weekly series over 2024-2025), %.0f KB\n", events,
                (events + 9) / 10, ics.size() / 1024.0);
    auto run = [&](const char* what, int month, int year, CalendarFolder& folder) {
        const Pass pass = queryMonth(folder, month, year);
        std::printf("%-52s %8.1f ms  (%d items)\n", what, pass.ms, pass.items);
    };
    {
        auto application = openCalendarApplication(profile, {prompts, desktop});
        auto ns = application->GetNamespace("MAPI");
        auto alice = ns->CreateRecipient("alice");
        alice->Resolve();
        auto folder = ns->GetSharedDefaultFolder(*alice, kFolderCalendar);
        run("31 day queries, March 2025, first (parse + expand):", 3, 2025, *folder);
        run("31 day queries, March 2025, repeated:", 3, 2025, *folder);
        run("31 day queries, March 2025, repeated again:", 3, 2025, *folder);
        run("31 day queries, May 2024, first for that month:", 5, 2024, *folder);
        // A new folder of the same service: the calendar stays parsed while its file is unchanged.
        auto again = ns->GetSharedDefaultFolder(*alice, kFolderCalendar);
        run("31 day queries, March 2025, next build (new folder):", 3, 2025, *again);
    }
    return 0;
}
