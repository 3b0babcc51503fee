#include "calendar/local/calendar_file_cache.h"

#include "calendar/calendar_service.h"

#include <QFile>

namespace rv {

std::shared_ptr<const IcalCalendar> CalendarFileCache::readCalendar(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw CalendarError(calendar_error::CalendarDenied,
                            QStringLiteral("The calendar file %1 cannot be read: %2")
                                .arg(path, file.errorString()));
    const QByteArray text = file.readAll();
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

    // The file is opened now, so that an unreadable calendar is denied at once, and read again
    // for each month first asked for: only the expanded months are kept between questions.
    if (QFile file(path); !file.open(QIODevice::ReadOnly))
        throw CalendarError(calendar_error::CalendarDenied,
                            QStringLiteral("The calendar file %1 cannot be read: %2")
                                .arg(path, file.errorString()));
    auto calendar = std::make_shared<ExpandedCalendar>([this, path] { return readCalendar(path); });
    // The stamp taken before reading: a file written meanwhile is read again next time.
    entries_[path] = Entry{stamp, calendar};
    return calendar;
}

} // namespace rv
