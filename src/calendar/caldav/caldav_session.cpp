#include "calendar/caldav/caldav_session.h"

#include "calendar/caldav/caldav_log.h"
#include "calendar/caldav/dav_xml.h"
#include "calendar/caldav/netrc.h"
#include "calendar/service_profile.h"
#include "platform/prompts.h"

#include <QDir>
#include <QMetaObject>
#include <algorithm>

namespace rv::caldav {

namespace {

using namespace calendar_error;

// DATE and floating times are compared as UTC by some servers (Radicale): a window asked of the
// server is widened by the largest distance of a time zone from UTC.
constexpr qint64 kZoneWideningSeconds = 14 * 3600;
// Copies kept per calendar when it is read a span at a time.
constexpr size_t kKeptSpans = 4;

// Versions are asked as getctag or the collection's ETag: Radicale works out a sync-token by
// going through the history of every item, which costs a person's look-up several times over.
const QStringList& principalProps() {
    static const QStringList props = {prop::kDisplayName,
                                      prop::kResourceType,
                                      prop::kCalendarHomeSet,
                                      prop::kCalendarUserAddressSet,
                                      prop::kScheduleDefaultCalendar,
                                      prop::kSupportedComponents,
                                      prop::kGetCtag,
                                      prop::kGetEtag};
    return props;
}

const QStringList& calendarProps() {
    static const QStringList props = {prop::kDisplayName,         prop::kResourceType,
                                      prop::kSupportedComponents, prop::kGetCtag,
                                      prop::kSyncToken,           prop::kGetEtag};
    return props;
}

QStringList mailAddresses(const DavResource& r) {
    QStringList out;
    for (const QString& href : r.props.value(prop::kCalendarUserAddressSet).hrefs)
        if (href.startsWith(QLatin1String("mailto:"), Qt::CaseInsensitive))
            out << href.mid(7);
    return out;
}

PrincipalEntry entryOf(const DavResource& r) {
    return {r.path, r.text(prop::kDisplayName), mailAddresses(r), lastSegment(r.path)};
}

// A calendar that can hold events; a server that does not say holds every kind.
bool holdsEvents(const DavResource& r) {
    if (!r.isA(prop::kCalendar))
        return false;
    const QStringList comps = r.props.value(prop::kSupportedComponents).compNames;
    return comps.isEmpty() || comps.contains(QLatin1String("VEVENT"), Qt::CaseInsensitive);
}

QString versionOf(const DavResource& r) {
    for (const QString& name : {prop::kGetCtag, prop::kSyncToken, prop::kGetEtag}) {
        const QString v = r.text(name);
        if (!v.isEmpty())
            return name + QLatin1Char('=') + v;
    }
    return {};
}

CalendarRef calendarOf(const DavResource& r) {
    return {r.path, r.text(prop::kDisplayName), versionOf(r)};
}

QByteArray xmlType() {
    return QByteArrayLiteral("application/xml; charset=utf-8");
}

bool looksLikeCalendar(const HttpResponse& response) {
    return response.body.left(4096).contains("BEGIN:VCALENDAR");
}

} // namespace

CalDavSession::CalDavSession(const ServiceProfile& profile, Prompts& prompts, Desktop& desktop)
    : server_(QUrl(profile.url)), user_(profile.user), desktop_(desktop),
      http_(
          profile.user,
          [url = QUrl(profile.url), user = profile.user, &prompts,
           asked = std::make_shared<bool>(false)]() -> QString {
              const QString netrc = QDir::homePath() + QStringLiteral("/.netrc");
              if (auto password = netrcPassword(netrc, url.host(), user))
                  return *password;
              if (*asked)
                  throw CalendarError(LoginFailed,
                                      QStringLiteral("No password was given for %1 on the "
                                                     "calendar server %2.")
                                          .arg(user, shownUrl(url)));
              *asked = true;
              const auto answer =
                  prompts.input(nullptr,
                                QStringLiteral("Password of %1 on the calendar server %2:")
                                    .arg(user, shownUrl(url)),
                                QStringLiteral("Calendar server"), QString(), true);
              if (!answer)
                  throw CalendarError(LoginFailed,
                                      QStringLiteral("No password was given for %1 on the "
                                                     "calendar server %2.")
                                          .arg(user, shownUrl(url)));
              return *answer;
          },
          profile.timeoutSeconds) {
    if (!server_.path().endsWith(QLatin1Char('/')))
        server_.setPath(server_.path() + QLatin1Char('/'));
}

CalDavSession::~CalDavSession() = default;

QUrl CalDavSession::urlOf(const QString& path) const {
    QUrl url = server_;
    url.setUserInfo(QString());
    url.setPath(path, QUrl::DecodedMode);
    return url;
}

void CalDavSession::touchOperation() {
    if (operationOpen_)
        return;
    operationOpen_ = true;
    // Runs when control is back in the event loop, that is when the operation is over.
    QMetaObject::invokeMethod(
        &operationGuard_, [this] { endOperation(); }, Qt::QueuedConnection);
}

void CalDavSession::endOperation() {
    operationOpen_ = false;
    ++generation_;
    principals_.clear();
    homes_.clear();
    listing_.reset();
    failure_.reset();
}

HttpResponse CalDavSession::send(HttpRequest request) {
    touchOperation();
    if (failure_)
        throw *failure_;
    try {
        return http_.send(request);
    } catch (const CalendarError& e) {
        if (e.code() == NotConnected || e.code() == Timeout || e.code() == LoginFailed)
            failure_ = e;
        throw;
    }
}

void CalDavSession::denied(const QString& path, const QString& why) const {
    throw CalendarError(
        CalendarDenied,
        QStringLiteral("The calendar at %1 cannot be opened: %2.").arg(shownUrl(urlOf(path)), why));
}

void CalDavSession::requireMultistatus(const HttpResponse& response, const QString& calendarPath,
                                       const QUrl& url) const {
    if (response.status == 403 || response.status == 404)
        denied(calendarPath,
               QStringLiteral("the server answered HTTP status %1").arg(response.status));
    if (response.status != 207)
        throw CalendarError(ServerError,
                            QStringLiteral("The calendar server answered HTTP status %1 for %2.")
                                .arg(response.status)
                                .arg(shownUrl(url)));
}

QString CalDavSession::currentUserPrincipal() {
    if (!currentUserPrincipal_.isEmpty())
        return currentUserPrincipal_;
    const QUrl url = urlOf(server_.path());
    const HttpResponse response =
        send({"PROPFIND",
              url,
              propfindBody({prop::kCurrentUserPrincipal, prop::kPrincipalCollectionSet}),
              xmlType(),
              "0",
              {}});
    QString principal;
    QStringList collections;
    if (response.status == 207) {
        for (const DavResource& r : parseMultistatus(response.body, url)) {
            const QStringList hrefs = r.props.value(prop::kCurrentUserPrincipal).hrefs;
            if (!hrefs.isEmpty())
                principal = hrefs.first();
            collections << r.props.value(prop::kPrincipalCollectionSet).hrefs;
        }
    }
    // Servers that do not say keep their users below the address given (as Radicale does).
    if (principal.isEmpty())
        principal = server_.path(QUrl::FullyDecoded) + user_ + QLatin1Char('/');
    if (collections.isEmpty())
        collections << server_.path(QUrl::FullyDecoded);
    collections.removeDuplicates();
    currentUserPrincipal_ = principal;
    principalCollections_ = collections;
    return currentUserPrincipal_;
}

std::shared_ptr<const Principal> CalDavSession::principal(const QString& path) {
    touchOperation();
    if (auto known = principals_.value(path))
        return known;
    auto found = fetchPrincipal(path);
    principals_.insert(path, found);
    return found;
}

std::shared_ptr<const Principal> CalDavSession::fetchPrincipal(const QString& path) {
    auto p = std::make_shared<Principal>();
    p->entry.path = path;
    p->entry.userName = lastSegment(path);
    const QUrl url = urlOf(path);
    // Depth 1: on servers whose calendar home is the principal this also lists the calendars
    // with their versions, so that one request per person answers both.
    const HttpResponse response =
        send({"PROPFIND", url, propfindBody(principalProps()), xmlType(), "1", {}});
    if (response.status == 403) {
        p->access = Principal::Access::Hidden;
        return p;
    }
    if (response.status == 404 || response.status == 405 || response.status == 410) {
        p->access = Principal::Access::Missing;
        return p;
    }
    if (response.status != 207)
        throw CalendarError(ServerError,
                            QStringLiteral("The calendar server answered HTTP status %1 for %2.")
                                .arg(response.status)
                                .arg(shownUrl(url)));
    const std::vector<DavResource> resources = parseMultistatus(response.body, url);
    const auto self = std::find_if(resources.begin(), resources.end(),
                                   [&](const DavResource& r) { return samePath(r.path, path); });
    if (self == resources.end() || !self->isA(prop::kPrincipal))
        return p;
    p->access = Principal::Access::Found;
    p->entry = entryOf(*self);
    p->entry.path = path;
    p->homes = self->props.value(prop::kCalendarHomeSet).hrefs;
    const QStringList defaults = self->props.value(prop::kScheduleDefaultCalendar).hrefs;
    if (!defaults.isEmpty())
        p->defaultCalendar = defaults.first();
    for (const DavResource& r : resources)
        if (&r != &*self && holdsEvents(r) && (r.status == 0 || r.status == 200))
            p->calendarsBelow.push_back(calendarOf(r));
    return p;
}

std::vector<CalendarRef> CalDavSession::calendarsIn(const QString& home) {
    if (homes_.contains(home))
        return homes_.value(home);
    const QUrl url = urlOf(home);
    const HttpResponse response =
        send({"PROPFIND", url, propfindBody(calendarProps()), xmlType(), "1", {}});
    std::vector<CalendarRef> calendars;
    if (response.status == 207) {
        for (const DavResource& r : parseMultistatus(response.body, url))
            if (holdsEvents(r) && (r.status == 0 || r.status == 200))
                calendars.push_back(calendarOf(r));
    } else if (response.status != 403 && response.status != 404) {
        throw CalendarError(ServerError,
                            QStringLiteral("The calendar server answered HTTP status %1 for %2.")
                                .arg(response.status)
                                .arg(shownUrl(url)));
    }
    homes_.insert(home, calendars);
    return calendars;
}

CalendarRef CalDavSession::defaultCalendar(const Principal& principal) {
    const QString& path = principal.entry.path;
    if (principal.access == Principal::Access::Missing)
        denied(path, QStringLiteral("there is no such person on the server"));
    if (principal.access == Principal::Access::Hidden)
        denied(path, QStringLiteral("the server does not let %1 read it").arg(user_));
    std::vector<CalendarRef> calendars;
    const QStringList homes = principal.homes.isEmpty() ? QStringList{path} : principal.homes;
    for (const QString& home : homes) {
        const bool below = samePath(home, path);
        for (const CalendarRef& c : below ? principal.calendarsBelow : calendarsIn(home))
            calendars.push_back(c);
        if (!calendars.empty())
            break;
    }
    if (calendars.empty())
        denied(path,
               QStringLiteral("%1 may read no calendar of %2").arg(user_, principal.entry.name()));
    if (!principal.defaultCalendar.isEmpty())
        for (const CalendarRef& c : calendars)
            if (samePath(c.path, principal.defaultCalendar))
                return c;
    // Without a calendar marked default, the first in a stable order: servers list a folder's
    // members in no particular order.
    return *std::min_element(
        calendars.begin(), calendars.end(),
        [](const CalendarRef& a, const CalendarRef& b) { return a.path < b.path; });
}

CalendarRef CalDavSession::refreshCalendar(const CalendarRef& calendar) {
    const QUrl url = urlOf(calendar.path);
    const HttpResponse response =
        send({"PROPFIND",
              url,
              propfindBody({prop::kResourceType, prop::kGetCtag, prop::kSyncToken, prop::kGetEtag}),
              xmlType(),
              "0",
              {}});
    requireMultistatus(response, calendar.path, url);
    CalendarRef fresh = calendar;
    for (const DavResource& r : parseMultistatus(response.body, url))
        if (samePath(r.path, calendar.path))
            fresh.version = versionOf(r);
    return fresh;
}

std::shared_ptr<const CalendarCopy>
CalDavSession::calendarCopy(const CalendarRef& calendar, const std::optional<TimeWindow>& window) {
    auto& kept = copies_[calendar.path];
    if (!calendar.version.isEmpty())
        for (const auto& copy : kept)
            if (copy->version() == calendar.version && copy->covers(window))
                return copy;
    if (readMode_ == ReadMode::Whole && !wholeReadUnsupported_.value(calendar.path)) {
        if (auto copy = readWhole(calendar))
            return copy;
    }
    return readByReport(calendar, window);
}

std::shared_ptr<const CalendarCopy> CalDavSession::readWhole(const CalendarRef& calendar) {
    auto& kept = copies_[calendar.path];
    // Without a version from the server, a copy read earlier is asked for by its ETag.
    QList<QByteArray> headers;
    std::shared_ptr<const CalendarCopy> byEtag;
    if (calendar.version.isEmpty())
        for (const auto& copy : kept)
            if (copy->version().startsWith(QLatin1String("etag=")) && copy->covers({})) {
                byEtag = copy;
                headers << "If-None-Match: " + copy->version().mid(5).toUtf8();
            }
    const QUrl url = urlOf(calendar.path);
    headers << QByteArrayLiteral("Accept: text/calendar");
    const HttpResponse response = send({"GET", url, {}, {}, {}, headers});
    if (response.status == 304 && byEtag)
        return byEtag;
    if (response.status == 403 || response.status == 404)
        denied(calendar.path,
               QStringLiteral("the server answered HTTP status %1").arg(response.status));
    if (response.status != 200 || !looksLikeCalendar(response)) {
        // Not every server hands out a whole calendar; those answer calendar queries.
        qCInfo(caldavLog()).noquote() << "no whole calendar at" << calendar.path << "(HTTP"
                                      << response.status << "); asking with calendar queries";
        wholeReadUnsupported_.insert(calendar.path, true);
        return nullptr;
    }
    const QString version = !calendar.version.isEmpty()
                                ? calendar.version
                                : (response.etag.isEmpty() ? QString()
                                                           : QStringLiteral("etag=") +
                                                                 QString::fromUtf8(response.etag));
    auto copy = std::make_shared<const CalendarCopy>(IcalCalendar::parse(response.body), version,
                                                     std::nullopt);
    kept.assign(1, copy);
    return copy;
}

std::shared_ptr<const CalendarCopy>
CalDavSession::readByReport(const CalendarRef& calendar, const std::optional<TimeWindow>& window) {
    const QUrl url = urlOf(calendar.path);
    std::optional<TimeWindow> span;
    QByteArray body;
    if (window && window->fromMinute <= window->toMinute) {
        span = CalendarCopy::monthsAround(*window);
        const QDateTime from =
            fromWallMinute(span->fromMinute).addSecs(-kZoneWideningSeconds).toUTC();
        const QDateTime to =
            fromWallMinute(span->toMinute + 1).addSecs(kZoneWideningSeconds).toUTC();
        body = calendarQueryBody(from, to);
    } else {
        body = calendarQueryBody(QDateTime(QDate(1900, 1, 1), QTime(0, 0), Qt::UTC),
                                 QDateTime(QDate(2200, 1, 1), QTime(0, 0), Qt::UTC));
    }
    const HttpResponse response = send({"REPORT", url, body, xmlType(), "1", {}});
    requireMultistatus(response, calendar.path, url);
    QByteArray text;
    for (const DavResource& r : parseMultistatus(response.body, url)) {
        const QString data = r.props.value(prop::kCalendarData).text;
        if (!data.isEmpty())
            text += data.toUtf8() + "\r\n";
    }
    auto copy =
        std::make_shared<const CalendarCopy>(IcalCalendar::parse(text), calendar.version, span);
    auto& kept = copies_[calendar.path];
    std::erase_if(kept, [&](const auto& c) { return c->version() != calendar.version; });
    if (kept.size() >= kKeptSpans)
        kept.erase(kept.begin());
    kept.push_back(copy);
    return copy;
}

std::vector<PrincipalEntry> CalDavSession::searchPrincipals(const QString& name) {
    std::vector<PrincipalEntry> out;
    for (const QString& collection : principalCollections_) {
        const QUrl url = urlOf(collection);
        const HttpResponse response =
            send({"REPORT",
                  url,
                  principalSearchBody(name, {prop::kDisplayName, prop::kCalendarUserAddressSet,
                                             prop::kResourceType}),
                  xmlType(),
                  "0",
                  {}});
        // Servers without the search answer an error or an empty list; both mean "ask
        // otherwise".
        if (response.status != 207) {
            qCInfo(caldavLog()).noquote()
                << "no principal search at" << collection << "(HTTP" << response.status << ")";
            continue;
        }
        for (const DavResource& r : parseMultistatus(response.body, url))
            if (!r.path.isEmpty() && (r.status == 0 || r.status == 200))
                out.push_back(entryOf(r));
    }
    return out;
}

std::vector<PrincipalEntry> CalDavSession::listPrincipals() {
    if (listing_)
        return *listing_;
    std::vector<PrincipalEntry> out;
    for (const QString& collection : principalCollections_) {
        const QUrl url = urlOf(collection);
        const HttpResponse response = send(
            {"PROPFIND",
             url,
             propfindBody({prop::kDisplayName, prop::kResourceType, prop::kCalendarUserAddressSet}),
             xmlType(),
             "1",
             {}});
        if (response.status != 207)
            continue;
        for (const DavResource& r : parseMultistatus(response.body, url))
            if (r.isA(prop::kPrincipal) && !samePath(r.path, collection))
                out.push_back(entryOf(r));
    }
    listing_ = out;
    return out;
}

std::optional<PrincipalEntry> CalDavSession::findPrincipal(const QString& name) {
    const QString text = name.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    const QString self = currentUserPrincipal();

    // 1. The server's own search, where it has one.
    const std::vector<PrincipalEntry> searched = searchPrincipals(text);
    if (!searched.empty())
        return matchPrincipal(searched, text);

    // 2. A user of that name, at the place the connected user's principal has.
    if (!text.contains(QLatin1Char('/'))) {
        QString parent = self;
        while (parent.endsWith(QLatin1Char('/')))
            parent.chop(1);
        parent = parent.left(parent.lastIndexOf(QLatin1Char('/')) + 1);
        const auto p = principal(parent + text + QLatin1Char('/'));
        if (p->access == Principal::Access::Found)
            return p->entry;
    }

    // 3. The principals the connected user can list.
    return matchPrincipal(listPrincipals(), text);
}

} // namespace rv::caldav
