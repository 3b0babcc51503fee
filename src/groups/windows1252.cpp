#include "groups/windows1252.h"

#include <array>

namespace rv::windows1252 {
namespace {

// Code points of the bytes 0x80..0x9F; the undefined ones map to the C1 control of their number.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::optional<char> toByte(char16_t unit) {
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF))
        return static_cast<char>(unit);
    for (std::size_t i = 0; i < kHighControls.size(); ++i)
        if (kHighControls[i] == unit)
            return static_cast<char>(0x80 + i);
    return std::nullopt;
}

} // namespace

QString decode(const QByteArray& bytes) {
    QString text;
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        text.append(QChar(byte >= 0x80 && byte <= 0x9F ? kHighControls[byte - 0x80]
                                                       : static_cast<char16_t>(byte)));
    }
    return text;
}

QByteArray encode(const QString& text) {
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        if (ch.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i; // one replacement for the whole character
        bytes.append(toByte(ch.unicode()).value_or('?'));
    }
    return bytes;
}

std::optional<QString> firstUnencodable(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        if (toByte(ch.unicode()))
            continue;
        if (ch.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            return text.mid(i, 2);
        return QString(ch);
    }
    return std::nullopt;
}

} // namespace rv::windows1252
