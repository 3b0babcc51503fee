#include "calendar/ical/expanded_calendar.h"

#include <QDate>
#include <algorithm>

namespace rv {

namespace {

const QDate kEpochDay(1970, 1, 1);
constexpr qint64 kMinutesPerDay = 1440;
// Windows longer than this are expanded directly rather than month by month.
constexpr int kMaxCachedMonths = 24;
// What "every occurrence" means for a restriction that bounds no time.
const QDate kFirstDay(1900, 1, 1);
const QDate kLastDay(2100, 12, 31);

int monthIndex(qint64 wallMinute) {
    qint64 days = wallMinute / kMinutesPerDay;
    if (wallMinute % kMinutesPerDay < 0)
        --days;
    const QDate d = kEpochDay.addDays(days);
    return d.year() * 12 + d.month() - 1;
}

QDate firstDay(int index) {
    return QDate(index / 12, index % 12 + 1, 1);
}

qint64 dayMinute(const QDate& day) {
    return kEpochDay.daysTo(day) * kMinutesPerDay;
}

bool byStart(const Occurrence& a, const Occurrence& b) {
    return a.startMinute != b.startMinute ? a.startMinute < b.startMinute : a.event < b.event;
}

} // namespace

ExpandedCalendar::ExpandedCalendar(std::shared_ptr<const IcalCalendar> calendar)
    : calendar_(std::move(calendar)) {}

ExpandedCalendar::ExpandedCalendar(Loader loader) : loader_(std::move(loader)) {}

std::shared_ptr<const IcalCalendar> ExpandedCalendar::parsed() {
    return calendar_ ? calendar_ : loader_();
}

OccurrenceList ExpandedCalendar::month(int index) {
    auto found = months_.find(index);
    if (found != months_.end())
        return found->second;
    const QDate first = firstDay(index);
    auto list = std::make_shared<const std::vector<Occurrence>>(
        parsed()->expand(dayMinute(first), dayMinute(first.addMonths(1)) - 1));
    months_.emplace(index, list);
    return list;
}

OccurrenceList ExpandedCalendar::occurrences(const std::optional<TimeWindow>& window) {
    if (!window) {
        if (!everything_)
            everything_ = std::make_shared<const std::vector<Occurrence>>(
                parsed()->expand(dayMinute(kFirstDay), dayMinute(kLastDay.addDays(1)) - 1));
        return everything_;
    }
    if (window->fromMinute > window->toMinute)
        return std::make_shared<const std::vector<Occurrence>>();
    const int first = monthIndex(window->fromMinute);
    const int last = monthIndex(window->toMinute);
    if (first == last)
        return month(first);
    if (last - first >= kMaxCachedMonths)
        return std::make_shared<const std::vector<Occurrence>>(
            parsed()->expand(window->fromMinute, window->toMinute));
    // An occurrence running over a month's end is in both months: keep it once.
    std::vector<Occurrence> merged;
    for (int m = first; m <= last; ++m) {
        const OccurrenceList part = month(m);
        for (const Occurrence& o : *part) {
            const bool seenBefore =
                m > first && std::min(o.startMinute, o.endMinute) < dayMinute(firstDay(m));
            if (!seenBefore)
                merged.push_back(o);
        }
    }
    std::stable_sort(merged.begin(), merged.end(), byStart);
    return std::make_shared<const std::vector<Occurrence>>(std::move(merged));
}

OccurrenceList ExpandedCalendar::events() {
    if (!events_)
        events_ = std::make_shared<const std::vector<Occurrence>>(parsed()->events());
    return events_;
}

} // namespace rv
