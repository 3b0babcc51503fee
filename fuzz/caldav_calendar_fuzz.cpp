// A CalDAV server's answer to a month's calendar query: the multistatus body, the calendar data
// of its resources read as one calendar (as the CalDAV backend does) and a month of day filters
// answered from the kept copy.

#include "calendar_month_fuzz.h"
#include "fuzz_target.h"
#include "calendar/caldav/calendar_copy.h"
#include "calendar/caldav/dav_xml.h"

using namespace rv::caldav;

namespace {

// The kept copy as the backend's item source.
class CopySource : public rv::OccurrenceSource {
public:
    explicit CopySource(std::shared_ptr<const CalendarCopy> copy) : copy_(std::move(copy)) {}
    rv::OccurrenceList occurrences(const std::optional<rv::TimeWindow>& window) override {
        return copy_->occurrences(window);
    }
    rv::OccurrenceList events() override { return copy_->events(); }

private:
    std::shared_ptr<const CalendarCopy> copy_;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    rv::fuzz::useFixedTimeZone();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const QUrl request(QStringLiteral("http://127.0.0.1:5232/bob/calendar/"));
    QByteArray text;
    try {
        for (const DavResource& r : parseMultistatus(rv::fuzz::bytesOf(data, size), request)) {
            const QString calendarData = r.props.value(prop::kCalendarData).text;
            if (!calendarData.isEmpty())
                text += calendarData.toUtf8() + "\r\n";
        }
    } catch (const rv::CalendarError&) {
        return 0;
    }
    const QDate month(2024, 3, 1);
    const rv::TimeWindow span = CalendarCopy::monthsAround(
        {rv::wallMinute(month.startOfDay()), rv::wallMinute(month.addMonths(1).startOfDay()) - 1});
    auto copy = std::make_shared<const CalendarCopy>(rv::IcalCalendar::parse(text),
                                                     QStringLiteral("getctag=1"), span);
    rv::fuzz::queryMonth(std::make_shared<CopySource>(copy), month.month(), month.year());
    return 0;
}
