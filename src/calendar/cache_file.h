#pragma once

// Files the calendar backends keep between runs in the user's cache folder,
// $XDG_CACHE_HOME/Vantrel (~/.cache/Vantrel): expanded months of the local store's calendars,
// copies of CalDAV calendars. They hold other people's appointments, so only the user can read
// them (folders 0700, files 0600). A cache file is a convenience, never the truth: one that is
// missing, damaged, cut short, written by another version of the program or not a regular file
// reads as nothing, and its owner reads the calendar again and writes the file anew. A file is
// written whole or not at all (a temporary file renamed into place), so a crash or two programs
// writing at once leave either the old file or a new one.

#include <QByteArray>
#include <QString>
#include <optional>

namespace rv::cache_file {

// What a cache file holds: files of one kind are never read as another.
enum class Kind : quint32 { ExpandedMonth = 1, CalDavCopy = 2 };

// The folder `name` in the program's cache folder, made (private to the user) when missing; empty
// when it cannot be made.
QString folder(const QString& name);

// The payload of the cache file at path, or nothing (see above).
std::optional<QByteArray> read(const QString& path, Kind kind);

// Writes the cache file; false (logged under rotaview.calendar) when it cannot be written.
bool write(const QString& path, Kind kind, const QByteArray& payload);

// A file name for a key: the same key gives the same name, different keys practically never do.
QString nameFor(const QByteArray& key);

} // namespace rv::cache_file
