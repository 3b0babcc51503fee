#pragma once

#include <QDateTime>
#include <QString>
#include <QtGlobal>

namespace rv {

// Minutes since 1970-01-01 00:00 counted on the local wall clock, not in elapsed time: the unit
// in which restrictions compare date-times, so that an all-day item on a daylight-saving day
// still runs 1440 minutes and "12:00 AM" of a day means that day's first minute.
qint64 wallMinute(const QDateTime& local);
// The local date-time of a wall minute.
QDateTime fromWallMinute(qint64 minute);

// One appointment or one occurrence of a recurring appointment, as a backend reads it.
struct Occurrence {
    QDateTime start;        // local time of the machine
    QDateTime end;          // local time; an all-day item ends at 00:00 of the day after
    qint64 startMinute = 0; // wallMinute(start)
    qint64 endMinute = 0;   // wallMinute(end)
    QString subject;
    QString location;
    int sensitivity = 0;
    // Which event of the calendar this comes from, and whether it repeats: an event and an
    // occurrence start are enough to tell two occurrences apart.
    int event = 0;
    bool recurring = false;
};

// Sets start/end and their wall minutes together.
void setOccurrenceTimes(Occurrence& occurrence, const QDateTime& start, const QDateTime& end);

} // namespace rv
