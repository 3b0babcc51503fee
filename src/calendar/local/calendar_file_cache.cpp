#include "calendar/local/calendar_file_cache.h"

#include "calendar/calendar_service.h"
#include "calendar/ical/month_prefilter.h"
#include "platform/regular_file.h"

namespace rv {

namespace {

QByteArray readCalendarText(const QString& path) {
    try {
        return openCalendarFile(path).readAll();
    } catch (const FileError& error) {
        throw CalendarError(calendar_error::CalendarDenied, error.message());
    }
}

// A month read from the file (or the month cache), on whichever thread.
std::vector<Occurrence> monthOfFile(const QString& path, const FileStamp& stamp, int monthIndex,
                                    const MonthCache* disk, std::atomic<int>& parses) {
    if (disk)
        if (auto kept = disk->load(path, stamp, monthIndex))
            return std::move(*kept);
    const QByteArray text = readCalendarText(path);
    ++parses;
    std::vector<Occurrence> month =
        expandTextWindow(text, ExpandedCalendar::windowOfMonth(monthIndex));
    if (disk)
        disk->save(path, stamp, monthIndex, month);
    return month;
}

} // namespace

// A month being read ahead, and what came of it.
struct CalendarFileCache::Ahead {
    FileStamp stamp;
    int monthIndex = 0;
    std::shared_ptr<AheadJobs::Job> job;
    std::optional<std::vector<Occurrence>> month; // set by the job, read once it is finished
};

RegularFile openCalendarFile(const QString& path) {
    try {
        if (auto file = RegularFile::open(path, kMaxCalendarFileBytes))
            return std::move(*file);
    } catch (const RefusedFile& refused) {
        // Far too large: a failure of the store the user is told about. Anything but a file (a
        // FIFO, a device, a folder): no calendar, like one that cannot be read.
        throw CalendarError(refused.why() == RefusedFile::Why::TooLarge
                                ? calendar_error::ServerError
                                : calendar_error::CalendarDenied,
                            refused.message());
    } catch (const FileError& error) {
        throw CalendarError(calendar_error::CalendarDenied, error.message());
    }
    throw CalendarError(calendar_error::CalendarDenied,
                        QStringLiteral("The calendar file %1 no longer exists.").arg(path));
}

CalendarFileCache::CalendarFileCache(std::shared_ptr<const MonthCache> disk)
    : disk_(std::move(disk)) {}

CalendarFileCache::~CalendarFileCache() = default;

std::vector<Occurrence> CalendarFileCache::readMonth(const QString& path, const FileStamp& stamp,
                                                     int monthIndex) {
    const auto ahead = ahead_.find(path);
    if (ahead != ahead_.end() && ahead->second->stamp == stamp &&
        ahead->second->monthIndex == monthIndex) {
        const std::shared_ptr<Ahead> taken = ahead->second;
        ahead_.erase(ahead);
        AheadJobs::finish(*taken->job);
        // A month that could not be read ahead is read here, failing as the caller expects.
        if (taken->month)
            return std::move(*taken->month);
    }
    return monthOfFile(path, stamp, monthIndex, disk_.get(), *parses_);
}

void CalendarFileCache::prefetch(const QStringList& paths, int monthIndex) {
    if (jobs_)
        jobs_->dropWaiting();
    ahead_.clear();
    for (const QString& path : paths) {
        const FileStamp stamp = stampOf(path);
        if (!stamp.exists || !stamp.regular)
            continue;
        const auto known = entries_.find(path);
        if (known != entries_.end() && known->second.stamp == stamp &&
            known->second.calendar->hasMonth(monthIndex))
            continue;
        if (!jobs_)
            jobs_ = std::make_unique<AheadJobs>();
        auto ahead = std::make_shared<Ahead>();
        ahead->stamp = stamp;
        ahead->monthIndex = monthIndex;
        // The job holds the month only while it runs: one dropped meanwhile is read for nobody.
        ahead->job = jobs_->start(
            [weak = std::weak_ptr<Ahead>(ahead), path, disk = disk_, parses = parses_] {
                const std::shared_ptr<Ahead> ahead = weak.lock();
                if (!ahead)
                    return;
                try {
                    ahead->month =
                        monthOfFile(path, ahead->stamp, ahead->monthIndex, disk.get(), *parses);
                } catch (const CalendarError&) {
                    // Read again, and failed, when the month is asked for.
                } catch (const std::exception&) {
                }
            });
        ahead_[path] = std::move(ahead);
    }
}

std::shared_ptr<ExpandedCalendar> CalendarFileCache::current(const QString& path) {
    const FileStamp stamp = stampOf(path);
    auto found = entries_.find(path);
    if (!stamp.exists) {
        if (found != entries_.end())
            entries_.erase(found);
        throw CalendarError(calendar_error::CalendarDenied,
                            QStringLiteral("The calendar file %1 no longer exists.").arg(path));
    }
    if (found != entries_.end() && found->second.stamp == stamp)
        return found->second.calendar;

    // The file is opened now, so that a calendar that cannot be read fails at once, and read
    // again for each month first asked for: only the expanded months are kept between questions.
    openCalendarFile(path);
    auto calendar = std::make_shared<ExpandedCalendar>(
        [this, path](const std::optional<TimeWindow>& window) {
            const QByteArray text = readCalendarText(path);
            ++*parses_;
            return IcalCalendar::parse(window ? textForWindow(text, *window).text : text);
        },
        [this, path, stamp](int monthIndex) { return readMonth(path, stamp, monthIndex); });
    // The stamp taken before reading: a file written meanwhile is read again next time.
    entries_[path] = Entry{stamp, calendar};
    return calendar;
}

} // namespace rv
