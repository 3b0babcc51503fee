#pragma once

// What of each unfolded line of iCalendar text reaches libical's parser, checked before the
// parser sees it:
// - components nested deeper than kMaxNesting are left out, with everything inside them: libical
//   copies and frees nested components recursively, and a file of 300,000 nested BEGIN lines
//   overflowed the stack;
// - a COUNT too large for libical's integer (which then drops the whole RRULE, and the series
//   shrank to its first occurrence) is left out of its rule: a series without an end within
//   reach.

namespace rv::ical {

class LineGuard {
public:
    // Far more than any calendar needs (VCALENDAR, VEVENT, VALARM are three).
    static constexpr int kMaxNesting = 16;

    // Whether the line goes to the parser; the line may be shortened in place.
    bool admit(char* line);

    // Components left out for their depth, and counts left out.
    int droppedComponents() const { return droppedComponents_; }
    int droppedCounts() const { return droppedCounts_; }

private:
    int depth_ = 0;
    int skipping_ = 0; // levels open inside a component being left out
    int droppedComponents_ = 0;
    int droppedCounts_ = 0;
};

} // namespace rv::ical
