#pragma once

#include "calendar/calendar_service.h"

#include <QString>
#include <memory>
#include <optional>
#include <vector>

namespace rv {

// The day text "dd/mm/yyyy", day first.
QString dayText(int day, int month, int year);

// The restriction that selects every item starting within the day, and every item running into
// the day from an earlier one.
QString build_day_filter(int day, int month, int year);

// Texts from calendars are cut to what a cell, a box or a printout can show, with an ellipsis
// where they were cut: a subject of megabytes would otherwise take minutes to lay out and paint.
constexpr qsizetype kMaxItemText = 256; // a subject, a location or a person's name

// text, or its start and an ellipsis ending at maxLength characters.
QString elided(const QString& text, qsizetype maxLength);

// The text shown in place of an item's subject: personal, private and confidential items are
// masked, every other sensitivity shows the subject.
QString mask_subject(const AppointmentItem& item);
QString mask_subject(int sensitivity, const QString& subject);

struct DayQueryResult {
    // The items found, in the order the service yields them.
    std::vector<std::unique_ptr<AppointmentItem>> items;
    // The error of a failing step (a failed Find finds nothing; a failed FindNext ends the walk
    // and keeps what was found before it).
    std::optional<CalendarError> failure;
};

// One day's appointments of one calendar folder: a fresh item collection, recurrences included,
// Find with the day filter, then FindNext until nothing more is found.
DayQueryResult query_day(CalendarFolder& folder, int day, int month, int year);

} // namespace rv
