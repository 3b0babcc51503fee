#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <vector>

namespace rv::caldav {

// Property names as "{namespace}local-name".
namespace prop {
inline const QString kDisplayName = QStringLiteral("{DAV:}displayname");
inline const QString kResourceType = QStringLiteral("{DAV:}resourcetype");
inline const QString kCurrentUserPrincipal = QStringLiteral("{DAV:}current-user-principal");
inline const QString kPrincipalCollectionSet = QStringLiteral("{DAV:}principal-collection-set");
inline const QString kSyncToken = QStringLiteral("{DAV:}sync-token");
inline const QString kGetEtag = QStringLiteral("{DAV:}getetag");
inline const QString kGetContentType = QStringLiteral("{DAV:}getcontenttype");
inline const QString kCalendarHomeSet =
    QStringLiteral("{urn:ietf:params:xml:ns:caldav}calendar-home-set");
inline const QString kCalendarUserAddressSet =
    QStringLiteral("{urn:ietf:params:xml:ns:caldav}calendar-user-address-set");
inline const QString kScheduleDefaultCalendar =
    QStringLiteral("{urn:ietf:params:xml:ns:caldav}schedule-default-calendar-URL");
inline const QString kSupportedComponents =
    QStringLiteral("{urn:ietf:params:xml:ns:caldav}supported-calendar-component-set");
inline const QString kCalendarData = QStringLiteral("{urn:ietf:params:xml:ns:caldav}calendar-data");
inline const QString kGetCtag = QStringLiteral("{http://calendarserver.org/ns/}getctag");
inline const QString kCalendarOrder = QStringLiteral("{http://apple.com/ns/ical/}calendar-order");
// SabreDAV searches principals by e-mail under this name, not by calendar-user-address-set.
inline const QString kSabreEmail = QStringLiteral("{http://sabredav.org/ns}email-address");
// Element names inside resourcetype.
inline const QString kPrincipal = QStringLiteral("{DAV:}principal");
inline const QString kCollection = QStringLiteral("{DAV:}collection");
inline const QString kCalendar = QStringLiteral("{urn:ietf:params:xml:ns:caldav}calendar");
} // namespace prop

// One property value as found in a multistatus answer.
struct DavProperty {
    QString text;          // the text content (all of it, for calendar-data)
    QStringList hrefs;     // paths of the href children, decoded
    QStringList children;  // names of the child elements ("{DAV:}collection")
    QStringList compNames; // name attributes of CalDAV comp children ("VEVENT")
};

// One resource of a multistatus answer, with the properties the server found (status 200).
struct DavResource {
    QString path;   // decoded path
    int status = 0; // status of the whole response, 0 when given per property
    QHash<QString, DavProperty> props;
    // Properties asked for that came back with an error status (404 unknown, 403 not shown).
    QHash<QString, int> failed;

    bool has(const QString& name) const { return props.contains(name); }
    QString text(const QString& name) const { return props.value(name).text.trimmed(); }
    bool isA(const QString& resourceKind) const {
        return props.value(prop::kResourceType).children.contains(resourceKind);
    }
    // 403 or 404 when the server would not show the resource, else 0. Servers say so in the
    // HTTP status, as the status of the resource's response (Xandikos: 207 holding a 404), or
    // as the status of every property asked (SabreDAV: 207 holding 403 propstats).
    int refusal() const;
};

// Throws CalendarError(ServerError) for text that is not a multistatus document.
std::vector<DavResource> parseMultistatus(const QByteArray& xml, const QUrl& requestUrl);

// Collection paths are compared without their closing slash.
bool samePath(const QString& a, const QString& b);
// The last segment of a path ("/dav/alice/" gives "alice").
QString lastSegment(const QString& path);

QByteArray propfindBody(const QStringList& props);
// principal-property-search for principals whose property `searched` contains the text, asking
// for the given properties. One property per search: SabreDAV applies every property-search of
// a request at once, whatever its test attribute says.
QByteArray principalSearchBody(const QString& text, const QString& searched,
                               const QStringList& props);
// calendar-query for every event of a calendar with its iCalendar data. No time range: servers
// differ in how they apply one to recurring events (Xandikos drops a series that began earlier).
QByteArray calendarQueryBody();
// The iCalendar data of a calendar-query answer, one VCALENDAR after another.
QByteArray calendarDataOf(const std::vector<DavResource>& resources);

} // namespace rv::caldav
