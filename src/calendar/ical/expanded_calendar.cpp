#include "calendar/ical/expanded_calendar.h"

#include "calendar/ical/month_prefilter.h"

#include <QDate>

namespace rv {

namespace {

const QDate kEpochDay(1970, 1, 1);
constexpr qint64 kMinutesPerDay = 1440;
// What "every occurrence" means for a restriction that bounds no time.
const QDate kFirstDay(1900, 1, 1);
const QDate kLastDay(2100, 12, 31);

int monthIndexOf(qint64 wallMinute) {
    qint64 days = wallMinute / kMinutesPerDay;
    if (wallMinute % kMinutesPerDay < 0)
        --days;
    const QDate d = kEpochDay.addDays(days);
    return ExpandedCalendar::monthIndex(d.year(), d.month());
}

qint64 dayMinute(const QDate& day) {
    return kEpochDay.daysTo(day) * kMinutesPerDay;
}

} // namespace

ExpandedCalendar::ExpandedCalendar(std::shared_ptr<const IcalCalendar> calendar)
    : calendar_(std::move(calendar)) {}

ExpandedCalendar::ExpandedCalendar(Loader loader, MonthReader months)
    : loader_(std::move(loader)), monthReader_(std::move(months)) {}

TimeWindow ExpandedCalendar::windowOfMonth(int index) {
    return monthWindow(index / 12, index % 12 + 1);
}

std::shared_ptr<const IcalCalendar> ExpandedCalendar::parsed(const std::optional<TimeWindow>& w) {
    return calendar_ ? calendar_ : loader_(w);
}

OccurrenceList ExpandedCalendar::month(int index) {
    auto found = months_.find(index);
    if (found != months_.end())
        return found->second;
    const TimeWindow window = windowOfMonth(index);
    auto list = std::make_shared<const std::vector<Occurrence>>(
        monthReader_ ? monthReader_(index)
                     : parsed(window)->expand(window.fromMinute, window.toMinute));
    months_.emplace(index, list);
    return list;
}

void ExpandedCalendar::addMonth(int index, OccurrenceList occurrences) {
    if (occurrences)
        months_.emplace(index, std::move(occurrences));
}

OccurrenceList ExpandedCalendar::occurrences(const std::optional<TimeWindow>& window) {
    if (!window) {
        if (!everything_)
            everything_ = std::make_shared<const std::vector<Occurrence>>(
                parsed(std::nullopt)
                    ->expand(dayMinute(kFirstDay), dayMinute(kLastDay.addDays(1)) - 1));
        return everything_;
    }
    if (window->fromMinute > window->toMinute)
        return std::make_shared<const std::vector<Occurrence>>();
    const int first = monthIndexOf(window->fromMinute);
    if (first == monthIndexOf(window->toMinute))
        return month(first);
    // A window over several months is read for itself, from one parse: the order of occurrences
    // that start together is the order of their events in that parse.
    return std::make_shared<const std::vector<Occurrence>>(
        parsed(window)->expand(window->fromMinute, window->toMinute));
}

OccurrenceList ExpandedCalendar::events() {
    if (!events_)
        events_ = std::make_shared<const std::vector<Occurrence>>(parsed(std::nullopt)->events());
    return events_;
}

std::vector<Occurrence> expandTextWindow(const QByteArray& text, const TimeWindow& window) {
    return IcalCalendar::parse(textForWindow(text, window).text)
        ->expand(window.fromMinute, window.toMinute);
}

} // namespace rv
