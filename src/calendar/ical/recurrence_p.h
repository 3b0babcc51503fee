#pragma once

// Recurrence expansion of one event over a window of wall time: rules, extra dates, excluded
// dates, with a cut on runaway series.

#include "calendar/ical/ical_event_p.h"

#include <optional>
#include <vector>

namespace rv::ical {

// Whether the occurrence starting at `start` (`local` in local time) is excluded by EXDATE or
// moved away by an override.
bool excluded(const Event& event, const EventTime& start, const QDateTime& local);

// The occurrence of the event starting at `start`, with its length (an extra date's own period
// where it has one); nothing when its times cannot be represented.
std::optional<Occurrence> occurrenceAt(const Event& event, const EventTime& start,
                                       const ExtraStart* extra);

// Appends the event's occurrences that touch [from, to] (wall minutes, both ends included).
void expandEvent(const Event& event, qint64 from, qint64 to, std::vector<Occurrence>& out);

} // namespace rv::ical
