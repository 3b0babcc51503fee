// board_bench: builds boards through the real board window over generated local stores of
// growing size and prints, for each, time on the wall and CPU time (of every thread) of
//   - the first build in a fresh process with an empty cache folder (cold),
//   - the first build in a fresh process after that one (a restart: the cache is warm),
//   - a repeated build ("Update Now" with nothing changed),
// per person, with the build's painting left out, and the peak memory of the fresh processes,
// beside the floor: every calendar file read and parsed whole by libical and its month expanded
// (what a first build cost before it read only what the month needs), and the day queries of a
// connection that has read everything. Then it checks the figures against the targets.
//
// Fresh processes are this program started again (--first-build). The window is offscreen unless
// QT_QPA_PLATFORM says otherwise. The machine's other work shows in the wall times: the CPU
// times are the steadier figures.

#include "bench/board_measure.h"
#include "calendar/ical/expanded_calendar.h"
#include "tools/store_generator.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <cstdio>
#include <functional>
#include <map>

using namespace rv::bench;

namespace {

QTextStream out(stdout);

// The offscreen platform says on every window that it cannot propagate size hints, and every
// fresh process that it has no runtime folder; nothing else is left out.
QtMessageHandler previousHandler = nullptr;
void dropPlatformChatter(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text.contains(QLatin1String("propagateSizeHints")) ||
        text.contains(QLatin1String("XDG_RUNTIME_DIR")))
        return;
    if (previousHandler)
        previousHandler(type, context, text);
    else
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
}

const QString kGroup = QStringLiteral("Everyone");

struct ProcessBuild {
    FirstBuild build;
    qint64 peakKib = 0;
    bool ok = false;
};

// --first-build: the first build of the workspace in the working directory, as one line.
int firstBuildChild(QDate month, bool painting) {
    const FirstBuild b = measureFirstBuild(kGroup, month, painting);
    out << "first-build " << b.time.wallMs << ' ' << b.time.cpuMs << ' ' << peakMemoryKib() << ' '
        << b.rows << ' ' << b.deniedRows << ' ' << b.unexpectedBoxes << '\n';
    out.flush();
    return 0;
}

ProcessBuild firstBuildInFreshProcess(const QString& workspace, const QString& cacheHome,
                                      QDate month, bool painting) {
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CACHE_HOME"), cacheHome);
    child.setProcessEnvironment(env);
    child.setWorkingDirectory(workspace);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QStringList arguments{QStringLiteral("--first-build"), QStringLiteral("--date"),
                          month.toString(Qt::ISODate)};
    if (!painting)
        arguments << QStringLiteral("--no-paint");
    child.start(QCoreApplication::applicationFilePath(), arguments);
    ProcessBuild result;
    if (!child.waitForFinished(-1) || child.exitCode() != 0)
        return result;
    const QStringList line =
        QString::fromLatin1(child.readAllStandardOutput()).trimmed().split(QLatin1Char(' '));
    if (line.size() != 7 || line[0] != QLatin1String("first-build"))
        return result;
    result.build.time = {line[1].toDouble(), line[2].toDouble()};
    result.peakKib = line[3].toLongLong();
    result.build.rows = line[4].toInt();
    result.build.deniedRows = line[5].toInt();
    result.build.unexpectedBoxes = line[6].toInt();
    result.ok = true;
    return result;
}

// The best of several fresh processes (by wall time; the CPU time is that run's).
ProcessBuild bestOf(int runs, const std::function<ProcessBuild()>& run) {
    ProcessBuild best;
    for (int i = 0; i < runs; ++i) {
        const ProcessBuild now = run();
        if (now.ok && (!best.ok || now.build.time.wallMs < best.build.time.wallMs))
            best = now;
    }
    return best;
}

