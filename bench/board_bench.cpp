// board_bench: builds boards through the real board window over generated local stores of
// growing size and prints, for each, the time of the first build, of a repeated build with
// nothing changed, per person, with the build's painting left out, and the peak memory, beside
// the floor: the same calendar files parsed once and the same day queries answered without any
// window. Then it checks the figures against the targets.
//
// The window is offscreen unless QT_QPA_PLATFORM says otherwise.

#include "bench/board_measure.h"
#include "tools/store_generator.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>
#include <cstdio>
#include <map>

using namespace rv::bench;

namespace {

QTextStream out(stdout);

// The offscreen platform says on every window that it cannot propagate size hints; nothing
// else is left out.
QtMessageHandler previousHandler = nullptr;
void dropPlatformChatter(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text.contains(QLatin1String("propagateSizeHints")))
        return;
    if (previousHandler)
        previousHandler(type, context, text);
    else
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
}

struct SizeResult {
    int people = 0;
    BoardFigures board;
    FloorFigures floor;
    FloorFigures floorPerPerson;
    qint64 floorPerPersonPeakKib = 0;
    double generateMs = 0;
    qint64 boardPeakKib = 0;
    qint64 floorPeakKib = 0;
    qint64 baseKib = 0;
};

const QString kGroup = QStringLiteral("Everyone");

SizeResult runSize(const QString& folder, const StoreOptions& options, QDate month, int repeats,
                   int firstRuns) {
    SizeResult result;
    result.people = options.people;
    QElapsedTimer timer;
    timer.start();
    writeStore(folder, options);
    result.generateMs = double(timer.nsecsElapsed()) / 1e6;

    const QString previous = QDir::currentPath();
    QDir::setCurrent(folder);
    resetPeakMemory();
    result.baseKib = currentMemoryKib();
    result.floor = measureFloor(kGroup, month);
    result.floorPeakKib = peakMemoryKib();
    resetPeakMemory();
    result.floorPerPerson = measureFloor(kGroup, month, FloorConnection::PerPerson);
    result.floorPerPersonPeakKib = peakMemoryKib();
    resetPeakMemory();
    result.board = measureBoard(kGroup, month, repeats, firstRuns);
    result.boardPeakKib = peakMemoryKib();
    QDir::setCurrent(previous);
    return result;
}

