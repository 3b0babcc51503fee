#pragma once

#include "calendar/calendar_service.h"
#include "calendar/service_profile.h"

#include <memory>

namespace rv {

// The calendar service on a CalDAV server: people are principals, a person's calendar is the
// default calendar in their calendar home. Nothing is asked of the server until the first call
// that needs it; the password comes from ~/.netrc or is asked once per run.
std::unique_ptr<CalendarApplication> openCalDavApplication(const ServiceProfile& profile,
                                                           const CalendarServiceContext& context);

namespace caldav {
class CalDavSession;
// The session behind an application opened above (for measuring its requests), or null.
CalDavSession* sessionOf(CalendarApplication& application);
} // namespace caldav

} // namespace rv
