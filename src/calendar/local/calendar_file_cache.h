#pragma once

#include "calendar/ical/expanded_calendar.h"
#include "calendar/local/file_stamp.h"
#include "platform/regular_file.h"

#include <QString>
#include <map>
#include <memory>

namespace rv {

// Far more than years of a busy person's appointments (5,000 events take about 1 MB); a file
// larger than this is not read.
constexpr qint64 kMaxCalendarFileBytes = qint64(64) << 20;

// The calendar file at path opened for reading, without ever waiting on what is there. Fails as
// CalendarFileCache::current says.
RegularFile openCalendarFile(const QString& path);

// Calendar files as parsed, kept for as long as the file keeps its stamp (file_stamp.h):
// an unchanged calendar is parsed once however many boards are built, and a changed or removed
// one is seen at the next question.
class CalendarFileCache {
public:
    // The calendar the file holds now. Fails with CalendarDenied when it is gone, unreadable or
    // not a regular file (a FIFO, a device, a folder: never waited on), and with ServerError,
    // naming the file, when it is larger than kMaxCalendarFileBytes.
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
