#pragma once

#include "calendar/ical/expanded_calendar.h"
#include "calendar/ical/restriction.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>

namespace rv::caldav {

// A whole calendar as read from the server at one version, with its expansions (see
// ExpandedCalendar): its iCalendar text is kept, and each month is parsed with only the events
// that can touch it (month_prefilter.h). Always whole: recurring events are expanded here, never
// by the server.
class CalendarCopy {
public:
    CalendarCopy(QByteArray text, QString version);

    // What the server called the calendar's state when it was read ("getctag=...",
    // "sync-token=...", "etag=..."); empty when it named none.
    const QString& version() const { return version_; }
    const QByteArray& text() const { return text_; }

    OccurrenceList occurrences(const std::optional<TimeWindow>& window) const {
        return expanded_->occurrences(window);
    }
    OccurrenceList events() const { return expanded_->events(); }

    // A month expanded ahead, elsewhere (see ExpandedCalendar::addMonth).
    bool hasMonth(int index) const { return expanded_->hasMonth(index); }
    void addMonth(int index, OccurrenceList occurrences) const {
        expanded_->addMonth(index, std::move(occurrences));
    }

private:
    QByteArray text_;
    std::shared_ptr<ExpandedCalendar> expanded_;
    QString version_;
};

} // namespace rv::caldav
