#include "calendar_month_fuzz.h"

#include "days/day_occupancy.h"
#include "calendar/day_query.h"

#include <cstdlib>

namespace rv::fuzz {
namespace {

class SourceFolder : public CalendarFolder {
public:
    explicit SourceFolder(std::shared_ptr<OccurrenceSource> source) : source_(std::move(source)) {}
    std::unique_ptr<CalendarItems> Items() override {
        return std::make_unique<OccurrenceItems>(source_);
    }
    void Display() override {}

private:
    std::shared_ptr<OccurrenceSource> source_;
};

} // namespace

void queryMonth(const std::shared_ptr<OccurrenceSource>& source, int month, int year) {
    SourceFolder folder(source);
    const int days = QDate(year, month, 1).daysInMonth();
    for (int d = 1; d <= days; ++d) {
        const DayQueryResult result = query_day(folder, d, month, year);
        if (result.failure)
            std::abort(); // the day filter is ours: the service must always read it
        const QDate day(year, month, d);
        for (const auto& item : result.items) {
            // The filter's promise: every item found starts on the day or runs into it.
            const QDateTime start = item->Start();
            const QDateTime end = item->End();
            if (!start.isValid() || !end.isValid() || start.date() > day ||
                (start.date() < day && wallMinute(end) < wallMinute(QDateTime(day, QTime(0, 1)))))
                std::abort();
            mask_subject(*item);
            item->Location();
        }
        dayCategory(result.items, d, month, year);
    }
}

std::optional<QDate> firstEventMonth(OccurrenceSource& source) {
    const OccurrenceList events = source.events();
    if (!events || events->empty())
        return std::nullopt;
    const QDate first = events->front().start.date();
    if (!first.isValid() || first.year() < 1970 || first.year() > 2100)
        return std::nullopt;
    return QDate(first.year(), first.month(), 1);
}

} // namespace rv::fuzz
