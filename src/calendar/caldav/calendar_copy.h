#pragma once

#include "calendar/ical/expanded_calendar.h"
#include "calendar/ical/restriction.h"

#include <QString>
#include <memory>
#include <optional>

namespace rv::caldav {

// A whole calendar as read from the server at one version, with its expansions (see
// ExpandedCalendar). Always whole: recurring events are expanded here, never by the server.
class CalendarCopy {
public:
    CalendarCopy(std::shared_ptr<const IcalCalendar> calendar, QString version);

    // What the server called the calendar's state when it was read ("getctag=...",
    // "sync-token=...", "etag=..."); empty when it named none.
    const QString& version() const { return version_; }

    OccurrenceList occurrences(const std::optional<TimeWindow>& window) const {
        return expanded_->occurrences(window);
    }
    OccurrenceList events() const { return expanded_->events(); }

private:
    std::shared_ptr<ExpandedCalendar> expanded_;
    QString version_;
};

} // namespace rv::caldav
