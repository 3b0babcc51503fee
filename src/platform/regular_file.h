#pragma once

// Files the program reads but other people and programs write: the group files, the local
// store's address book, readers lists and calendars, ~/.netrc and the settings file. Each is opened
// without blocking, so that a FIFO or a device put in its place can neither stall the open nor be
// read from, and is accepted only when it is a regular file no larger than its kind can sensibly
// be. Everything else is refused with a message that names the file.

#include "platform/workdir_files.h"

#include <QByteArray>
#include <QString>
#include <optional>
#include <sys/stat.h>

namespace rv {

// A file refused for what it is rather than for a failure to read it.
class RefusedFile : public FileError {
public:
    enum class Why { NotRegular, TooLarge };
    RefusedFile(Why why, const QString& message) : FileError(message), why_(why) {}
    Why why() const { return why_; }

private:
    Why why_;
};

class RegularFile {
public:
    // The file at path, opened for reading. nullopt when nothing exists there (a link that leads
    // nowhere included). Throws RefusedFile when it is not a regular file (a FIFO, a device, a
    // folder) or is larger than maxBytes, and FileError when it cannot be opened.
    static std::optional<RegularFile> open(const QString& path, qint64 maxBytes);

    RegularFile(RegularFile&& other) noexcept;
    RegularFile& operator=(RegularFile&& other) noexcept;
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;
    ~RegularFile();

    const QString& path() const { return path_; }
    // As the file was when it was opened.
    qint64 size() const { return qint64(status_.st_size); }
    const struct stat& status() const { return status_; }

    // Up to length bytes from offset; fewer at the end of the file. Throws FileError.
    QByteArray read(qint64 offset, qint64 length) const;
    // The whole file, as far as the size it had when it was opened.
    QByteArray readAll() const { return read(0, size()); }

private:
    RegularFile(QString path, int fd, const struct stat& status)
        : path_(std::move(path)), fd_(fd), status_(status) {}

    QString path_;
    int fd_ = -1;
    struct stat status_ {};
};

// A size as the messages show it ("3.0 GB").
QString shownSize(qint64 bytes);

} // namespace rv
