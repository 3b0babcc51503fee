#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

namespace rv::test {

// The group files' records, written out independently of the program for byte-exact checks: an
// index record is a 50-byte name padded with blanks and a 16-bit little-endian group number; a
// member record is two zero bytes, name and identifier each padded with blanks to 200 bytes, then
// 1530 zero bytes. Both lists end with the name "XXX".
inline QByteArray indexRecord(const QByteArray& name, int number) {
    return name + QByteArray(50 - name.size(), ' ') + char(number & 0xFF) + char(number >> 8);
}
inline QByteArray indexEnd() {
    return indexRecord("XXX", 9999);
}
inline QByteArray memberRecord(const QByteArray& name, const QByteArray& id) {
    return QByteArray(2, '\0') + name + QByteArray(200 - name.size(), ' ') + id +
           QByteArray(200 - id.size(), ' ') + QByteArray(1530, '\0');
}
inline QByteArray memberEnd() {
    return memberRecord("XXX", "XXX");
}

inline QByteArray fileBytes(const QString& name) {
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace rv::test
