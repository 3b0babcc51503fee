#pragma once

// Recurrence expansion of a calendar's events over a window of wall time: rules, extra dates,
// excluded dates and THISANDFUTURE changes, with the work on rules bounded for the calendar as a
// whole.

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

// Readies an event read whole for expansion (its extra dates in order).
void prepareEvent(Event& event);

// Appends the events' occurrences that touch [from, to] (wall minutes, both ends included).
//
// What the events' rules may cost is one allowance for the whole expansion, shared out evenly
// among the rules that still have starts in the window: a rule no date satisfies or one repeating
// every second gets its share and no more, and the others still give all their occurrences. A
// cut is logged under rotaview.calendar.
void expandEvents(const std::vector<Event>& events, qint64 from, qint64 to,
                  std::vector<Occurrence>& out);

} // namespace rv::ical
