// Times hostile calendars as a board reads them: the text parsed, then March 2024 expanded and
// asked its 31 day filters. Each calendar runs in a child process of its own, so that one that
// crashes or never ends is reported as such and the others are still measured.
//
//   hostile_calendar_bench [seconds per calendar, default 60] [calendar files...]
//
// Without files: every file of tests/data/ical/hostile/ and the generated ones (deep nesting,
// secondly series, many excluded or extra dates, many changes to a series).

#include "calendar/day_query.h"
#include "calendar/ical/expanded_calendar.h"
#include "support/hostile_calendars.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace rv;

namespace {

struct Calendar {
    QString name;
    std::function<QByteArray()> text;
};

class Folder : public CalendarFolder {
public:
    explicit Folder(std::shared_ptr<OccurrenceSource> source) : source_(std::move(source)) {}
    std::unique_ptr<CalendarItems> Items() override {
        return std::make_unique<OccurrenceItems>(source_);
    }
    void Display() override {}

private:
    std::shared_ptr<OccurrenceSource> source_;
};

double cpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// In the child: parse, then a month of day queries; one line of figures.
int measure(const Calendar& calendar) {
    const QByteArray text = calendar.text();
    double cpu = cpuMs();
    QElapsedTimer wall;
    wall.start();
    const auto parsed = IcalCalendar::parse(text);
    const double parseCpu = cpuMs() - cpu;
    const double parseWall = double(wall.nsecsElapsed()) / 1e6;
    cpu = cpuMs();
    wall.restart();
    Folder folder(std::make_shared<ExpandedCalendar>(parsed));
    int items = 0;
    bool ordinary = false;
    for (int day = 1; day <= 31; ++day) {
        const DayQueryResult result = query_day(folder, day, 3, 2024);
        items += int(result.items.size());
        for (const auto& item : result.items)
            ordinary = ordinary || item->Subject() == QLatin1String("Ordinary");
    }
    std::printf("%-34s %9.1f KB %9.1f ms %9.1f ms %9.1f ms %9.1f ms %8d %s\n",
                qPrintable(calendar.name), text.size() / 1024.0, parseCpu, parseWall, cpuMs() - cpu,
                double(wall.nsecsElapsed()) / 1e6, items, ordinary ? "yes" : "NO");
    std::fflush(stdout);
    return 0;
}

// Runs one calendar in a child and tells how it ended when it did not end well.
void runChild(const Calendar& calendar, int seconds) {
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        alarm(unsigned(seconds));
        _exit(measure(calendar));
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    if (WIFSIGNALED(status)) {
        const int signal = WTERMSIG(status);
        std::printf("%-34s %s after %.1f s of processor time\n", qPrintable(calendar.name),
                    signal == SIGALRM
                        ? "did not finish"
                        : qPrintable(QStringLiteral("crashed (signal %1)").arg(signal)),
                    usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6);
    }
    std::printf("%-34s peak memory %.0f MB\n", "", usage.ru_maxrss / 1024.0);
}

} // namespace

int main(int argc, char** argv) {
    ::setenv("TZ", "Europe/Berlin", 1);
    ::tzset();
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    std::vector<Calendar> calendars;
    for (int i = 2; i < argc; ++i) {
        const QString path = QFile::decodeName(argv[i]);
        calendars.push_back({QFileInfo(path).fileName(), [path] {
                                 QFile file(path);
                                 return file.open(QIODevice::ReadOnly) ? file.readAll()
                                                                       : QByteArray();
                             }});
    }
    if (calendars.empty()) {
        const QDir dir(QStringLiteral(ROTAVIEW_SOURCE_DIR "/tests/data/ical/hostile"));
        for (const QString& name : dir.entryList({QStringLiteral("*.ics")}, QDir::Files)) {
            const QString path = dir.filePath(name);
            calendars.push_back({name, [path] {
                                     QFile file(path);
                                     return file.open(QIODevice::ReadOnly) ? file.readAll()
                                                                           : QByteArray();
                                 }});
        }
        calendars.push_back({QStringLiteral("nested 300,000 deep (open)"),
                             [] { return test::deeplyNestedCalendar(300000, false); }});
        calendars.push_back({QStringLiteral("nested 300,000 deep (closed)"),
                             [] { return test::deeplyNestedCalendar(300000, true); }});
        calendars.push_back({QStringLiteral("40 secondly series"),
                             [] { return test::secondlySeriesCalendar(40); }});
        calendars.push_back({QStringLiteral("hourly, 100,000 EXDATEs"),
                             [] { return test::manyExclusionsCalendar(100000); }});
        calendars.push_back({QStringLiteral("secondly, 20,000 THISANDFUTURE"),
                             [] { return test::manyFutureChangesCalendar(20000); }});
        calendars.push_back({QStringLiteral("100,000 RDATEs"),
                             [] { return test::manyExtraDatesCalendar(100000); }});
    }
    std::printf(
        "March 2024 in Europe/Berlin; each calendar in a process of its own, at most %d s\n",
        seconds);
    std::printf("%-34s %12s %12s %12s %12s %12s %8s %s\n", "calendar", "size", "parse cpu",
                "parse wall", "month cpu", "month wall", "items", "ordinary shown");
    for (const Calendar& calendar : calendars)
        runChild(calendar, seconds);
    return 0;
}
