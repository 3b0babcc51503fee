#pragma once

#include "calendar/ical/occurrence.h"

#include <QString>
#include <memory>
#include <optional>

namespace rv {

// The wall-minute window [fromMinute, toMinute] (both ends included) that an item must touch to
// match a restriction.
struct TimeWindow {
    qint64 fromMinute = 0;
    qint64 toMinute = 0;
};

// The restriction language of Find:
//   [Field] op 'value'   with op one of = <> < <= > >=
//   a and b, a or b, not a, parentheses; not binds tighter than and, and tighter than or.
// Fields (case ignored): Start, End, Subject, Location, Sensitivity. Date-times are written day
// first, "dd/mm/yyyy hh:mm AM" (also without AM/PM as a 24-hour time, or a date alone for
// 00:00), and compared to the minute; texts are compared ignoring case; Sensitivity is a number.
class Restriction {
public:
    // Throws CalendarError(BadFilter) for text it cannot read.
    static Restriction parse(const QString& text);

    bool matches(const Occurrence& item) const;

    // The window every matching item touches, when the restriction bounds the item's times on
    // both sides; otherwise nothing, and a backend has to look at every item.
    std::optional<TimeWindow> window() const;

    struct Node;

private:
    explicit Restriction(std::shared_ptr<const Node> root) : root_(std::move(root)) {}
    std::shared_ptr<const Node> root_;
};

// The wall minute a restriction date-time text names ("05/03/1998 12:01 AM"), or nothing when
// the text is not one.
std::optional<qint64> parseRestrictionDateTime(const QString& text);

} // namespace rv
