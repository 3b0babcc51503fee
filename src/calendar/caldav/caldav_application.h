#pragma once

#include "calendar/calendar_service.h"
#include "calendar/service_profile.h"

#include <memory>

namespace rv {

// The calendar service on a CalDAV server: people are principals, a person's calendar is the
// calendar of their calendar home the server marks default, else the one the profile's
// Calendar= names, else the first that is not a birthday calendar (see chooseCalendar).
// Nothing is asked of the server until the first call that needs it; a password only when the
// server asks for one, from ~/.netrc or once per run in a password box.
std::unique_ptr<CalendarApplication> openCalDavApplication(const ServiceProfile& profile,
                                                           const CalendarServiceContext& context);

namespace caldav {
class CalDavSession;
// The session behind an application opened above (for measuring its requests), or null.
CalDavSession* sessionOf(CalendarApplication& application);
} // namespace caldav

} // namespace rv
