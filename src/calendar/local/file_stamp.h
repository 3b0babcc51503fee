#pragma once

#include <QString>
#include <cstdint>

namespace rv {

// What tells a file's versions apart without reading it: which file it is (device and inode), its
// size, its modification time and its change time (to the nanosecond where the file system keeps
// them). The modification time can be set back (cp -p, rsync -t, touch -r), so a copy of the same
// size and time put in place of a file is seen by its inode (a new file renamed over the old one)
// or its change time, which the system sets at every write and nobody can set back (a file
// overwritten in place). A missing file has an empty stamp.
struct FileStamp {
    bool exists = false;  // something is there
    bool regular = false; // and it is a regular file
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modified = 0; // nanoseconds since the epoch
    std::int64_t changed = 0;  // nanoseconds since the epoch
    bool operator==(const FileStamp&) const = default;
};

// The stamp of what path leads to (symbolic links followed).
FileStamp stampOf(const QString& path);

} // namespace rv
