#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace rv::windows1252 {

// The single-byte code page of the group files. Bytes 0x81, 0x8D, 0x8F, 0x90 and 0x9D, which the
// code page leaves undefined, stand for the control characters of the same number, so that every
// byte reads back and writes again unchanged.

QString decode(const QByteArray& bytes);

// Characters the code page cannot hold become "?" (one per character, surrogate pairs included).
QByteArray encode(const QString& text);

// The first character of text that the code page cannot hold, or nullopt when it holds them all.
std::optional<QString> firstUnencodable(const QString& text);

} // namespace rv::windows1252
