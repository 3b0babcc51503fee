#include "calendar/cache_file.h"

#include "calendar/calendar_log.h"
#include "platform/regular_file.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QtEndian>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rv::cache_file {

namespace {

// Bumped whenever what is written, or what the program reads from a calendar, changes: a file of
// another format (or another program version, see kProgram) is read as nothing.
constexpr quint32 kFormat = 2;
const QByteArray kMagic = QByteArrayLiteral("RVCACHE\n");
const QByteArray kProgram = QByteArrayLiteral(ROTAVIEW_VERSION);
constexpr qint64 kMaxFileBytes = qint64(256) << 20;
constexpr int kChecksumBytes = 20; // SHA-1

QByteArray header(Kind kind, qint64 payloadBytes) {
    QByteArray out = kMagic;
    char number[8];
    qToBigEndian(quint32(kind), number);
    out.append(number, 4);
    qToBigEndian(kFormat, number);
    out.append(number, 4);
    qToBigEndian(quint32(kProgram.size()), number);
    out.append(number, 4);
    out.append(kProgram);
    qToBigEndian(quint64(payloadBytes), number);
    out.append(number, 8);
    return out;
}

// Makes the folder (not its parents) private to the user; false when it cannot be used.
bool privateFolder(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat status {};
    if (::lstat(native.constData(), &status) != 0 || !S_ISDIR(status.st_mode) ||
        status.st_uid != ::geteuid())
        return false;
    if ((status.st_mode & 0777) != 0700 && ::chmod(native.constData(), 0700) != 0)
        return false;
    return true;
}

} // namespace

QString folder(const QString& name) {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (base.isEmpty() || !QDir().mkpath(base))
        return {};
    const QString program = QDir(base).filePath(QStringLiteral("Vantrel"));
    const QString path = QDir(program).filePath(name);
    if (!privateFolder(program) || !privateFolder(path)) {
        qCInfo(calendarLog()).noquote() << "no cache folder at" << path;
        return {};
    }
    return path;
}

QString nameFor(const QByteArray& key) {
    return QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex());
}

std::optional<QByteArray> read(const QString& path, Kind kind) {
    QByteArray bytes;
    try {
        const auto file = RegularFile::open(path, kMaxFileBytes);
        if (!file)
            return std::nullopt;
        bytes = file->readAll();
    } catch (const FileError& error) {
        qCInfo(calendarLog()).noquote() << "cache file not read:" << error.message();
        return std::nullopt;
    }
    const QByteArray head = header(kind, 0);
    const qsizetype headBytes = head.size();
    if (bytes.size() < headBytes + kChecksumBytes || !bytes.startsWith(head.left(headBytes - 8)))
        return std::nullopt;
    const quint64 payloadBytes = qFromBigEndian<quint64>(bytes.constData() + headBytes - 8);
    if (payloadBytes != quint64(bytes.size() - headBytes - kChecksumBytes))
        return std::nullopt;
    const qsizetype checked = bytes.size() - kChecksumBytes;
    if (QCryptographicHash::hash(QByteArrayView(bytes.constData(), checked),
                                 QCryptographicHash::Sha1) != bytes.mid(checked))
        return std::nullopt;
    return bytes.mid(headBytes, qsizetype(payloadBytes));
}

bool write(const QString& path, Kind kind, const QByteArray& payload) {
    static std::atomic<unsigned> written{0};
    QByteArray bytes = header(kind, payload.size());
    bytes.append(payload);
    bytes.append(QCryptographicHash::hash(bytes, QCryptographicHash::Sha1));
    // A name of its own for every writer, in the same folder so that the rename replaces.
    const QByteArray target = QFile::encodeName(path);
    const QByteArray temporary =
        target + ".tmp-" + QByteArray::number(::getpid()) + '-' + QByteArray::number(++written);
    const int fd =
        ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    bool ok = fd >= 0;
    for (qsizetype done = 0; ok && done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        done += n > 0 ? n : 0;
    }
    if (fd >= 0 && ::close(fd) != 0)
        ok = false;
    if (ok)
        ok = ::rename(temporary.constData(), target.constData()) == 0;
    if (!ok) {
        qCInfo(calendarLog()).noquote()
            << "cache file" << path
            << "not written:" << QString::fromLocal8Bit(std::strerror(errno));
        if (fd >= 0)
            ::unlink(temporary.constData());
    }
    return ok;
}

} // namespace rv::cache_file
