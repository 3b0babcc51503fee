#include "platform/workdir_files.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rv::workdir {
namespace {

namespace fs = std::filesystem;

ChangeHook& changeHook() {
    static ChangeHook hook;
    return hook;
}

void aboutToChange(const char* change, const QString& name) {
    if (changeHook())
        changeHook()(QString::fromLatin1(change), name);
}

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

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// A rename is only durable once the folder holding it is on disk too.
void syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Where a save of path lands: the path itself, or the end of the chain of symbolic links it
// starts (which need not exist yet).
std::string resolvedTarget(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat status {};
        if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode))
            return path;
        std::string target(std::size_t(status.st_size > 0 ? status.st_size : 4095) + 1, '\0');
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n < 0)
            return path;
        target.resize(std::size_t(n));
        path = (target.starts_with('/') ? target : folderOf(path) + "/" + target);
    }
    throw FileError(QStringLiteral("Could not save %1: it is a chain of too many symbolic links.")
                        .arg(quoted(QFile::decodeName(QByteArray::fromStdString(path)))));
}

// The temporary files of saves of target: "." + its name + "." + six characters.
bool isTemporaryOf(const std::string& entry, const std::string& base) {
    const std::string prefix = "." + base + ".";
    return entry.size() == prefix.size() + 6 && entry.starts_with(prefix);
}

// A save holds a lock on its temporary file for as long as it runs; a temporary file nobody holds
// a lock on was left by a save that was interrupted, and goes.
void removeLeftTemporaries(const std::string& target) {
    const std::string folder = folderOf(target);
    const std::string base = baseOf(target);
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (!isTemporaryOf(name, base))
            continue;
        const std::string path = folder + "/" + name;
        const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat status {};
        if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlink(path.c_str());
        ::close(fd);
    }
    ::closedir(dir);
}

// A failed write of the new content, with the system's error number.
struct WriteFailure {
    int error;
};

} // namespace

std::optional<QString> find(const QString& name) {
    const std::string wanted = QFile::encodeName(name).toStdString();
    std::optional<std::string> match;
    std::error_code ec;
    for (fs::directory_iterator it(fs::current_path(ec), ec), end; !ec && it != end;
         it.increment(ec)) {
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

void save(const QString& name, const std::function<void(const Sink&)>& produce) {
    // Written with plain system calls: QSaveFile (Qt 6.4) commits a file cut short when the disk
    // fills part way through a write, as it takes the short write for success.
    const QString spelled = find(name).value_or(name);
    aboutToChange("save", spelled);
    const std::string target = resolvedTarget(QFile::encodeName(spelled).toStdString());
    const QString shown = quoted(spelled);
    const auto failure = [&](int error) {
        return FileError(QStringLiteral("Could not save %1: %2. The file was left as it was.")
                             .arg(shown, systemError(error)));
    };

    removeLeftTemporaries(target);
    std::string tempPath = folderOf(target) + "/." + baseOf(target) + ".XXXXXX";
    const int fd = ::mkostemp(tempPath.data(), O_CLOEXEC);
    if (fd < 0)
        throw failure(errno);
    // Held until the file is renamed or removed: the next save's clean-up leaves it alone.
    ::flock(fd, LOCK_EX | LOCK_NB);
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0) {
        ::fchmod(fd, old.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    const Sink sink = [fd](const QByteArray& piece) {
        for (qsizetype done = 0; done < piece.size();) {
            const ssize_t n =
                ::write(fd, piece.constData() + done, std::size_t(piece.size() - done));
            if (n > 0)
                done += n;
            else if (n == 0)
                throw WriteFailure{EIO};
            else if (errno != EINTR)
                throw WriteFailure{errno};
        }
    };
    int error = 0;
    try {
        produce(sink);
    } catch (const WriteFailure& write) {
        error = write.error;
    } catch (...) {
        ::close(fd);
        ::unlink(tempPath.c_str());
        throw;
    }
    if (!error && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && !error)
        error = errno;
    if (!error && ::rename(tempPath.c_str(), target.c_str()) != 0)
        error = errno;
    if (error) {
        ::unlink(tempPath.c_str());
        throw failure(error);
    }
    syncFolder(folderOf(target));
}

void save(const QString& name, const QByteArray& bytes) {
    save(name, [&bytes](const Sink& sink) { sink(bytes); });
}

void remove(const QString& name) {
    const auto actual = find(name);
    if (!actual)
        return;
    aboutToChange("remove", *actual);
    std::error_code ec;
    fs::remove(fs::path(QFile::encodeName(*actual).toStdString()), ec);
    if (ec)
        throw FileError(QStringLiteral("Could not delete %1: %2.")
                            .arg(quoted(*actual), QString::fromStdString(ec.message())));
    syncFolder(".");
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
    aboutToChange("rename", *source);
    std::error_code ec;
    fs::rename(fs::path(QFile::encodeName(*source).toStdString()),
               fs::path(QFile::encodeName(to).toStdString()), ec);
    if (ec)
        throw FileError(
            QStringLiteral("Could not rename %1 to %2: %3.")
                .arg(quoted(*source), quoted(to), QString::fromStdString(ec.message())));
    syncFolder(".");
}

void setChangeHook(ChangeHook hook) {
    changeHook() = std::move(hook);
}

} // namespace rv::workdir
