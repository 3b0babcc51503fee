#pragma once

// Files named without a directory, in the process's current working directory, with ASCII letter
// case ignored in every look-up, as the program's data files were named on the platform it came
// from. A file that exists under another spelling keeps that spelling; a new file gets the spelling
// asked for.

#include "platform/error.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace rv {

// A file in the working directory could not be read, written, deleted or renamed. message() names
// the file and the reason and can be shown to the user as it is.
class FileError : public Error {
public:
    using Error::Error;
};

namespace workdir {

// The spelling under which a file (anything but a folder) named `name`, ASCII case ignored, exists
// in the working directory; the exact spelling wins when several match. nullopt when none does.
std::optional<QString> find(const QString& name);

bool exists(const QString& name);

// Replaces the file's whole content, or creates it, so that a crash, a full disk or a failed
// rename never leaves it half written: the bytes go to a temporary file in the same folder, which
// is flushed to disk and then renamed over the old file. Throws FileError; the old file is then
// left as it was.
void save(const QString& name, const QByteArray& bytes);

// Deletes the file when it exists. Throws FileError when it cannot be deleted.
void remove(const QString& name);

// Renames an existing file to the spelling `to`. Throws FileError when `from` does not exist, when
// a different file already answers to `to`, or when the rename fails.
void rename(const QString& from, const QString& to);

} // namespace workdir
} // namespace rv
