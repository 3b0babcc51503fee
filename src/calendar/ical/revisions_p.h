#pragma once

// Which component of an event counts. A calendar may hold several revisions of one event (an
// updated invitation beside the first, the same file imported twice, a server that kept both)
// and several versions of one moved occurrence: only the newest of each is the event.

#include <libical/ical.h>

#include <QString>
#include <functional>
#include <vector>

namespace rv::ical {

// A VEVENT with the VCALENDAR its zones are looked up in (none for a bare VEVENT), and its place
// in the text.
struct Component {
    icalcomponent* vevent = nullptr;
    icalcomponent* vcalendar = nullptr;
    int position = 0;
};

// The components grouped by the key they give (the same UID; the same UID and RECURRENCE-ID),
// each group newest first: the higher SEQUENCE, then the later of DTSTAMP and LAST-MODIFIED,
// then the later in the text. A component with an empty key is a group of its own. Groups come in
// the text order of their newest component.
std::vector<std::vector<Component>>
newestFirstByKey(const std::vector<Component>& components,
                 const std::function<QString(const Component&)>& keyOf);

} // namespace rv::ical
