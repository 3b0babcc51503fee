#pragma once

#include "platform/calendar/ical_calendar.h"
#include "platform/calendar/occurrence_items.h"

#include <map>
#include <memory>

namespace rv {

// One version of a parsed calendar with its expansions: each month is expanded once, when first
// asked for, and every window inside it is answered from that. A backend keeps one of these for
// as long as the calendar it was read from is unchanged, and starts a new one when it changes.
class ExpandedCalendar : public OccurrenceSource {
public:
    explicit ExpandedCalendar(std::shared_ptr<const IcalCalendar> calendar);

    OccurrenceList occurrences(const std::optional<TimeWindow>& window) override;
    OccurrenceList events() override;

    const IcalCalendar& calendar() const { return *calendar_; }
    // How many months have been expanded so far.
    int expandedMonths() const { return int(months_.size()); }

private:
    OccurrenceList month(int index);

    std::shared_ptr<const IcalCalendar> calendar_;
    std::map<int, OccurrenceList> months_;
    OccurrenceList events_;
    OccurrenceList everything_;
};

} // namespace rv
