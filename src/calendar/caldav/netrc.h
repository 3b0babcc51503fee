#pragma once

#include <QString>
#include <optional>

namespace rv::caldav {

// The password that a .netrc file gives for the login on the host (a "machine" entry, else the
// "default" one), or nothing when the file does not exist or names none.
//
// Throws CalendarError(LoginFailed) when the file can be read or written by anybody but its
// owner: a password in such a file is not the user's secret any more, and using it silently
// would keep it that way. Throws it as well, naming the file, when what is there is not a regular
// file (a FIFO or a device, which is never waited on) or is far larger than a .netrc can be.
std::optional<QString> netrcPassword(const QString& netrcPath, const QString& host,
                                     const QString& login);

} // namespace rv::caldav
