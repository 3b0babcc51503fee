#pragma once

#include "calendar/ahead_jobs.h"
#include "calendar/ical/expanded_calendar.h"
#include "calendar/local/file_stamp.h"
#include "calendar/local/month_cache.h"
#include "platform/regular_file.h"

#include <QString>
#include <QStringList>
#include <atomic>
#include <map>
#include <memory>

namespace rv {

// Far more than years of a busy person's appointments (5,000 events take about 1 MB); a file
// larger than this is not read.
constexpr qint64 kMaxCalendarFileBytes = qint64(64) << 20;

// The calendar file at path opened for reading, without ever waiting on what is there. Fails as
// CalendarFileCache::current says.
RegularFile openCalendarFile(const QString& path);

// Calendar files as read, kept for as long as the file keeps its stamp (file_stamp.h): an
// unchanged calendar is read once however many boards are built, and a changed or removed one is
// seen at the next question. A month is read from the file with only the events that can touch
// it parsed (month_prefilter.h), or taken from the month cache on disk when one is given; months
// asked for ahead (prefetch) are read side by side on every core meanwhile.
//
// The calendars it hands out read through it: they must not outlive it.
class CalendarFileCache {
public:
    explicit CalendarFileCache(std::shared_ptr<const MonthCache> disk = nullptr);
    ~CalendarFileCache();

    // The calendar the file holds now. Fails with CalendarDenied when it is gone, unreadable or
    // not a regular file (a FIFO, a device, a folder: never waited on), and with ServerError,
    // naming the file, when it is larger than kMaxCalendarFileBytes.
    std::shared_ptr<ExpandedCalendar> current(const QString& path);

    // The month of each of these calendar files will be asked for next, in this order: they are
    // read ahead on every core. Months asked ahead before and not yet taken are dropped. A file
    // that cannot be read ahead is read (and fails) when it is asked for.
    void prefetch(const QStringList& paths, int monthIndex);

    // How many times a file was read and parsed (for the benchmark and tests).
    int parseCount() const { return *parses_; }

private:
    struct Ahead;
    std::vector<Occurrence> readMonth(const QString& path, const FileStamp& stamp, int monthIndex);

    struct Entry {
        FileStamp stamp;
        std::shared_ptr<ExpandedCalendar> calendar;
    };
    std::map<QString, Entry> entries_;
    std::shared_ptr<const MonthCache> disk_;
    std::shared_ptr<std::atomic<int>> parses_ = std::make_shared<std::atomic<int>>(0);
    std::map<QString, std::shared_ptr<Ahead>> ahead_;
    std::unique_ptr<AheadJobs> jobs_;
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