// Every calendar file of the store parsed whole and its month expanded, one after another.
Times wholeParseFloor(const QString& workspace, QDate month) {
    const QDir calendars(QDir(workspace).filePath(QStringLiteral("store/calendars")));
    const Stopwatch timer;
    const rv::TimeWindow window = rv::ExpandedCalendar::windowOfMonth(
        rv::ExpandedCalendar::monthIndex(month.year(), month.month()));
    for (const QString& name : calendars.entryList({QStringLiteral("*.ics")}, QDir::Files)) {
        QFile file(calendars.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            rv::IcalCalendar::parse(file.readAll())->expand(window.fromMinute, window.toMinute);
    }
    return timer.elapsed();
}

struct SizeResult {
    int people = 0;
    int rows = 0;
    int deniedRows = 0;
    ProcessBuild cold;
    ProcessBuild warm;
    ProcessBuild warmUnpainted;
    RepeatedBuilds repeated;
    FloorFigures floor;
    Times wholeParse;
    double generateMs = 0;
    int unexpectedBoxes = 0;
};

SizeResult runSize(const QString& workspace, const StoreOptions& options, QDate month, int repeats,
                   int firstRuns) {
    SizeResult result;
    result.people = options.people;
    QElapsedTimer timer;
    timer.start();
    writeStore(workspace, options);
    result.generateMs = double(timer.nsecsElapsed()) / 1e6;
    const QString cacheHome = workspace + QStringLiteral("-cache");
    QDir(cacheHome).removeRecursively();
    QDir().mkpath(cacheHome);

    result.cold = firstBuildInFreshProcess(workspace, cacheHome, month, true);
    result.warm = bestOf(
        firstRuns, [&] { return firstBuildInFreshProcess(workspace, cacheHome, month, true); });
    result.warmUnpainted = bestOf(
        firstRuns, [&] { return firstBuildInFreshProcess(workspace, cacheHome, month, false); });

    const QString previous = QDir::currentPath();
    const QByteArray previousCache = qgetenv("XDG_CACHE_HOME");
    QDir::setCurrent(workspace);
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cacheHome));
    result.repeated = measureRepeatedBuilds(kGroup, month, repeats);
    result.floor = measureFloor(kGroup, month);
    result.wholeParse = wholeParseFloor(workspace, month);
    qputenv("XDG_CACHE_HOME", previousCache);
    QDir::setCurrent(previous);

    result.rows = result.repeated.rows;
    result.deniedRows = result.cold.build.deniedRows;
    result.unexpectedBoxes = result.cold.build.unexpectedBoxes + result.warm.build.unexpectedBoxes +
                             result.repeated.unexpectedBoxes;
    return result;
}

