#pragma once

// Timing of board builds through the real board window, and of the floor beside them: the same
// look-ups and day queries on the calendar service without any window. Both read the calendar
// service the working directory's calendar-service.ini names, so any backend can be measured
// the same way (the local store here; a CalDAV server in its own benchmark).

#include <QDate>
#include <QString>

namespace rv::bench {

// What the timings count: the process's CPU time (the default: steady on a machine that other
// work shares) or the time on the wall.
enum class Clock { Cpu, Wall };
void setClock(Clock clock);

struct BoardFigures {
    int rows = 0;              // person rows the board ended with
    int deniedRows = 0;        // rows that show the access-denied picture
    int days = 0;              // days of the month built
    double firstMs = 0;        // start-up (Form_Load): connect, lay out, first build
    double firstNoPaintMs = 0; // the same with the build's painting left out
    double repeatMs = 0;       // "Update Now" with nothing changed, best of the repeats
    double noPaintMs = 0;      // the same with the build's painting left out, best of the repeats
    int unexpectedBoxes = 0;
};

struct FloorFigures {
    int people = 0;   // members whose calendar was read
    qint64 items = 0; // day items found, over every person and day
    qint64 bookedMinutes = 0;
    double coldMs = 0; // a fresh connection: every calendar read and parsed once, and queried
    double warmMs = 0; // the same queries again on the same connection
};

// Builds the board of the group for the month of `month` in a window shown offscreen (or on the
// display there is): a first build from start-up, with and without the build's painting, each on
// `firstRuns` fresh windows (the best counts); then `repeats` builds ("Update Now") with and
// without painting on the last window (the best counts).
BoardFigures measureBoard(const QString& group, QDate month, int repeats, int firstRuns);

enum class FloorConnection {
    Shared,    // one connection for everybody, as the board has
    PerPerson, // a fresh connection per person: nothing read is kept past that person
};

// For every member of the group, in member-file order: the look-up, resolve and folder open
// the board makes, then the day query for every day of the month, summing the booked minutes.
FloorFigures measureFloor(const QString& group, QDate month,
                           FloorConnection connection = FloorConnection::Shared);

// Peak resident memory of the process in KiB since the last reset (VmHWM; ru_maxrss where
// /proc has none), and the reset (returns false where the kernel cannot reset it).
qint64 peakMemoryKib();
qint64 currentMemoryKib();
bool resetPeakMemory();

} // namespace rv::bench
