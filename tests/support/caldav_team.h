#pragma once

#include "support/dav_servers.h"

namespace rv::test {

// The team the CalDAV tests read, with its calendars in tests/data/caldav/: alice (the connected
// user) and bob read each other's calendars; bob keeps a birthday calendar ("bdays", shown as
// "Birthdays") listed before his own; carol shares hers with nobody. Xandikos lets everybody
// read everything: there carol has no calendar at all, which cannot be opened either.
QList<DavPerson> caldavTeam(DavServer::Kind kind);
DavPerson teamMember(const QList<DavPerson>& team, const QString& user);

// A file of tests/data/caldav/.
QByteArray caldavData(const QString& name);

// Starts the server with the team and the extra people (who get empty calendars), and fills the
// team's calendars; false with server.error() set otherwise.
bool startTeam(DavServer& server, const QList<DavPerson>& extra = {});

} // namespace rv::test
