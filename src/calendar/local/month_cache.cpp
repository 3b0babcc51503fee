#include "calendar/local/month_cache.h"

#include "calendar/cache_file.h"

#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QIODevice>
#include <QTimeZone>

namespace rv {

namespace {

// What the local times of an expansion depend on besides the calendar: the machine's zone and
// the zone database it is read from.
QByteArray zoneKey() {
    QByteArray key = QTimeZone::systemTimeZoneId() + '|' + qgetenv("TZ") + '|' + qgetenv("TZDIR");
    for (const char* path : {"/etc/localtime", "/usr/share/zoneinfo/tzdata.zi"}) {
        const FileStamp stamp = stampOf(QString::fromLatin1(path));
        key += '|' + QByteArray::number(stamp.size) + ':' + QByteArray::number(stamp.modified);
    }
    return key;
}

QString absolute(const QString& path) {
    return QFileInfo(path).absoluteFilePath();
}

void writeStamp(QDataStream& out, const FileStamp& s) {
    out << quint64(s.device) << quint64(s.inode) << qint64(s.size) << qint64(s.modified)
        << qint64(s.changed);
}

FileStamp readStamp(QDataStream& in) {
    FileStamp s;
    quint64 device = 0, inode = 0;
    qint64 size = 0, modified = 0, changed = 0;
    in >> device >> inode >> size >> modified >> changed;
    s.exists = s.regular = true;
    s.device = device;
    s.inode = inode;
    s.size = size;
    s.modified = modified;
    s.changed = changed;
    return s;
}

constexpr QDataStream::Version kStreamVersion = QDataStream::Qt_6_4;

} // namespace

MonthCache::MonthCache(QString folder) : folder_(std::move(folder)) {
    if (!folder_.isEmpty())
        QDir().mkpath(folder_);
}

QString MonthCache::defaultFolder() {
    return cache_file::folder(QStringLiteral("months"));
}

QString MonthCache::fileOf(const QString& calendarPath, int monthIndex) const {
    if (folder_.isEmpty())
        return {};
    return QDir(folder_).filePath(cache_file::nameFor(absolute(calendarPath).toUtf8() + '\n' +
                                                      QByteArray::number(monthIndex)) +
                                  QStringLiteral(".month"));
}

std::optional<std::vector<Occurrence>>
MonthCache::load(const QString& calendarPath, const FileStamp& stamp, int monthIndex) const {
    const QString file = fileOf(calendarPath, monthIndex);
    if (file.isEmpty())
        return std::nullopt;
    const std::optional<QByteArray> payload =
        cache_file::read(file, cache_file::Kind::ExpandedMonth);
    if (!payload)
        return std::nullopt;
    QDataStream in(*payload);
    in.setVersion(kStreamVersion);
    QString path;
    QByteArray zone;
    qint32 month = 0;
    in >> path >> zone >> month;
    const FileStamp written = readStamp(in);
    if (in.status() != QDataStream::Ok || path != absolute(calendarPath) || zone != zoneKey() ||
        month != monthIndex || !(written == stamp))
        return std::nullopt;
    quint32 count = 0;
    in >> count;
    std::vector<Occurrence> out;
    out.reserve(std::min<quint32>(count, 100000));
    for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
        Occurrence o;
        qint64 startMs = 0, endMs = 0, startMinute = 0, endMinute = 0;
        qint32 sensitivity = 0, event = 0;
        bool recurring = false;
        in >> startMs >> endMs >> startMinute >> endMinute >> o.subject >> o.location >>
            sensitivity >> event >> recurring;
        o.start = QDateTime::fromMSecsSinceEpoch(startMs);
        o.end = QDateTime::fromMSecsSinceEpoch(endMs);
        o.startMinute = startMinute;
        o.endMinute = endMinute;
        o.sensitivity = sensitivity;
        o.event = event;
        o.recurring = recurring;
        out.push_back(std::move(o));
    }
    if (in.status() != QDataStream::Ok || !in.atEnd())
        return std::nullopt;
    return out;
}

void MonthCache::save(const QString& calendarPath, const FileStamp& stamp, int monthIndex,
                      const std::vector<Occurrence>& occurrences) const {
    const QString file = fileOf(calendarPath, monthIndex);
    if (file.isEmpty())
        return;
    QByteArray payload;
    QDataStream out(&payload, QIODevice::WriteOnly);
    out.setVersion(kStreamVersion);
    out << absolute(calendarPath) << zoneKey() << qint32(monthIndex);
    writeStamp(out, stamp);
    out << quint32(occurrences.size());
    for (const Occurrence& o : occurrences)
        out << qint64(o.start.toMSecsSinceEpoch()) << qint64(o.end.toMSecsSinceEpoch())
            << qint64(o.startMinute) << qint64(o.endMinute) << o.subject << o.location
            << qint32(o.sensitivity) << qint32(o.event) << o.recurring;
    cache_file::write(file, cache_file::Kind::ExpandedMonth, payload);
}

} // namespace rv
