#include "support/caldav_team.h"

#include "calendar/ical/entry_id.h"
#include "support/data_files.h"

namespace rv::test {

QList<DavPerson> caldavTeam(DavServer::Kind kind) {
    DavPerson alice{QStringLiteral("alice"),
                    QStringLiteral("alice-pw"),
                    QStringLiteral("Alice Liddell"),
                    QStringLiteral("alice@example.org"),
                    {QStringLiteral("bob")}};
    DavPerson bob{
        QStringLiteral("bob"),
        QStringLiteral("bob-pw"),
        QStringLiteral("Bob Builder"),
        QStringLiteral("bob@example.org"),
        {QStringLiteral("alice")},
        {{QStringLiteral("bdays"), QStringLiteral("Birthdays")}, {QStringLiteral("calendar"), {}}}};
    DavPerson carol{QStringLiteral("carol"),
                    QStringLiteral("carol-pw"),
                    QStringLiteral("Carol Singer"),
                    QStringLiteral("carol@example.org"),
                    {}};
    if (kind == DavServer::Kind::Xandikos)
        carol.calendars.clear();
    return {alice, bob, carol};
}

DavPerson teamMember(const QList<DavPerson>& team, const QString& user) {
    return *std::find_if(team.begin(), team.end(),
                         [&](const DavPerson& p) { return p.user == user; });
}

QByteArray caldavData(const QString& name) {
    return dataFile(QStringLiteral("caldav/") + name);
}

bool startTeam(DavServer& server, const QList<DavPerson>& extra) {
    const QList<DavPerson> team = caldavTeam(server.kind());
    if (!server.start(team + extra, QStringLiteral("alice")))
        return false;
    for (const DavPerson& p : team)
        for (const DavCalendar& c : p.calendars) {
            // bob.ics holds bob's calendar "calendar", bob-bdays.ics his calendar "bdays".
            const QString file = c.name == QLatin1String("calendar")
                                     ? p.user + QStringLiteral(".ics")
                                     : p.user + QLatin1Char('-') + c.name + QStringLiteral(".ics");
            if (!server.putEvents(p, server.calendarPath(p.user, c.name), caldavData(file)))
                return false;
        }
    return true;
}

QString entryIdOn(const DavServer& server, const QString& user) {
    return makeEntryId(kCalDavProviderTag, server.principalPath(user));
}

ServiceProfile aliceProfile(const QUrl& url, int timeoutSeconds) {
    ServiceProfile p;
    p.backend = QStringLiteral("caldav");
    p.url = url.toString();
    p.user = QStringLiteral("alice");
    p.timeoutSeconds = timeoutSeconds;
    return p;
}

} // namespace rv::test
