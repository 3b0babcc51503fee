#pragma once

#include "calendar/calendar_service.h"

namespace rv {

class Desktop;

// The connected user's inbox as far as this program uses it: a place to create a mail item,
// which Display hands to the user's mail composer as a mailto: URL. Nothing is ever sent.
std::shared_ptr<CalendarFolder> makeMailFolder(Desktop& desktop);

} // namespace rv
