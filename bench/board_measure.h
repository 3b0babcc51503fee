#pragma once

// Timing of board builds through the real board window, and of the floor beside them: the same
// look-ups and day queries on the calendar service without any window. Both read the calendar
// service the working directory's calendar-service.ini names, so any backend can be measured
// the same way (the local store here; a CalDAV server in its own benchmark).

#include <QDate>
#include <QString>

namespace rv::bench {

// Time on the wall and CPU time of the process (every thread's), in milliseconds.
struct Times {
    double wallMs = 0;
    double cpuMs = 0;
};

// Starts counting both at construction.
class Stopwatch {
public:
    Stopwatch();
    Times elapsed() const;

private:
    double wall_ = 0;
    double cpu_ = 0;
};

struct FirstBuild {
    Times time;         // start-up (Form_Load): connect, lay out, first build, painted as it goes
    int rows = 0;       // person rows the board ended with
    int deniedRows = 0; // rows that show the access-denied picture
    int unexpectedBoxes = 0;
};

// The first build of a board window (its start-up) in this process, shown offscreen (or on the
// display there is), with or without the build's painting.
FirstBuild measureFirstBuild(const QString& group, QDate month, bool painting);

struct RepeatedBuilds {
    Times painted;   // "Update Now" with nothing changed, best of the repeats
    Times unpainted; // the same with the build's painting left out, best of the repeats
    int rows = 0;
    int unexpectedBoxes = 0;
};

// A board window started (not timed), then `repeats` builds ("Update Now") with and without
// painting, alternately.
RepeatedBuilds measureRepeatedBuilds(const QString& group, QDate month, int repeats);

struct FloorFigures {
    int people = 0;   // members whose calendar was read
    qint64 items = 0; // day items found, over every person and day
    Times again;      // the day queries once more on a connection that has read every calendar
};

// For every member of the group, in member-file order: the look-up, resolve and folder open
// the board makes, then the day query for every day of the month; then all of it again.
FloorFigures measureFloor(const QString& group, QDate month);

// Peak resident memory of the process in KiB since the last reset (VmHWM; ru_maxrss where
// /proc has none), and the reset (returns false where the kernel cannot reset it).
qint64 peakMemoryKib();
qint64 currentMemoryKib();
bool resetPeakMemory();

} // namespace rv::bench
