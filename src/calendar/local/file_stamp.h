#pragma once

#include <QString>
#include <cstdint>

namespace rv {

// What tells a file's versions apart without reading it: modification time (to the nanosecond
// where the file system keeps it) and size. A missing file has an empty stamp.
struct FileStamp {
    bool exists = false;
    std::int64_t modified = 0;
    std::uintmax_t size = 0;
    bool operator==(const FileStamp&) const = default;
};

FileStamp stampOf(const QString& path);

} // namespace rv
