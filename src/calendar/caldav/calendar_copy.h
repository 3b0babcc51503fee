#pragma once

#include "calendar/ical/expanded_calendar.h"
#include "calendar/ical/restriction.h"

#include <QString>
#include <memory>
#include <optional>

namespace rv::caldav {

// A calendar as read from the server at one version, whole or for a span of time, with its
// expansions (see ExpandedCalendar).
class CalendarCopy {
public:
    // covered: the wall-minute span the text holds every event of; nothing for the whole
    // calendar.
    CalendarCopy(std::shared_ptr<const IcalCalendar> calendar, QString version,
                 std::optional<TimeWindow> covered);

    const QString& version() const { return version_; }
    bool covers(const std::optional<TimeWindow>& window) const;

    OccurrenceList occurrences(const std::optional<TimeWindow>& window) const {
        return expanded_->occurrences(window);
    }
    OccurrenceList events() const { return expanded_->events(); }

    // The whole months around a window: what a calendar query asks the server for at once.
    static TimeWindow monthsAround(const TimeWindow& window);

private:
    std::shared_ptr<ExpandedCalendar> expanded_;
    QString version_;
    std::optional<TimeWindow> covered_;
};

} // namespace rv::caldav