QString ms(double value) {
    return QString::number(value, 'f', value < 100 ? 1 : 0);
}
QString mib(qint64 kib) {
    return QString::number(double(kib) / 1024.0, 'f', 1);
}
QString pad(const QString& text, int width) {
    return text.rightJustified(width);
}
QString verdict(bool met) {
    return met ? QStringLiteral("met") : QStringLiteral("MISSED");
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
        {QStringLiteral("sizes"), QStringLiteral("People per board (default 10,50,200)."),
         QStringLiteral("list"), QStringLiteral("10,50,200")},
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
         QStringLiteral("Fresh windows whose first build is timed; the best counts (default 2)."),
         QStringLiteral("n"), QStringLiteral("2")},
        {QStringLiteral("clock"),
         QStringLiteral("cpu: CPU time of the process (default); wall: time on the wall."),
         QStringLiteral("cpu|wall"), QStringLiteral("cpu")},
        {QStringLiteral("keep"),
         QStringLiteral("Writes the stores into folder/people-N and keeps them."),
         QStringLiteral("folder")},
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
    const QString clock = parser.value(QStringLiteral("clock"));
    if (clock != QLatin1String("cpu") && clock != QLatin1String("wall")) {
        QTextStream(stderr) << "--clock is cpu or wall.\n";
        return 2;
    }
    setClock(clock == QLatin1String("cpu") ? Clock::Cpu : Clock::Wall);
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
    const QDate month(today.year(), today.month(), 1);

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

    const rv::bench::StorePlan shape = planStore([&] {
        StoreOptions o = options;
        o.people = 2;
        return o;
    }());
    out << "Board build benchmark: local store, " << events << " events per person from "
        << shape.firstDay.toString(Qt::ISODate) << " to " << shape.lastDay.toString(Qt::ISODate)
        << " (seed " << options.seed << "), board of group \"" << kGroup << "\" for "
        << QLocale::c().toString(month, QStringLiteral("MMMM yyyy")) << " (" << month.daysInMonth()
        << " days), platform " << QApplication::platformName() << ", best of " << firstRuns
        << " first and " << repeats << " repeated builds, "
        << (clock == QLatin1String("cpu") ? "CPU time of the process" : "wall-clock time") << ".\n"
        << "Every store also holds one member who left the address book (no row) and one "
           "calendar not shared with the connected user (access-denied row).\n\n";
    out.flush();

    std::map<int, SizeResult> results;
    for (int people : sizes) {
        options.people = people;
        results[people] = runSize(QDir(root).filePath(QStringLiteral("people-%1").arg(people)),
                                  options, month, repeats, firstRuns);
        const SizeResult& r = results[people];
        if (r.board.unexpectedBoxes > 0)
            out << "(" << r.board.unexpectedBoxes << " message boxes were shown during the "
                << people << "-person builds)\n";
    }

    out << "                         ";
    for (int people : sizes)
        out << pad(QStringLiteral("%1 people").arg(people), 12);
    out << "\n";
    const auto row = [&](const QString& label, auto value) {
        out << label.leftJustified(25);
        for (int people : sizes)
            out << pad(value(results[people]), 12);
        out << "\n";
    };
    row(QStringLiteral("rows (denied)"), [](const SizeResult& r) {
        return QStringLiteral("%1 (%2)").arg(r.board.rows).arg(r.board.deniedRows);
    });
    row(QStringLiteral("first build ms"), [](const SizeResult& r) { return ms(r.board.firstMs); });
    row(QStringLiteral("repeated build ms"),
        [](const SizeResult& r) { return ms(r.board.repeatMs); });
    row(QStringLiteral("  per person, first ms"),
        [](const SizeResult& r) { return ms(r.board.firstMs / std::max(1, r.board.rows)); });
    row(QStringLiteral("  per person, repeated ms"),
        [](const SizeResult& r) { return ms(r.board.repeatMs / std::max(1, r.board.rows)); });
    row(QStringLiteral("first, without painting"),
        [](const SizeResult& r) { return ms(r.board.firstNoPaintMs); });
    row(QStringLiteral("repeated, without paint."),
        [](const SizeResult& r) { return ms(r.board.noPaintMs); });
    row(QStringLiteral("peak memory MiB"), [](const SizeResult& r) { return mib(r.boardPeakKib); });
    row(QStringLiteral("floor: parse+queries ms"),
        [](const SizeResult& r) { return ms(r.floor.coldMs); });
    row(QStringLiteral("  its per person ms"),
        [](const SizeResult& r) { return ms(r.floor.coldMs / std::max(1, r.floor.people)); });
    row(QStringLiteral("floor: queries again ms"),
        [](const SizeResult& r) { return ms(r.floor.warmMs); });
    row(QStringLiteral("floor: peak memory MiB"),
        [](const SizeResult& r) { return mib(r.floorPeakKib); });
    row(QStringLiteral("floor, 1 person at a time"),
        [](const SizeResult& r) { return ms(r.floorPerPerson.coldMs); });
    row(QStringLiteral("  its per person ms"), [](const SizeResult& r) {
        return ms(r.floorPerPerson.coldMs / std::max(1, r.floorPerPerson.people));
    });
    row(QStringLiteral("  its peak memory MiB"),
        [](const SizeResult& r) { return mib(r.floorPerPersonPeakKib); });
    row(QStringLiteral("floor: calendars read"),
        [](const SizeResult& r) { return QString::number(r.floor.people); });
    row(QStringLiteral("floor: day items"),
        [](const SizeResult& r) { return QString::number(r.floor.items); });
    row(QStringLiteral("memory before, MiB"), [](const SizeResult& r) { return mib(r.baseKib); });
    row(QStringLiteral("store written in ms"),
        [](const SizeResult& r) { return ms(r.generateMs); });

    out << "\nTargets\n";
    bool allMet = true;
    const auto check = [&](const QString& what, bool met, const QString& figures) {
        allMet = allMet && met;
        out << "  " << verdict(met).leftJustified(7) << what << ": " << figures << "\n";
    };
    for (const bool repeated : {false, true}) {
        QStringList parts;
        bool met = true;
        for (int people : sizes) {
            const SizeResult& r = results[people];
            const double ratio = repeated ? r.board.repeatMs / r.board.noPaintMs
                                          : r.board.firstMs / r.board.firstNoPaintMs;
            met = met && ratio <= 1.1;
            parts << QStringLiteral("%1: %2x").arg(people).arg(ratio, 0, 'f', 2);
        }
        check(QStringLiteral("painting at most 10% of a %1 build (within 1.1x of it without "
                             "painting)")
                  .arg(repeated ? QStringLiteral("repeated") : QStringLiteral("first")),
              met, parts.join(QStringLiteral(", ")));
    }
    {
        QStringList parts;
        bool met = true;
        for (int people : sizes) {
            const SizeResult& r = results[people];
            const double ratio = r.board.firstMs / r.floor.coldMs;
            met = met && ratio <= 1.5;
            parts << QStringLiteral("%1: %2x").arg(people).arg(ratio, 0, 'f', 2);
        }
        check(QStringLiteral("first build within 1.5x of the parse-once floor"), met,
              parts.join(QStringLiteral(", ")));
    }
    if (sizes.size() >= 2) {
        const SizeResult& small = results[sizes.front()];
        const SizeResult& large = results[sizes.back()];
        const auto perPerson = [](const SizeResult& r, double total) {
            return total / std::max(1, r.board.rows);
        };
        const double first =
            perPerson(large, large.board.firstMs) / perPerson(small, small.board.firstMs);
        const double repeat =
            perPerson(large, large.board.repeatMs) / perPerson(small, small.board.repeatMs);
        check(QStringLiteral("time per person flat from %1 to %2 people (at most 1.25x)")
                  .arg(sizes.front())
                  .arg(sizes.back()),
              first <= 1.25 && repeat <= 1.25,
              QStringLiteral("first build %1x, repeated build %2x")
                  .arg(first, 0, 'f', 2)
                  .arg(repeat, 0, 'f', 2));
    }
    {
        const SizeResult& largest = results[sizes.back()];
        check(QStringLiteral("peak memory below 150 MB for the %1-person board").arg(sizes.back()),
              largest.boardPeakKib * 1024 < 150'000'000,
              QStringLiteral("%1 MB (%2 MiB)")
                  .arg(double(largest.boardPeakKib) * 1024 / 1e6, 0, 'f', 1)
                  .arg(mib(largest.boardPeakKib)));
    }

    // The same build against a CalDAV server (Radicale, 20 people, with its HTTP requests per
    // person) is measured by caldav_bench, which reuses measureBoard and measureFloor over a
    // calendar-service.ini with Backend=caldav.
    out << "\nCalDAV: see caldav_bench (the same board build against a local Radicale).\n";
    out.flush();
    return allMet ? 0 : 1;
}
