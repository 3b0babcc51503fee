#include "calendar/local/calendar_file_cache.h"

#include "calendar/calendar_service.h"
#include "platform/regular_file.h"

namespace rv {

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

std::shared_ptr<const IcalCalendar> CalendarFileCache::readCalendar(const QString& path) {
    const QByteArray text = [&] {
        try {
            return openCalendarFile(path).readAll();
        } catch (const FileError& error) {
            throw CalendarError(calendar_error::CalendarDenied, error.message());
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
