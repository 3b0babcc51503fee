#pragma once

#include "calendar/ical/occurrence.h"
#include "calendar/local/file_stamp.h"

#include <QString>
#include <optional>
#include <vector>

namespace rv {

// Expanded months of the store's calendar files, kept between runs so that the first board after
// a start costs what a repeated one does: one cache file per calendar and month in the user's
// cache folder (cache_file.h). An entry counts only for the calendar file it was read from with
// the stamp it had then (file_stamp.h: the same file, size, modification and change time) and for
// the machine's time zone as it is now; any other entry is read as nothing, and written anew.
// Safe to use from several threads at once.
class MonthCache {
public:
    // Entries in folder (created with its parents when missing).
    explicit MonthCache(QString folder);
    // Entries in the user's cache folder, $XDG_CACHE_HOME/Vantrel/months.
    static QString defaultFolder();

    std::optional<std::vector<Occurrence>> load(const QString& calendarPath, const FileStamp& stamp,
                                                int monthIndex) const;
    void save(const QString& calendarPath, const FileStamp& stamp, int monthIndex,
              const std::vector<Occurrence>& occurrences) const;

    // The cache file of a calendar's month.
    QString fileOf(const QString& calendarPath, int monthIndex) const;

private:
    QString folder_;
};

} // namespace rv
