#pragma once

#include "calendar/service_profile.h"
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

// The entry identifier the program gives the user's principal on the server.
QString entryIdOn(const DavServer& server, const QString& user);

// The profile of alice reading the server at `url`.
ServiceProfile aliceProfile(const QUrl& url, int timeoutSeconds = 20);

} // namespace rv::test
