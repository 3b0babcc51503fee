#include "days/day_occupancy.h"

namespace rv {

namespace {

qint64 minuteOfWallClock(const QDateTime& t) {
    static const QDate epoch(1970, 1, 1);
    const QTime time = t.time();
    return epoch.daysTo(t.date()) * 1440 + time.hour() * 60 + time.minute();
}

} // namespace

qint64 wholeMinutes(const QDateTime& start, const QDateTime& end) {
    if (!start.isValid() || !end.isValid())
        return 0;
    return minuteOfWallClock(end) - minuteOfWallClock(start);
}

qint64 bookedMinutes(const std::vector<std::unique_ptr<AppointmentItem>>& items) {
    qint64 minutes = 0;
    for (const auto& item : items)
        if (item)
            minutes += wholeMinutes(item->Start(), item->End());
    return minutes;
}

qint64 bookedMinutes(const std::vector<std::pair<QDateTime, QDateTime>>& spans) {
    qint64 minutes = 0;
    for (const auto& [start, end] : spans)
        minutes += wholeMinutes(start, end);
    return minutes;
}

DayCategory occupancyCategory(qint64 bookedMinutes, const QDate& date) {
    const double hours = double(bookedMinutes) / 60.0;
    if (hours == 24.0)
        return Special_Event;
    if (hours == 0.0) {
        const int weekday = date.dayOfWeek(); // Monday 1 .. Sunday 7
        return weekday == 6 || weekday == 7 ? Weekend : Free_All_day;
    }
    if (hours <= 4.0)
        return UpTo4;
    if (hours >= 7.0)
        return MoreThan7;
    return Between4And7;
}

DayCategory dayCategory(const std::vector<std::unique_ptr<AppointmentItem>>& items, int day,
                         int month, int year) {
    return occupancyCategory(bookedMinutes(items), QDate(year, month, day));
}

DayCategory dayCategory(const std::vector<std::pair<QDateTime, QDateTime>>& spans, int day,
                         int month, int year) {
    return occupancyCategory(bookedMinutes(spans), QDate(year, month, day));
}

} // namespace rv
