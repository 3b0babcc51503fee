#pragma once

#include <QString>

namespace rv {

// Provider tags of the entry identifiers this program's backends issue.
inline constexpr char kLocalProviderTag[] = "RotaviewLocal";
inline constexpr char kCalDavProviderTag[] = "RotaviewCalDAV";

// Entry identifiers are upper-case hexadecimal of these bytes, so that tools outside the program
// can write group files too: 4 zero bytes (flags), the provider tag padded with zero bytes to 16,
// the person's key in UTF-8, then zero bytes up to 80 bytes in all. That gives 160 to 200
// characters: longer than any name the row refresh looks up, short enough for the 200-byte
// member field.
constexpr int kEntryIdMinBytes = 80;
constexpr int kEntryIdMaxBytes = 100;

// Throws CalendarError(KeyTooLong) when the key does not fit, never cuts it.
QString makeEntryId(const char* providerTag, const QString& key);

// The person's key in one of this provider's identifiers. Throws CalendarError(UnknownEntry) for
// anything else: other providers' identifiers, text that is not hexadecimal, "XXX", empty text.
QString entryIdKey(const char* providerTag, const QString& entryId);

} // namespace rv
