#include "calendar/caldav/calendar_copy.h"

namespace rv::caldav {

CalendarCopy::CalendarCopy(std::shared_ptr<const IcalCalendar> calendar, QString version)
    : expanded_(std::make_shared<ExpandedCalendar>(std::move(calendar))),
      version_(std::move(version)) {}

} // namespace rv::caldav
