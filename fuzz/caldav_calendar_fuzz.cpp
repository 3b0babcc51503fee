// A CalDAV server's answer to a calendar query: the multistatus body, the calendar data
// of its resources read as one calendar (as the CalDAV backend does) and a month of day filters
// answered from the kept copy.

#include "calendar/caldav/calendar_copy.h"
#include "calendar/caldav/dav_xml.h"
#include "calendar_month_fuzz.h"
#include "fuzz_target.h"

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
        text = calendarDataOf(parseMultistatus(rv::fuzz::bytesOf(data, size), request));
    } catch (const rv::CalendarError&) {
        return 0;
    }
    const QDate month(2024, 3, 1);
    auto copy = std::make_shared<const CalendarCopy>(text, QStringLiteral("getctag=1"));
    rv::fuzz::queryMonth(std::make_shared<CopySource>(copy), month.month(), month.year());
    return 0;
}
