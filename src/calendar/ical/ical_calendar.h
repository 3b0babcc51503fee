#pragma once

#include "calendar/ical/occurrence.h"

#include <QByteArray>
#include <memory>
#include <vector>

namespace rv {

// A calendar read from iCalendar text once, from which any window of local time can be expanded
// into occurrences: recurrence rules, extra dates (RDATE, also as periods or dates), excluded
// dates, moved and cancelled occurrences (RECURRENCE-ID overrides), all-day dates as local days,
// floating times as local wall time and zoned times (VTIMEZONE, or the system's zone database)
// converted to the machine's local time.
//
// Malformed text never fails: the events that can be read are kept, the rest is skipped.
class IcalCalendar {
public:
    static std::shared_ptr<const IcalCalendar> parse(const QByteArray& text);
    ~IcalCalendar();
    IcalCalendar(const IcalCalendar&) = delete;
    IcalCalendar& operator=(const IcalCalendar&) = delete;

    // The occurrences that touch the window [fromMinute, toMinute] of wall minutes, both ends
    // included: those starting at or before toMinute and ending at or after fromMinute. In start
    // order; occurrences starting together keep the order of their events in the file.
    std::vector<Occurrence> expand(qint64 fromMinute, qint64 toMinute) const;

    // One item per event, a recurring series as its first occurrence (moved occurrences belong
    // to their series; an override whose series is missing stands for itself).
    std::vector<Occurrence> events() const;

    // Events read, and components left out because they could not be read.
    int eventCount() const;
    int skippedCount() const;

private:
    struct Impl;
    explicit IcalCalendar(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

} // namespace rv
