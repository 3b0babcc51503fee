#include "calendar/ical/occurrence.h"

namespace rv {

namespace {

constexpr qint64 kMinutesPerDay = 24 * 60;

qint64 floorDiv(qint64 a, qint64 b) {
    const qint64 q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

const QDate kEpochDay(1970, 1, 1);

} // namespace

qint64 wallMinute(const QDateTime& local) {
    const QTime t = local.time();
    return kEpochDay.daysTo(local.date()) * kMinutesPerDay + t.hour() * 60 + t.minute();
}

QDateTime fromWallMinute(qint64 minute) {
    const qint64 days = floorDiv(minute, kMinutesPerDay);
    const qint64 rest = minute - days * kMinutesPerDay;
    return QDateTime(kEpochDay.addDays(days), QTime(int(rest / 60), int(rest % 60)));
}

void setOccurrenceTimes(Occurrence& occurrence, const QDateTime& start, const QDateTime& end) {
    occurrence.start = start;
    occurrence.end = end;
    occurrence.startMinute = wallMinute(start);
    occurrence.endMinute = wallMinute(end);
}

} // namespace rv
