#include "calendar/caldav/calendar_copy.h"

#include "calendar/ical/month_prefilter.h"

namespace rv::caldav {

CalendarCopy::CalendarCopy(QByteArray text, QString version)
    : text_(std::move(text)), version_(std::move(version)) {
    // The loader holds the text, not the copy: the copy holds the loader.
    expanded_ =
        std::make_shared<ExpandedCalendar>([text = text_](const std::optional<TimeWindow>& window) {
            return IcalCalendar::parse(window ? textForWindow(text, *window).text : text);
        });
}

} // namespace rv::caldav
