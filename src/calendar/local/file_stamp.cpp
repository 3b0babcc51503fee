#include "calendar/local/file_stamp.h"

#include <filesystem>

namespace rv {

FileStamp stampOf(const QString& path) {
    namespace fs = std::filesystem;
    const fs::path p(path.toStdString());
    std::error_code error;
    FileStamp stamp;
    if (!fs::is_regular_file(p, error) || error)
        return stamp;
    const auto modified = fs::last_write_time(p, error);
    if (error)
        return stamp;
    const auto size = fs::file_size(p, error);
    if (error)
        return stamp;
    stamp.exists = true;
    stamp.modified = modified.time_since_epoch().count();
    stamp.size = size;
    return stamp;
}

} // namespace rv
