#pragma once

#include "calendar/calendar_service.h"
#include "calendar/ical/occurrence.h"
#include "calendar/ical/restriction.h"

#include <memory>
#include <optional>
#include <vector>

namespace rv {

using OccurrenceList = std::shared_ptr<const std::vector<Occurrence>>;

// Where a folder's items come from: the calendar as it stands when asked.
class OccurrenceSource {
public:
    virtual ~OccurrenceSource() = default;
    // Every occurrence touching the window (every occurrence at all without one), in start
    // order. May fail with a CalendarError.
    virtual OccurrenceList occurrences(const std::optional<TimeWindow>& window) = 0;
    // One item per event, a recurring series as its first occurrence, in start order.
    virtual OccurrenceList events() = 0;
};

// One appointment or occurrence handed out by Find/FindNext.
class OccurrenceItem : public AppointmentItem {
public:
    explicit OccurrenceItem(Occurrence occurrence) : occurrence_(std::move(occurrence)) {}
    QDateTime Start() const override { return occurrence_.start; }
    QDateTime End() const override { return occurrence_.end; }
    QString Subject() const override { return occurrence_.subject; }
    int Sensitivity() const override { return occurrence_.sensitivity; }
    QString Location() const override { return occurrence_.location; }

private:
    Occurrence occurrence_;
};

// A folder's item collection over any backend's occurrences: Find reads the restriction, takes
// the occurrences of the window it bounds (each occurrence an item of its own when recurrences
// are included, else one item per series) and hands the matches out in start order.
class OccurrenceItems : public CalendarItems {
public:
    explicit OccurrenceItems(std::shared_ptr<OccurrenceSource> source)
        : source_(std::move(source)) {}

    void SetIncludeRecurrences(bool include) override { includeRecurrences_ = include; }
    std::unique_ptr<AppointmentItem> Find(const QString& filter) override;
    std::unique_ptr<AppointmentItem> FindNext() override;
    // A calendar holds no mail.
    std::unique_ptr<MailItem> Add(const QString& messageClass) override;

private:
    std::shared_ptr<OccurrenceSource> source_;
    bool includeRecurrences_ = false;
    std::vector<Occurrence> found_;
    size_t next_ = 0;
};

} // namespace rv
