#include "calendar/caldav/calendar_copy.h"

#include <QDate>

namespace rv::caldav {

namespace {

qint64 dayMinute(const QDate& day) {
    return wallMinute(QDateTime(day, QTime(0, 0)));
}

} // namespace

CalendarCopy::CalendarCopy(std::shared_ptr<const IcalCalendar> calendar, QString version,
                           std::optional<TimeWindow> covered)
    : expanded_(std::make_shared<ExpandedCalendar>(std::move(calendar))),
      version_(std::move(version)), covered_(covered) {}

TimeWindow CalendarCopy::monthsAround(const TimeWindow& window) {
    const QDate first = fromWallMinute(window.fromMinute).date();
    const QDate last = fromWallMinute(window.toMinute).date();
    const QDate begin(first.year(), first.month(), 1);
    const QDate end = QDate(last.year(), last.month(), 1).addMonths(1);
    return {dayMinute(begin), dayMinute(end) - 1};
}

bool CalendarCopy::covers(const std::optional<TimeWindow>& window) const {
    if (!covered_)
        return true;
    return window && window->fromMinute >= covered_->fromMinute &&
           window->toMinute <= covered_->toMinute;
}

} // namespace rv::caldav
