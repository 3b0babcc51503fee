#pragma once

#include "calendar/calendar_service.h"
#include "calendar/service_profile.h"

#include <memory>

namespace rv {

// Opens the backend the profile names. Throws CalendarError when no service can be opened
// (unknown backend, a store or server that cannot be reached).
std::unique_ptr<CalendarApplication> openCalendarApplication(const ServiceProfile& profile,
                                                             const CalendarServiceContext& context);

// A namespace whose every call fails with NotConnected: what the program keeps when no calendar
// service could be opened, so that every later calendar call fails the ordinary way.
std::shared_ptr<CalendarNamespace> unavailableNamespace(const QString& reason);

} // namespace rv
