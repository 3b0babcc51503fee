#pragma once

// One VEVENT as the engine keeps it: its first start, length, recurrence and what it shows.

#include "calendar/ical/ical_time_p.h"
#include "calendar/ical/occurrence.h"

#include <set>
#include <vector>

namespace rv::ical {

struct Exclusion {
    bool isDate = false;
    QDate date;      // the excluded day as written
    qint64 secs = 0; // the excluded instant, for date-times
};

// The occurrences a series leaves out (EXDATE) or has moved away (RECURRENCE-ID), kept sorted:
// a series may name thousands.
class Exclusions {
public:
    void add(const Exclusion& e);
    bool empty() const { return days_.empty(); }
    // Whether the occurrence on `day` (days from 1970-01-01 on its own wall clock), starting at
    // the instant `secs` unless it is all-day, is left out.
    bool contains(bool allDay, qint64 day, qint64 secs) const;

private:
    std::set<qint64> days_;      // the day of every exclusion
    std::set<qint64> wholeDays_; // exclusions written as dates
    std::set<qint64> instants_;  // exclusions written as date-times
};

struct ExtraStart {
    EventTime start;
    std::optional<EventTime> end; // RDATE given as a period
    std::optional<qint64> durationSecs;
};

// An override with RANGE=THISANDFUTURE as it acts on the rest of its series: every occurrence
// from its RECURRENCE-ID on moves by the override's offset and takes its length and what it shows
// (or is gone, for a cancelled one), until a later such override takes over.
struct FutureChange {
    Exclusion from;       // the RECURRENCE-ID
    int shiftDays = 0;    // all-day series
    qint64 shiftSecs = 0; // timed series, on the series' own wall clock
    int durationDays = 1;
    qint64 durationSecs = 0;
    Occurrence data;
    bool cancelled = false;
};

struct Event {
    Occurrence data; // subject, location, sensitivity, event index, recurring
    EventTime start;
    int durationDays = 1;    // all-day events
    qint64 durationSecs = 0; // timed events; negative when the end lies before the start
    std::vector<icalrecurrencetype> rules;
    std::vector<ExtraStart> extras; // in the order of their own wall clock, once prepared
    qint64 extrasReach = 0;         // how long the longest extra date given as a period lasts
    Exclusions exclusions;
    std::vector<FutureChange> futureChanges; // in RECURRENCE-ID order
    bool changesAtInstantsOnly = true;       // none of them names a whole day
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
// Whether the event's RECURRENCE-ID carries RANGE=THISANDFUTURE.
bool isThisAndFuture(icalcomponent* event);

// Start, length, subject, location and sensitivity; false when the event has no usable start.
bool readEvent(icalcomponent* vevent, icalcomponent* vcalendar, Event& event);

// RRULEs, RDATEs (also as periods or dates) and EXDATEs of a series.
void readRecurrence(icalcomponent* vevent, icalcomponent* vcalendar, Event& event);

} // namespace rv::ical
