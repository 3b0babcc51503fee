#pragma once

#include "calendar/calendar_service.h"
#include "calendar/service_profile.h"

#include <memory>

namespace rv {

class Desktop;

// The embedded calendar service: a folder a team can keep on a shared drive.
//   people.vcf              the address book, one vCard per person (UID = user name, FN, EMAIL)
//   calendars/<user>.ics    the person's calendar
//   calendars/<user>.readers who else may read it (absent: everyone)
// The profile names the folder and the connected user. A missing folder or address book is not
// an error: every calendar is then missing, or nobody resolves.
std::unique_ptr<CalendarApplication> openLocalStore(const ServiceProfile& profile,
                                                    Desktop& desktop);

} // namespace rv
