#pragma once

#include "calendar/ical/expanded_calendar.h"
#include "calendar/local/file_stamp.h"

#include <QString>
#include <map>
#include <memory>

namespace rv {

// Calendar files as parsed, kept for as long as the file keeps its stamp (file_stamp.h):
// an unchanged calendar is parsed once however many boards are built, and a changed or removed
// one is seen at the next question.
class CalendarFileCache {
public:
    // The calendar the file holds now. Fails with CalendarDenied when it is gone, and with
    // ServerError, naming the file, when what is there cannot be taken: not a regular file (a
    // FIFO, a device, a folder), larger than a calendar file can be, or unreadable.
    std::shared_ptr<ExpandedCalendar> current(const QString& path);
    // How many times a file was read and parsed (for the benchmark and tests).
    int parseCount() const { return parses_; }

private:
    std::shared_ptr<const IcalCalendar> readCalendar(const QString& path);

    struct Entry {
        FileStamp stamp;
        std::shared_ptr<ExpandedCalendar> calendar;
    };
    std::map<QString, Entry> entries_;
    int parses_ = 0;
};

// An item source over one calendar file of the cache, revalidated at every question.
class CalendarFileSource : public OccurrenceSource {
public:
    CalendarFileSource(std::shared_ptr<CalendarFileCache> cache, QString path)
        : cache_(std::move(cache)), path_(std::move(path)) {}
    OccurrenceList occurrences(const std::optional<TimeWindow>& window) override {
        return cache_->current(path_)->occurrences(window);
    }
    OccurrenceList events() override { return cache_->current(path_)->events(); }

private:
    std::shared_ptr<CalendarFileCache> cache_;
    QString path_;
};

} // namespace rv
