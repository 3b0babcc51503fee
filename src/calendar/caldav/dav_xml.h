#pragma once

#include <QByteArray>
#include <QDateTime>
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

    bool has(const QString& name) const { return props.contains(name); }
    QString text(const QString& name) const { return props.value(name).text.trimmed(); }
    bool isA(const QString& resourceKind) const {
        return props.value(prop::kResourceType).children.contains(resourceKind);
    }
};

// Throws CalendarError(ServerError) for text that is not a multistatus document.
std::vector<DavResource> parseMultistatus(const QByteArray& xml, const QUrl& requestUrl);

// Collection paths are compared without their closing slash.
bool samePath(const QString& a, const QString& b);
// The last segment of a path ("/dav/alice/" gives "alice").
QString lastSegment(const QString& path);

QByteArray propfindBody(const QStringList& props);
// principal-property-search for principals whose display name or calendar address contains
// the text, asking for the given properties.
QByteArray principalSearchBody(const QString& text, const QStringList& props);
// calendar-query for the events touching [from, to), asking for their iCalendar data.
QByteArray calendarQueryBody(const QDateTime& from, const QDateTime& to);

} // namespace rv::caldav
