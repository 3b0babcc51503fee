#pragma once

// One VEVENT as the engine keeps it: its first start, length, recurrence and what it shows.

#include "calendar/ical/ical_time_p.h"
#include "calendar/ical/occurrence.h"

#include <vector>

namespace rv::ical {

struct Exclusion {
    bool isDate = false;
    QDate date;      // the excluded day as written
    qint64 secs = 0; // the excluded instant, for date-times
};

struct ExtraStart {
    EventTime start;
    std::optional<EventTime> end; // RDATE given as a period
    std::optional<qint64> durationSecs;
};

struct Event {
    Occurrence data; // subject, location, sensitivity, event index, recurring
    EventTime start;
    int durationDays = 1;    // all-day events
    qint64 durationSecs = 0; // timed events; negative when the end lies before the start
    std::vector<icalrecurrencetype> rules;
    std::vector<ExtraStart> extras;
    std::vector<Exclusion> exclusions;
    int master = -1; // for an override: the series it moves an occurrence of
    Occurrence first;
    bool firstExcluded = false;
};

// EXDATE or RECURRENCE-ID as a day (for dates) or an instant (for date-times).
Exclusion exclusionOf(const EventTime& et);

// 0 normal, 1 personal (category "Personal" or X-ROTAVIEW-PERSONAL), 2 private, 3 confidential.
int sensitivityOf(icalcomponent* event);

QString textOf(const char* text);
bool isCancelled(icalcomponent* event);
QString uidOf(icalcomponent* event);

// Start, length, subject, location and sensitivity; false when the event has no usable start.
bool readEvent(icalcomponent* vevent, icalcomponent* vcalendar, Event& event);

// RRULEs, RDATEs (also as periods or dates) and EXDATEs of a series.
void readRecurrence(icalcomponent* vevent, icalcomponent* vcalendar, Event& event);

} // namespace rv::ical
