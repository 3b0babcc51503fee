#pragma once

#include <QByteArray>
#include <QStringList>

namespace rv {

// Who may read a calendar (calendars/<user>.readers): one user name, e-mail address or "*" (for
// everyone) per line; blank lines and lines starting with "#" are ignored.
class ReadersList {
public:
    static ReadersList parse(const QByteArray& text);
    // Whether any of the reader's names (user name, e-mail) is on the list, case ignored.
    bool allows(const QStringList& readerNames) const;

private:
    QStringList entries_;
};

} // namespace rv
