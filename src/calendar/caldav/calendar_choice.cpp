#include "calendar/caldav/calendar_choice.h"

#include "calendar/caldav/dav_xml.h"

#include <algorithm>

namespace rv::caldav {

namespace {

bool looksLikeBirthdays(const CalendarRef& c) {
    const QLatin1String birthday("birthday");
    return c.displayName.contains(birthday, Qt::CaseInsensitive) ||
           lastSegment(c.path).contains(birthday, Qt::CaseInsensitive);
}

bool named(const CalendarRef& c, const QString& wanted) {
    return samePath(c.path, wanted) || lastSegment(c.path) == wanted ||
           (!c.displayName.isEmpty() && c.displayName.compare(wanted, Qt::CaseInsensitive) == 0);
}

// Servers list a folder's members in no particular order: the same choice every time.
bool before(const CalendarRef& a, const CalendarRef& b) {
    if (a.order.has_value() != b.order.has_value())
        return a.order.has_value();
    if (a.order && *a.order != *b.order)
        return *a.order < *b.order;
    return a.path < b.path;
}

} // namespace

std::optional<CalendarRef> chooseCalendar(const std::vector<CalendarRef>& calendars,
                                          const QString& defaultMark, const QString& wanted) {
    if (calendars.empty())
        return std::nullopt;
    std::vector<CalendarRef> sorted = calendars;
    std::sort(sorted.begin(), sorted.end(), before);
    if (!defaultMark.isEmpty())
        for (const CalendarRef& c : sorted)
            if (samePath(c.path, defaultMark))
                return c;
    const QString name = wanted.trimmed();
    if (!name.isEmpty())
        for (const CalendarRef& c : sorted)
            if (named(c, name))
                return c;
    for (const CalendarRef& c : sorted)
        if (!looksLikeBirthdays(c))
            return c;
    return sorted.front();
}

} // namespace rv::caldav
