#pragma once

// Files named without a directory, in the process's current working directory, with ASCII letter
// case ignored in every look-up, as the program's data files were named on the platform it came
// from. A file that exists under another spelling keeps that spelling; a new file gets the spelling
// asked for.

#include "platform/error.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

namespace rv {

// A file in the working directory could not be read, written, deleted or renamed. message() names
// the file and the reason and can be shown to the user as it is.
class FileError : public Error {
public:
    using Error::Error;
};

namespace workdir {

// The spelling under which an entry named `name`, ASCII case ignored, exists in the working
// directory (of any kind: a folder or a FIFO in a file's place is found, for its reader to
// refuse); the exact spelling wins when several match. nullopt when none does.
std::optional<QString> find(const QString& name);

bool exists(const QString& name);

// Takes the new content of a file piece by piece; throws FileError when the piece cannot be
// written.
using Sink = std::function<void(const QByteArray& piece)>;

// Replaces the file's whole content, or creates it, so that a crash, a full disk or a failed
// rename never leaves it half written: produce hands the bytes, in as many pieces as it likes, to
// a temporary file in the file's folder, which is flushed to disk and then renamed over the old
// file. A file reached through a symbolic link is replaced where the link leads, and the link
// stays. Temporary files that interrupted saves left beside the file are removed first. Throws
// FileError (or what produce throws); the old file is then left as it was.
void save(const QString& name, const std::function<void(const Sink&)>& produce);
void save(const QString& name, const QByteArray& bytes);

// Deletes the file when it exists. Throws FileError when it cannot be deleted.
void remove(const QString& name);

// Renames an existing file to the spelling `to`. Throws FileError when `from` does not exist, when
// a different file already answers to `to`, or when the rename fails.
void rename(const QString& from, const QString& to);

// For tests: called before each save, deletion and rename above changes anything, with "save",
// "remove" or "rename" and the file's name. A hook that throws stops the change there, as a
// failing disk or a crash would. An empty hook removes it.
using ChangeHook = std::function<void(const QString& change, const QString& name)>;
void setChangeHook(ChangeHook hook);

} // namespace workdir
} // namespace rv
