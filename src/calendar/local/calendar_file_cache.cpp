#include "calendar/local/calendar_file_cache.h"

#include "calendar/calendar_service.h"
#include "platform/regular_file.h"

namespace rv {

namespace {

// Far more than years of a busy person's appointments (5,000 events take about 1 MB), and little
// enough to be parsed in well under a second.
constexpr qint64 kMaxCalendarFileBytes = qint64(32) << 20;

// A calendar file that is there but cannot be taken (a FIFO or a device in its place, a file far
// too large) is a failure of the store, which the user is told about, not a calendar the
// connected user may not read.
RegularFile openCalendarFile(const QString& path) {
    try {
        if (auto file = RegularFile::open(path, kMaxCalendarFileBytes))
            return std::move(*file);
    } catch (const FileError& error) {
        throw CalendarError(calendar_error::ServerError, error.message());
    }
    throw CalendarError(calendar_error::CalendarDenied,
                        QStringLiteral("The calendar file %1 no longer exists.").arg(path));
}

} // namespace

std::shared_ptr<const IcalCalendar> CalendarFileCache::readCalendar(const QString& path) {
    const QByteArray text = [&] {
        try {
            return openCalendarFile(path).readAll();
        } catch (const FileError& error) {
            throw CalendarError(calendar_error::ServerError, error.message());
        }
    }();
    ++parses_;
    return IcalCalendar::parse(text);
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
    auto calendar = std::make_shared<ExpandedCalendar>([this, path] { return readCalendar(path); });
    // The stamp taken before reading: a file written meanwhile is read again next time.
    entries_[path] = Entry{stamp, calendar};
    return calendar;
}

} // namespace rv
