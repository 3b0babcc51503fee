#pragma once

// Reading only what a month needs. A calendar of two years holds about twenty times the events
// one month touches, and the full iCalendar parse of the rest is most of what a board's first
// build costs: the events that cannot touch the window are taken out of the text before it is
// parsed.
//
// Taken out is only a single event whose start and end, widened by three days and by the largest
// UTC offset the text's own time zones name (so that no zone, floating time or clock change can
// bring it in), lie before or after the window, and whose UID no other event of the text has.
// Series (RRULE, RDATE, EXRULE), moved occurrences (RECURRENCE-ID), revisions of one event, time
// zones and everything else stay as written, so that reading the result gives the window exactly
// the occurrences reading the whole text gives it. Text whose structure is not plain (a component
// left open or closed under another name, BEGIN or END lines written unusually, NUL bytes, events
// outside a VCALENDAR) comes back whole, as does any event with a property this reader cannot
// vouch for.

#include "calendar/ical/restriction.h"

#include <QByteArray>

namespace rv {

struct PrefilteredText {
    QByteArray text;
    int eventsLeftOut = 0;
};

// The text without the events that cannot touch the window of wall minutes (both ends included).
PrefilteredText textForWindow(const QByteArray& text, const TimeWindow& window);

// The window of a month: from its first minute to its last.
TimeWindow monthWindow(int year, int month);

} // namespace rv
