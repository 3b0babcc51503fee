#include "calendar/caldav/copy_cache.h"

#include "calendar/cache_file.h"

#include <QDataStream>
#include <QDir>
#include <QIODevice>

namespace rv::caldav {

namespace {

constexpr QDataStream::Version kStreamVersion = QDataStream::Qt_6_4;

QByteArray keyOf(const QString& server, const QString& user, const QString& path) {
    return server.toUtf8() + '\n' + user.toUtf8() + '\n' + path.toUtf8();
}

} // namespace

CopyCache::CopyCache(QString folder) : folder_(std::move(folder)) {}

QString CopyCache::defaultFolder() {
    return cache_file::folder(QStringLiteral("caldav"));
}

QString CopyCache::fileOf(const QString& server, const QString& user, const QString& path) const {
    if (folder_.isEmpty())
        return {};
    return QDir(folder_).filePath(cache_file::nameFor(keyOf(server, user, path)) +
                                  QStringLiteral(".calendar"));
}

std::optional<CopyCache::Copy> CopyCache::load(const QString& server, const QString& user,
                                               const QString& path) const {
    const QString file = fileOf(server, user, path);
    if (file.isEmpty())
        return std::nullopt;
    const std::optional<QByteArray> payload = cache_file::read(file, cache_file::Kind::CalDavCopy);
    if (!payload)
        return std::nullopt;
    QDataStream in(*payload);
    in.setVersion(kStreamVersion);
    QByteArray key;
    Copy copy;
    in >> key >> copy.version >> copy.text;
    if (in.status() != QDataStream::Ok || !in.atEnd() || key != keyOf(server, user, path) ||
        copy.version.isEmpty())
        return std::nullopt;
    return copy;
}

void CopyCache::save(const QString& server, const QString& user, const QString& path,
                     const Copy& copy) const {
    const QString file = fileOf(server, user, path);
    if (file.isEmpty() || copy.version.isEmpty())
        return;
    QByteArray payload;
    QDataStream out(&payload, QIODevice::WriteOnly);
    out.setVersion(kStreamVersion);
    out << keyOf(server, user, path) << copy.version << copy.text;
    cache_file::write(file, cache_file::Kind::CalDavCopy, payload);
}

} // namespace rv::caldav
