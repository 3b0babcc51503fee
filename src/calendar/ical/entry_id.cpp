#include "calendar/ical/entry_id.h"

#include "calendar/calendar_service.h"

#include <QByteArray>
#include <QStringDecoder>
#include <cstring>

namespace rv {

namespace {

constexpr int kFlagBytes = 4;
constexpr int kTagBytes = 16;
constexpr int kHeaderBytes = kFlagBytes + kTagBytes;

QByteArray header(const char* providerTag) {
    QByteArray bytes(kHeaderBytes, '\0');
    const int length = std::min<int>(int(std::strlen(providerTag)), kTagBytes);
    std::memcpy(bytes.data() + kFlagBytes, providerTag, size_t(length));
    return bytes;
}

[[noreturn]] void unknown(const QString& entryId) {
    const QString shown = entryId.size() > 40 ? entryId.left(40) + QStringLiteral("...") : entryId;
    throw CalendarError(calendar_error::UnknownEntry,
                        QStringLiteral("\"%1\" is not an entry identifier of this calendar "
                                       "service.")
                            .arg(shown));
}

} // namespace

QString makeEntryId(const char* providerTag, const QString& key) {
    const QByteArray utf8 = key.toUtf8();
    if (utf8.isEmpty() || utf8.contains('\0'))
        throw CalendarError(
            calendar_error::UnknownEntry,
            QStringLiteral("\"%1\" cannot be written as an entry identifier.").arg(key));
    QByteArray bytes = header(providerTag) + utf8;
    if (bytes.size() > kEntryIdMaxBytes)
        throw CalendarError(calendar_error::KeyTooLong,
                            QStringLiteral("The name \"%1\" is too long for an entry identifier "
                                           "(%2 bytes, at most %3).")
                                .arg(key)
                                .arg(utf8.size())
                                .arg(kEntryIdMaxBytes - kHeaderBytes));
    if (bytes.size() < kEntryIdMinBytes)
        bytes.append(QByteArray(kEntryIdMinBytes - bytes.size(), '\0'));
    return QString::fromLatin1(bytes.toHex()).toUpper();
}

QString entryIdKey(const char* providerTag, const QString& entryId) {
    const QString text = entryId.trimmed();
    if (text.size() % 2 != 0 || text.size() <= 2 * kHeaderBytes ||
        text.size() > 2 * kEntryIdMaxBytes)
        unknown(entryId);
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool hex =
            (u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'F') || (u >= u'a' && u <= u'f');
        if (!hex)
            unknown(entryId);
    }
    const QByteArray bytes = QByteArray::fromHex(text.toLatin1());
    if (!bytes.startsWith(header(providerTag)))
        unknown(entryId);
    QByteArray key = bytes.mid(kHeaderBytes);
    while (!key.isEmpty() && key.endsWith('\0'))
        key.chop(1);
    if (key.isEmpty() || key.contains('\0'))
        unknown(entryId);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = decoder.decode(key);
    if (decoder.hasError())
        unknown(entryId);
    return decoded;
}

} // namespace rv