QString ms(double value) {
    return QString::number(value, 'f', value < 100 ? 1 : 0);
}
QString times(const Times& t) {
    return ms(t.wallMs) + QStringLiteral(" / ") + ms(t.cpuMs);
}
QString mib(qint64 kib) {
    return QString::number(double(kib) / 1024.0, 'f', 1);
}
QString verdict(bool met) {
    return met ? QStringLiteral("met") : QStringLiteral("MISSED");
}
Times perPerson(const Times& t, int people) {
    return {t.wallMs / std::max(1, people), t.cpuMs / std::max(1, people)};
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
        qputenv("QT_LOGGING_RULES", "qt.qpa.*=false");
    previousHandler = qInstallMessageHandler(dropPlatformChatter);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("board_bench"));
    QApplication::setOrganizationName(QStringLiteral("Vantrel"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Board build benchmark over generated local "
                                                    "calendar stores."));
    parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("sizes"), QStringLiteral("People per board (default 50,200,1000)."),
         QStringLiteral("list"), QStringLiteral("50,200,1000")},
        {QStringLiteral("events"), QStringLiteral("Events per calendar (default 2000)."),
         QStringLiteral("n"), QStringLiteral("2000")},
        {QStringLiteral("seed"), QStringLiteral("Seed of the stores (default 1)."),
         QStringLiteral("n"), QStringLiteral("1")},
        {QStringLiteral("date"),
         QStringLiteral("The date the stores are laid out around and whose month is built "
                        "(default today)."),
         QStringLiteral("yyyy-MM-dd")},
        {QStringLiteral("repeats"),
         QStringLiteral("Repeated builds with and without painting; the best counts (default "
                        "3)."),
         QStringLiteral("n"), QStringLiteral("3")},
        {QStringLiteral("first-runs"),
         QStringLiteral("Fresh processes whose first build after a restart is timed, with and "
                        "without painting; the best counts (default 2)."),
         QStringLiteral("n"), QStringLiteral("2")},
        {QStringLiteral("keep"),
         QStringLiteral("Writes the stores into folder/people-N and keeps them."),
         QStringLiteral("folder")},
        {QStringLiteral("first-build"),
         QStringLiteral("(Used by the benchmark itself) times the first build of the "
                        "workspace in the working directory and prints it.")},
        {QStringLiteral("no-paint"), QStringLiteral("(With --first-build) without painting.")},
    });
    parser.process(app);

    QDate today = QDate::currentDate();
    if (parser.isSet(QStringLiteral("date"))) {
        today = QDate::fromString(parser.value(QStringLiteral("date")), Qt::ISODate);
        if (!today.isValid()) {
            QTextStream(stderr) << "--date needs yyyy-MM-dd.\n";
            return 2;
        }
    }
    const QDate month(today.year(), today.month(), 1);
    if (parser.isSet(QStringLiteral("first-build")))
        return firstBuildChild(month, !parser.isSet(QStringLiteral("no-paint")));

    QList<int> sizes;
    for (const QString& part : parser.value(QStringLiteral("sizes")).split(QLatin1Char(','))) {
        bool ok = false;
        const int n = part.trimmed().toInt(&ok);
        if (!ok || n < 2) {
            QTextStream(stderr) << "--sizes needs numbers of at least 2.\n";
            return 2;
        }
        sizes << n;
    }
    const int events = parser.value(QStringLiteral("events")).toInt();
    const int repeats = std::max(1, parser.value(QStringLiteral("repeats")).toInt());
    const int firstRuns = std::max(1, parser.value(QStringLiteral("first-runs")).toInt());

    StoreOptions options;
    options.eventsPerPerson = events;
    options.seed = parser.value(QStringLiteral("seed")).toULongLong();
    options.today = today;
    options.monthsBefore = 12;
    options.monthsAfter = 11;
    options.everyoneGroup = true;

    QTemporaryDir temporary;
    const QString root = parser.isSet(QStringLiteral("keep")) ? parser.value(QStringLiteral("keep"))
                                                              : temporary.path();
    QDir().mkpath(root);

    {
        // Qt's own first-use costs (fonts, style, platform) are not the board's.
        StoreOptions warmUp = options;
        warmUp.people = 2;
        warmUp.eventsPerPerson = 50;
        runSize(QDir(root).filePath(QStringLiteral("warm-up")), warmUp, month, 1, 1);
    }

    const StorePlan shape = planStore([&] {
        StoreOptions o = options;
        o.people = 2;
        return o;
    }());
    out << "Board build benchmark: local store, " << events << " events per person from "
        << shape.firstDay.toString(Qt::ISODate) << " to " << shape.lastDay.toString(Qt::ISODate)
        << " (seed " << options.seed << "), board of group \"" << kGroup << "\" for "
        << QLocale::c().toString(month, QStringLiteral("MMMM yyyy")) << " (" << month.daysInMonth()
        << " days), platform " << QApplication::platformName() << ", "
        << QThread::idealThreadCount() << " cores; best of " << firstRuns
        << " fresh processes after a restart and of " << repeats
        << " repeated builds.\nEvery store also holds one member who left the address book (no "
           "row) and one calendar not shared with the connected user (access-denied row).\n"
           "Times are milliseconds, wall / CPU (CPU counts every thread of the process).\n\n";
    out.flush();

    std::map<int, SizeResult> results;
    for (int people : sizes) {
        options.people = people;
        results[people] = runSize(QDir(root).filePath(QStringLiteral("people-%1").arg(people)),
                                  options, month, repeats, firstRuns);
        const SizeResult& r = results[people];
        if (!r.cold.ok || !r.warm.ok || !r.warmUnpainted.ok)
            out << "(a fresh process for " << people << " people failed)\n";
        if (r.unexpectedBoxes > 0)
            out << "(" << r.unexpectedBoxes << " message boxes were shown during the " << people
                << "-person builds)\n";
    }

    constexpr int kLabel = 34;
    constexpr int kColumn = 18;
    out << QString(kLabel, QLatin1Char(' '));
    for (int people : sizes)
        out << QStringLiteral("%1 people").arg(people).rightJustified(kColumn);
    out << "\n";
    const auto row = [&](const QString& label, auto value) {
        out << label.leftJustified(kLabel);
        for (int people : sizes)
            out << value(results[people]).rightJustified(kColumn);
        out << "\n";
    };
    row(QStringLiteral("rows (denied)"), [](const SizeResult& r) {
        return QStringLiteral("%1 (%2)").arg(r.rows).arg(r.deniedRows);
    });
    row(QStringLiteral("first build, cold cache"),
        [](const SizeResult& r) { return times(r.cold.build.time); });
    row(QStringLiteral("first build after restart"),
        [](const SizeResult& r) { return times(r.warm.build.time); });
    row(QStringLiteral("  the same without painting"),
        [](const SizeResult& r) { return times(r.warmUnpainted.build.time); });
    row(QStringLiteral("repeated build"),
        [](const SizeResult& r) { return times(r.repeated.painted); });
    row(QStringLiteral("  the same without painting"),
        [](const SizeResult& r) { return times(r.repeated.unpainted); });
    row(QStringLiteral("per person: first, cold"),
        [](const SizeResult& r) { return times(perPerson(r.cold.build.time, r.rows)); });
    row(QStringLiteral("per person: after restart"),
        [](const SizeResult& r) { return times(perPerson(r.warm.build.time, r.rows)); });
    row(QStringLiteral("per person: repeated"),
        [](const SizeResult& r) { return times(perPerson(r.repeated.painted, r.rows)); });
    row(QStringLiteral("peak memory MiB: cold, restart"), [](const SizeResult& r) {
        return mib(r.cold.peakKib) + QStringLiteral(", ") + mib(r.warm.peakKib);
    });
    row(QStringLiteral("floor: whole parse, 1 thread"),
        [](const SizeResult& r) { return times(r.wholeParse); });
    row(QStringLiteral("  its per person"),
        [](const SizeResult& r) { return times(perPerson(r.wholeParse, r.floor.people)); });
    row(QStringLiteral("floor: queries again"),
        [](const SizeResult& r) { return times(r.floor.again); });
    row(QStringLiteral("  its per person"),
        [](const SizeResult& r) { return times(perPerson(r.floor.again, r.floor.people)); });
    row(QStringLiteral("floor: calendars read, day items"), [](const SizeResult& r) {
        return QStringLiteral("%1, %2").arg(r.floor.people).arg(r.floor.items);
    });
    row(QStringLiteral("store written in ms"),
        [](const SizeResult& r) { return ms(r.generateMs); });

    out << "\nTargets (first builds on the wall, the others on the CPU)\n";
    bool allMet = true;
    const auto check = [&](const QString& what, bool met, const QString& figures) {
        allMet = allMet && met;
        out << "  " << verdict(met).leftJustified(7) << what << ": " << figures << "\n";
    };
    const int largest = sizes.back();
    const SizeResult& big = results[largest];
    check(QStringLiteral("first build of %1 people in a fresh process, cold cache, at most 10 s")
              .arg(largest),
          big.cold.ok && big.cold.build.time.wallMs <= 10000, times(big.cold.build.time));
    check(QStringLiteral("the same with a warm cache (after a restart), at most 1 s"),
          big.warm.ok && big.warm.build.time.wallMs <= 1000, times(big.warm.build.time));
    if (results.count(200))
        check(QStringLiteral("repeated build of 200 people at most 0.3 s"),
              results[200].repeated.painted.cpuMs <= 300, times(results[200].repeated.painted));
    if (sizes.size() >= 2) {
        const SizeResult& small = results[sizes.front()];
        const auto ratio = [](const SizeResult& large, const SizeResult& small, const Times& l,
                              const Times& s) {
            return (l.cpuMs / std::max(1, large.rows)) / (s.cpuMs / std::max(1, small.rows));
        };
        const double repeated = ratio(big, small, big.repeated.painted, small.repeated.painted);
        const double restart = ratio(big, small, big.warm.build.time, small.warm.build.time);
        check(QStringLiteral("repeated build per person flat from %1 to %2 people (at most 1.25x)")
                  .arg(sizes.front())
                  .arg(largest),
              repeated <= 1.25,
              QStringLiteral("%1x (first build after a restart: %2x)")
                  .arg(repeated, 0, 'f', 2)
                  .arg(restart, 0, 'f', 2));
    }
    for (const bool first : {true, false}) {
        QStringList parts;
        bool met = true;
        for (int people : sizes) {
            const SizeResult& r = results[people];
            const double ratio = first ? r.warm.build.time.cpuMs / r.warmUnpainted.build.time.cpuMs
                                       : r.repeated.painted.cpuMs / r.repeated.unpainted.cpuMs;
            met = met && ratio <= 1.1;
            parts << QStringLiteral("%1: %2x").arg(people).arg(ratio, 0, 'f', 2);
        }
        check(QStringLiteral("painting at most 10% of a %1 (within 1.1x of it unpainted)")
                  .arg(first ? QStringLiteral("first build after a restart")
                             : QStringLiteral("repeated build")),
              met, parts.join(QStringLiteral(", ")));
    }
    check(QStringLiteral("peak memory of the %1-person board at most 150 MB").arg(largest),
          big.cold.ok && big.cold.peakKib * 1024 <= 150'000'000,
          QStringLiteral("%1 MB cold, %2 MB after a restart")
              .arg(double(big.cold.peakKib) * 1024 / 1e6, 0, 'f', 1)
              .arg(double(big.warm.peakKib) * 1024 / 1e6, 0, 'f', 1));

    // The same build against a CalDAV server is measured by caldav_bench.
    out << "\nCalDAV: see caldav_bench (boards against a local Radicale).\n";
    out.flush();
    return allMet ? 0 : 1;
}
