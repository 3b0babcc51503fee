#pragma once

#include "calendar/day_query.h"

#include <QString>
#include <memory>
#include <vector>

namespace rv {

using DayItems = std::vector<std::unique_ptr<AppointmentItem>>;

// A day cell's and the details box's texts are cut like an item's (calendar/day_query.h).
constexpr qsizetype kMaxCellText = 1024;    // a day cell
constexpr qsizetype kMaxDetailsText = 8192; // the details box

// A day cell's text: the masked subjects of the day's items joined by ":".
QString dayDetailsText(const DayItems& items);

// One line of the details box, ended by a carriage return. Normal items show the day of month,
// times, subject and location; masked ones only times and the masked subject.
QString detailsLine(const AppointmentItem& item);

// The details box text for a day: one line per item; whole lines up to its length, then a line
// holding an ellipsis.
QString detailsText(const DayItems& items);

// What the details box of a day says: its lines, or "Free All Day" for a day without items.
QString detailsBoxText(const QString& details);

// What a day number in the header row says about its day: the weekday and the date,
// "Monday 01/03/2021".
QString dayNumberToolTip(int day, int month, int year);

} // namespace rv
