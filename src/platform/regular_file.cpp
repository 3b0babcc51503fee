#include "platform/regular_file.h"

#include <QFile>
#include <QLocale>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace rv {

namespace {

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

QString kindOf(mode_t mode) {
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a named pipe (FIFO)");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    return QStringLiteral("not an ordinary file");
}

} // namespace

QString shownSize(qint64 bytes) {
    return QLocale::c().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

std::optional<RegularFile> RegularFile::open(const QString& path, qint64 maxBytes) {
    const QByteArray native = QFile::encodeName(path);
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR)
            return std::nullopt;
        throw FileError(QStringLiteral("Could not read \"%1\": %2.").arg(path, systemError(error)));
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        const int error = errno;
        ::close(fd);
        throw FileError(QStringLiteral("Could not read \"%1\": %2.").arg(path, systemError(error)));
    }
    if (!S_ISREG(status.st_mode)) {
        ::close(fd);
        throw RefusedFile(RefusedFile::Why::NotRegular,
                          QStringLiteral("\"%1\" is %2, not a file, so it was not read.")
                              .arg(path, kindOf(status.st_mode)));
    }
    if (status.st_size > maxBytes) {
        ::close(fd);
        throw RefusedFile(
            RefusedFile::Why::TooLarge,
            QStringLiteral("\"%1\" is too large to be read: it holds %2, and a file of its kind "
                           "holds at most %3.")
                .arg(path, shownSize(status.st_size), shownSize(maxBytes)));
    }
    // Reads of a regular file never block anyway; the flag only mattered for the open.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return RegularFile(path, fd, status);
}

RegularFile::RegularFile(RegularFile&& other) noexcept
    : path_(std::move(other.path_)), fd_(std::exchange(other.fd_, -1)), status_(other.status_) {}

RegularFile& RegularFile::operator=(RegularFile&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        path_ = std::move(other.path_);
        fd_ = std::exchange(other.fd_, -1);
        status_ = other.status_;
    }
    return *this;
}

RegularFile::~RegularFile() {
    if (fd_ >= 0)
        ::close(fd_);
}

QByteArray RegularFile::read(qint64 offset, qint64 length) const {
    QByteArray bytes;
    if (length <= 0 || offset < 0)
        return bytes;
    bytes.resize(length);
    qint64 done = 0;
    while (done < length) {
        const ssize_t n =
            ::pread(fd_, bytes.data() + done, std::size_t(length - done), off_t(offset + done));
        if (n > 0) {
            done += n;
        } else if (n == 0) {
            break;
        } else if (const int error = errno; error != EINTR) {
            throw FileError(
                QStringLiteral("Could not read \"%1\": %2.").arg(path_, systemError(error)));
        }
    }
    bytes.resize(done);
    return bytes;
}

} // namespace rv
