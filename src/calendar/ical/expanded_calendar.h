#pragma once

#include "calendar/ical/ical_calendar.h"
#include "calendar/ical/occurrence_items.h"

#include <functional>
#include <map>
#include <memory>

namespace rv {

// One version of a parsed calendar with its expansions: each month is expanded once, when first
// asked for, and every window inside it is answered from that. A backend keeps one of these for
// as long as the calendar it was read from is unchanged, and starts a new one when it changes.
class ExpandedCalendar : public OccurrenceSource {
public:
    using Loader = std::function<std::shared_ptr<const IcalCalendar>()>;

    // Keeps the parsed calendar for every later expansion.
    explicit ExpandedCalendar(std::shared_ptr<const IcalCalendar> calendar);
    // Parses the calendar again through the loader whenever a month not yet expanded is asked
    // for, and lets it go afterwards: a parsed calendar takes a hundred times the memory of the
    // month a board shows from it, and a board of many people would otherwise hold them all.
    explicit ExpandedCalendar(Loader loader);

    OccurrenceList occurrences(const std::optional<TimeWindow>& window) override;
    OccurrenceList events() override;

    // How many months have been expanded so far.
    int expandedMonths() const { return int(months_.size()); }

private:
    OccurrenceList month(int index);
    std::shared_ptr<const IcalCalendar> parsed();

    std::shared_ptr<const IcalCalendar> calendar_;
    Loader loader_;
    std::map<int, OccurrenceList> months_;
    OccurrenceList events_;
    OccurrenceList everything_;
};

} // namespace rv
