#include "platform/workdir_files.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace rv::workdir {
namespace {

namespace fs = std::filesystem;

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalIgnoringAsciiCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    return true;
}

QString quoted(const QString& name) {
    return QStringLiteral("\"%1\"").arg(name);
}

// A rename is only durable once the folder holding it is on disk too.
void syncWorkdir() {
    const int fd = ::open(".", O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

std::optional<QString> find(const QString& name) {
    const std::string wanted = QFile::encodeName(name).toStdString();
    std::optional<std::string> match;
    std::error_code ec;
    for (fs::directory_iterator it(fs::current_path(ec), ec), end; !ec && it != end;
         it.increment(ec)) {
        std::error_code typeEc;
        if (it->is_directory(typeEc))
            continue;
        const std::string entry = it->path().filename().native();
        if (entry == wanted)
            return name;
        if (equalIgnoringAsciiCase(entry, wanted) && (!match || entry < *match))
            match = entry;
    }
    if (!match)
        return std::nullopt;
    return QFile::decodeName(QByteArray::fromStdString(*match));
}

bool exists(const QString& name) {
    return find(name).has_value();
}

void save(const QString& name, const QByteArray& bytes) {
    // Written with plain system calls: QSaveFile (Qt 6.4) commits a file cut short when the disk
    // fills part way through a write, as it takes the short write for success.
    const QString target = find(name).value_or(name);
    const QByteArray targetPath = QFile::encodeName(target);
    QByteArray tempPath = "." + targetPath + ".XXXXXX";
    const auto failure = [&](int error) {
        return FileError(QStringLiteral("Could not save %1: %2. The file was left as it was.")
                             .arg(quoted(target), QString::fromLocal8Bit(std::strerror(error))));
    };

    const int fd = ::mkstemp(tempPath.data());
    if (fd < 0)
        throw failure(errno);
    int error = 0;
    struct stat old {};
    if (::stat(targetPath.constData(), &old) == 0) {
        ::fchmod(fd, old.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    for (qsizetype done = 0; done < bytes.size() && !error;) {
        const ssize_t n = ::write(fd, bytes.constData() + done, std::size_t(bytes.size() - done));
        if (n > 0)
            done += n;
        else if (n == 0)
            error = EIO;
        else if (errno != EINTR)
            error = errno;
    }
    if (!error && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && !error)
        error = errno;
    if (!error && ::rename(tempPath.constData(), targetPath.constData()) != 0)
        error = errno;
    if (error) {
        ::unlink(tempPath.constData());
        throw failure(error);
    }
    syncWorkdir();
}

void remove(const QString& name) {
    const auto actual = find(name);
    if (!actual)
        return;
    std::error_code ec;
    fs::remove(fs::path(QFile::encodeName(*actual).toStdString()), ec);
    if (ec)
        throw FileError(QStringLiteral("Could not delete %1: %2.")
                            .arg(quoted(*actual), QString::fromStdString(ec.message())));
    syncWorkdir();
}

void rename(const QString& from, const QString& to) {
    const auto source = find(from);
    if (!source)
        throw FileError(
            QStringLiteral("Could not rename %1: the file does not exist.").arg(quoted(from)));
    // Another file already answering to the new name would be lost by the rename.
    const auto occupied = find(to);
    if (occupied && *occupied != *source)
        throw FileError(QStringLiteral("Could not rename %1 to %2: %3 already exists.")
                            .arg(quoted(*source), quoted(to), quoted(*occupied)));
    std::error_code ec;
    fs::rename(fs::path(QFile::encodeName(*source).toStdString()),
               fs::path(QFile::encodeName(to).toStdString()), ec);
    if (ec)
        throw FileError(
            QStringLiteral("Could not rename %1 to %2: %3.")
                .arg(quoted(*source), quoted(to), QString::fromStdString(ec.message())));
    syncWorkdir();
}

} // namespace rv::workdir
