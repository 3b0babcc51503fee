#pragma once

#include "calendar/ical/ical_calendar.h"
#include "calendar/ical/occurrence_items.h"

#include <QByteArray>
#include <functional>
#include <map>
#include <memory>

namespace rv {

// One version of a parsed calendar with its expansions: each month is expanded once, when first
// asked for, and every window inside it is answered from that. A backend keeps one of these for
// as long as the calendar it was read from is unchanged, and starts a new one when it changes.
// Months are counted as year * 12 + month - 1.
class ExpandedCalendar : public OccurrenceSource {
public:
    // The calendar as parsed for the window (every event without one): a loader may leave out
    // what cannot touch the window (month_prefilter.h). May fail with a CalendarError.
    using Loader =
        std::function<std::shared_ptr<const IcalCalendar>(const std::optional<TimeWindow>&)>;
    // A month's occurrences, from wherever the backend keeps them. May fail with a CalendarError.
    using MonthReader = std::function<std::vector<Occurrence>(int monthIndex)>;

    // Keeps the parsed calendar for every later expansion.
    explicit ExpandedCalendar(std::shared_ptr<const IcalCalendar> calendar);
    // Parses the calendar again through the loader whenever a month not yet expanded is asked
    // for, and lets it go afterwards: a parsed calendar takes a hundred times the memory of the
    // month a board shows from it, and a board of many people would otherwise hold them all.
    // Months come from `months` where it is given.
    explicit ExpandedCalendar(Loader loader, MonthReader months = {});

    OccurrenceList occurrences(const std::optional<TimeWindow>& window) override;
    OccurrenceList events() override;

    // A month expanded elsewhere (ahead of the question, on another thread), kept as if it had
    // been expanded here; a month already expanded stays as it is.
    void addMonth(int index, OccurrenceList occurrences);
    bool hasMonth(int index) const { return months_.count(index) > 0; }
    // How many months have been expanded so far.
    int expandedMonths() const { return int(months_.size()); }

    static int monthIndex(int year, int month) { return year * 12 + month - 1; }
    static TimeWindow windowOfMonth(int index);

private:
    OccurrenceList month(int index);
    std::shared_ptr<const IcalCalendar> parsed(const std::optional<TimeWindow>& window);

    std::shared_ptr<const IcalCalendar> calendar_;
    Loader loader_;
    MonthReader monthReader_;
    std::map<int, OccurrenceList> months_;
    OccurrenceList events_;
    OccurrenceList everything_;
};

// The occurrences of iCalendar text that touch the window, read as an ExpandedCalendar reads them
// (the events that cannot touch it left out before the parse). Safe to call on any thread.
std::vector<Occurrence> expandTextWindow(const QByteArray& text, const TimeWindow& window);

} // namespace rv
