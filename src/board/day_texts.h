#pragma once

#include "calendar/calendar_service.h"

#include <QString>
#include <memory>
#include <vector>

namespace rv {

using DayItems = std::vector<std::unique_ptr<AppointmentItem>>;

// A day cell's text: the masked subjects of the day's items joined by ":".
QString dayDetailsText(const DayItems& items);

// One line of the details box, ended by a carriage return. Normal items show the day of month,
// times, subject and location; masked ones only times and the masked subject.
QString detailsLine(const AppointmentItem& item);

// The details box text for a day: one line per item.
QString detailsText(const DayItems& items);

} // namespace rv
