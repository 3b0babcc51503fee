#include "calendar/caldav/caldav_session.h"

#include "calendar/caldav/caldav_log.h"
#include "calendar/caldav/dav_xml.h"
#include "calendar/caldav/netrc.h"
#include "calendar/service_profile.h"
#include "platform/prompts.h"

#include <QDir>
#include <QMetaObject>

namespace rv::caldav {

namespace {

using namespace calendar_error;

// The properties that name a calendar's version, in the order they are preferred, and the
// short name a version carries them under.
struct VersionProperty {
    const QString& name;
    QLatin1String tag;
};
const VersionProperty kVersionProperties[] = {{prop::kGetCtag, QLatin1String("getctag")},
                                              {prop::kSyncToken, QLatin1String("sync-token")},
                                              {prop::kGetEtag, QLatin1String("etag")}};

// Asked of a principal with Depth 1, so that on servers whose calendar home is the principal
// (Radicale) one request names the person and every calendar with its version. Not the
// sync-token: Radicale works it out by going through the history of every item, which costs a
// person's look-up several times over, and Radicale has getctag.
const QStringList& principalProps() {
    static const QStringList props = {prop::kDisplayName,
                                      prop::kResourceType,
                                      prop::kCalendarHomeSet,
                                      prop::kCalendarUserAddressSet,
                                      prop::kScheduleDefaultCalendar,
                                      prop::kSupportedComponents,
                                      prop::kGetContentType,
                                      prop::kCalendarOrder,
                                      prop::kGetCtag,
                                      prop::kGetEtag};
    return props;
}

// Asked of a calendar home with Depth 1. The sync-token stands in where getctag is missing.
const QStringList& calendarProps() {
    static const QStringList props = {prop::kDisplayName,         prop::kResourceType,
                                      prop::kSupportedComponents, prop::kGetContentType,
                                      prop::kCalendarOrder,       prop::kGetCtag,
                                      prop::kSyncToken,           prop::kGetEtag};
    return props;
}

// Collections are kept with their closing slash: SabreDAV leaves it off the resources it will
// not describe, and an entry identifier must not depend on that.
QString collectionPath(const QString& path) {
    return path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
}

QStringList mailAddresses(const DavResource& r) {
    QStringList out;
    for (const QString& href : r.props.value(prop::kCalendarUserAddressSet).hrefs)
        if (href.startsWith(QLatin1String("mailto:"), Qt::CaseInsensitive))
            out << href.mid(7);
    return out;
}

PrincipalEntry entryOf(const DavResource& r) {
    const QString path = collectionPath(r.path);
    return {path, r.text(prop::kDisplayName), mailAddresses(r), lastSegment(path)};
}

// A calendar that can hold events; a server that does not say holds every kind.
bool holdsEvents(const DavResource& r) {
    if (!r.isA(prop::kCalendar) || r.refusal() || (r.status != 0 && r.status != 200))
        return false;
    const QStringList comps = r.props.value(prop::kSupportedComponents).compNames;
    return comps.isEmpty() || comps.contains(QLatin1String("VEVENT"), Qt::CaseInsensitive);
}

QString versionOf(const DavResource& r) {
    for (const VersionProperty& v : kVersionProperties) {
        const QString value = r.text(v.name);
        if (!value.isEmpty())
            return v.tag + QLatin1Char('=') + value;
    }
    return {};
}

// The properties to ask for a calendar's version again: the one it was named by, or all.
QStringList versionProps(const QString& version) {
    QStringList props;
    for (const VersionProperty& v : kVersionProperties)
        if (version.startsWith(v.tag + QLatin1Char('=')))
            return {v.name};
    for (const VersionProperty& v : kVersionProperties)
        props << v.name;
    return props;
}

CalendarRef calendarOf(const DavResource& r) {
    CalendarRef c;
    c.path = collectionPath(r.path);
    c.displayName = r.text(prop::kDisplayName);
    c.version = versionOf(r);
    c.offersWhole = r.text(prop::kGetContentType)
                        .startsWith(QLatin1String("text/calendar"), Qt::CaseInsensitive);
    bool ok = false;
    const int order = r.text(prop::kCalendarOrder).toInt(&ok);
    if (ok)
        c.order = order;
    return c;
}

const DavResource* resourceAt(const std::vector<DavResource>& resources, const QString& path) {
    for (const DavResource& r : resources)
        if (samePath(r.path, path))
            return &r;
    return nullptr;
}

QByteArray xmlType() {
    return QByteArrayLiteral("application/xml; charset=utf-8");
}

bool looksLikeCalendar(const HttpResponse& response) {
    return response.body.left(4096).contains("BEGIN:VCALENDAR");
}

// The principal path of a user next to the connected user's own ("/dav/principals/alice/"
// gives "/dav/principals/bob/").
QString siblingPrincipal(const QString& self, const QString& user) {
    QString parent = self;
    while (parent.endsWith(QLatin1Char('/')))
        parent.chop(1);
    parent = parent.left(parent.lastIndexOf(QLatin1Char('/')) + 1);
    return parent + user + QLatin1Char('/');
}

} // namespace

CalDavSession::CalDavSession(const ServiceProfile& profile, Prompts& prompts, Desktop& desktop)
    : server_(QUrl(profile.url)), user_(profile.user), wantedCalendar_(profile.calendar),
      profileName_(profile.path.isEmpty() ? QStringLiteral("calendar-service.ini") : profile.path),
      desktop_(desktop),
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
    if (profile.allowPlainHttp)
        http_.allowPlainHttp([&prompts, user = profile.user](const QUrl& url) {
            return prompts.question(
                nullptr,
                QStringLiteral("The calendar server %1 asks for the password of %2 over plain "
                               "http, without encryption: anyone on the network between here "
                               "and the server could read it.\n\nSend the password anyway?")
                    .arg(shownUrl(url), user),
                QStringLiteral("Calendar server"));
        });
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
    versions_.clear();
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
        // A server sending without end would do so for every person in turn.
        if (e.code() == NotConnected || e.code() == Timeout || e.code() == LoginFailed ||
            http_.lastAnswerTooLarge())
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
    if (response.status == 403 || response.status == 404 || response.status == 410)
        denied(calendarPath,
               QStringLiteral("the server answered HTTP status %1").arg(response.status));
    if (response.status != 207)
        throw CalendarError(ServerError,
                            QStringLiteral("The calendar server answered HTTP status %1 for %2.")
                                .arg(response.status)
                                .arg(shownUrl(url)));
}

void CalDavSession::notCalDav(const QString& why) {
    const CalendarError error(
        NotConnected,
        QStringLiteral("The calendar server address %1 does not answer like a CalDAV server (%2). "
                       "Set Url in the [CalDAV] section of %3 to the server's CalDAV address.")
            .arg(shownUrl(server_), why, profileName_));
    failure_ = error;
    throw error;
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
    // A web page, a server that knows no PROPFIND or a path it does not have: the address is
    // wrong, and every person looked up there would seem not to exist.
    if (response.status != 207)
        notCalDav(
            response.contentType.startsWith("text/html")
                ? QStringLiteral("it answered HTTP status %1 with a web page").arg(response.status)
                : QStringLiteral("it answered HTTP status %1").arg(response.status));
    std::vector<DavResource> resources;
    try {
        resources = parseMultistatus(response.body, url);
    } catch (const CalendarError&) {
        notCalDav(QStringLiteral("its answer is no WebDAV multistatus"));
    }
    QString principal;
    QStringList collections;
    for (const DavResource& r : resources) {
        const QStringList hrefs = r.props.value(prop::kCurrentUserPrincipal).hrefs;
        if (!hrefs.isEmpty())
            principal = collectionPath(hrefs.first());
        for (const QString& c : r.props.value(prop::kPrincipalCollectionSet).hrefs)
            collections << collectionPath(c);
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
    std::shared_ptr<const Principal> found;
    const auto place = places_.constFind(path);
    if (place != places_.cend()) {
        // One listing of the home stands for the principal: it still has its calendars there.
        if (calendarsIn(place->home).found) {
            auto p = std::make_shared<Principal>();
            p->access = Principal::Access::Found;
            p->entry = place->entry;
            p->homes = {place->home};
            p->defaultCalendar = place->defaultCalendar;
            found = p;
        } else {
            places_.remove(path);
        }
    }
    if (!found)
        found = fetchPrincipal(path);
    principals_.insert(path, found);
    return found;
}

std::shared_ptr<const Principal> CalDavSession::fetchPrincipal(const QString& path) {
    return principalFrom(path, send(principalRequest(path)));
}

HttpRequest CalDavSession::principalRequest(const QString& path) const {
    // Depth 1: on servers whose calendar home is the principal this also lists the calendars
    // with their versions, so that one request per person answers both.
    return {"PROPFIND", urlOf(path), propfindBody(principalProps()), xmlType(), "1", {}};
}

std::shared_ptr<const Principal> CalDavSession::principalFrom(const QString& path,
                                                              const HttpResponse& response) {
    auto p = std::make_shared<Principal>();
    p->entry.path = path;
    p->entry.userName = lastSegment(path);
    const QUrl url = urlOf(path);
    if (response.status == 403) {
        p->access = Principal::Access::Hidden;
        return p;
    }
    if (response.status != 207) {
        // Is it the person that is missing, or is the address no CalDAV server at all?
        currentUserPrincipal();
        if (response.status == 404 || response.status == 405 || response.status == 410)
            return p;
        throw CalendarError(ServerError,
                            QStringLiteral("The calendar server answered HTTP status %1 for %2.")
                                .arg(response.status)
                                .arg(shownUrl(url)));
    }
    const std::vector<DavResource> resources = parseMultistatus(response.body, url);
    const DavResource* self = resourceAt(resources, path);
    if (!self || self->refusal() == 404 || self->refusal() == 410)
        return p;
    if (self->refusal() == 403) {
        // SabreDAV shows a principal it will not describe as a 207 of 403s.
        p->access = Principal::Access::Hidden;
        return p;
    }
    if (!self->isA(prop::kPrincipal))
        return p;
    p->access = Principal::Access::Found;
    p->entry = entryOf(*self);
    p->entry.path = path;
    for (const QString& home : self->props.value(prop::kCalendarHomeSet).hrefs)
        p->homes << collectionPath(home);
    const QStringList defaults = self->props.value(prop::kScheduleDefaultCalendar).hrefs;
    if (!defaults.isEmpty())
        p->defaultCalendar = defaults.first();
    for (const DavResource& r : resources)
        if (&r != self && holdsEvents(r))
            p->calendarsBelow.push_back(calendarOf(r));
    return p;
}

CalDavSession::HomeListing CalDavSession::calendarsIn(const QString& home) {
    const auto known = homes_.constFind(home);
    if (known != homes_.cend())
        return *known;
    const HomeListing listing = homeFrom(home, send(homeRequest(home)));
    homes_.insert(home, listing);
    return listing;
}

HttpRequest CalDavSession::homeRequest(const QString& home) const {
    return {"PROPFIND", urlOf(home), propfindBody(calendarProps()), xmlType(), "1", {}};
}

CalDavSession::HomeListing CalDavSession::homeFrom(const QString& home,
                                                   const HttpResponse& response) const {
    const QUrl url = urlOf(home);
    HomeListing listing;
    if (response.status == 207) {
        const std::vector<DavResource> resources = parseMultistatus(response.body, url);
        const DavResource* self = resourceAt(resources, home);
        listing.found = self ? self->refusal() == 0 : !resources.empty();
        for (const DavResource& r : resources)
            if (&r != self && holdsEvents(r))
                listing.calendars.push_back(calendarOf(r));
    } else if (response.status != 403 && response.status != 404 && response.status != 410) {
        throw CalendarError(ServerError,
                            QStringLiteral("The calendar server answered HTTP status %1 for %2.")
                                .arg(response.status)
                                .arg(shownUrl(url)));
    }
    return listing;
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
        if (samePath(home, path)) {
            calendars = principal.calendarsBelow;
        } else {
            const HomeListing listing = calendarsIn(home);
            if (listing.found)
                places_.insert(path, Place{principal.entry, home, principal.defaultCalendar});
            calendars = listing.calendars;
        }
        if (!calendars.empty())
            break;
    }
    const auto chosen = chooseCalendar(calendars, principal.defaultCalendar, wantedCalendar_);
    if (!chosen)
        denied(path,
               QStringLiteral("%1 may read no calendar of %2").arg(user_, principal.entry.name()));
    versions_.insert(chosen->path, *chosen);
    return *chosen;
}

CalendarRef CalDavSession::refreshCalendar(const CalendarRef& calendar) {
    const auto known = versions_.constFind(calendar.path);
    if (known != versions_.cend())
        return *known;
    const QUrl url = urlOf(calendar.path);
    const HttpResponse response =
        send({"PROPFIND",
              url,
              propfindBody(QStringList{prop::kResourceType} + versionProps(calendar.version)),
              xmlType(),
              "0",
              {}});
    requireMultistatus(response, calendar.path, url);
    const std::vector<DavResource> resources = parseMultistatus(response.body, url);
    const DavResource* self = resourceAt(resources, calendar.path);
    if (!self || self->refusal())
        denied(calendar.path, QStringLiteral("the server answered HTTP status %1 for it")
                                  .arg(self ? self->refusal() : 404));
    CalendarRef fresh = calendar;
    fresh.version = versionOf(*self);
    versions_.insert(calendar.path, fresh);
    return fresh;
}

std::shared_ptr<const CalendarCopy> CalDavSession::calendarCopy(const CalendarRef& calendar) {
    if (auto kept = keptCopy(calendar.path);
        kept && !calendar.version.isEmpty() && kept->version() == calendar.version)
        return kept;
    if (calendar.offersWhole && !wholeRefused_.contains(calendar.path))
        if (auto copy = readWhole(calendar))
            return copy;
    return readByReport(calendar);
}

std::shared_ptr<const CalendarCopy> CalDavSession::keptCopy(const QString& calendarPath) {
    if (auto kept = copies_.value(calendarPath))
        return kept;
    const std::optional<CopyCache::Copy> stored =
        disk_->load(urlOf(QStringLiteral("/")).toString(), user_, calendarPath);
    if (!stored)
        return nullptr;
    auto copy = std::make_shared<const CalendarCopy>(stored->text, stored->version);
    copies_.insert(calendarPath, copy);
    return copy;
}

void CalDavSession::keep(const QString& calendarPath,
                         const std::shared_ptr<const CalendarCopy>& copy) {
    copies_.insert(calendarPath, copy);
    disk_->save(urlOf(QStringLiteral("/")).toString(), user_, calendarPath,
                {copy->version(), copy->text()});
}

std::shared_ptr<const CalendarCopy> CalDavSession::readWhole(const CalendarRef& calendar) {
    std::shared_ptr<const CalendarCopy> byEtag;
    const HttpRequest request = wholeRequest(calendar, byEtag);
    return wholeFrom(calendar, byEtag, send(request));
}

HttpRequest CalDavSession::wholeRequest(const CalendarRef& calendar,
                                        std::shared_ptr<const CalendarCopy>& byEtag) {
    // Without a version from the server, a copy read earlier is asked for by its ETag.
    QList<QByteArray> headers;
    if (calendar.version.isEmpty())
        if (auto kept = keptCopy(calendar.path);
            kept && kept->version().startsWith(QLatin1String("etag="))) {
            byEtag = kept;
            headers << "If-None-Match: " + kept->version().mid(5).toUtf8();
        }
    headers << QByteArrayLiteral("Accept: text/calendar");
    return {"GET", urlOf(calendar.path), {}, {}, {}, headers};
}

std::shared_ptr<const CalendarCopy>
CalDavSession::wholeFrom(const CalendarRef& calendar,
                         const std::shared_ptr<const CalendarCopy>& byEtag,
                         const HttpResponse& response) {
    if (response.status == 304 && byEtag)
        return byEtag;
    if (response.status == 403 || response.status == 404 || response.status == 410)
        denied(calendar.path,
               QStringLiteral("the server answered HTTP status %1").arg(response.status));
    if (response.status != 200 || !looksLikeCalendar(response)) {
        // Not offered after all (405, 406, 501, a web page): asked by calendar query from now on.
        qCInfo(caldavLog()).noquote()
            << "no whole calendar at" << calendar.path << "(HTTP" << response.status
            << response.contentType << "); asking with a calendar query for the rest of the run";
        wholeRefused_.insert(calendar.path);
        return nullptr;
    }
    const QString version = !calendar.version.isEmpty()
                                ? calendar.version
                                : (response.etag.isEmpty() ? QString()
                                                           : QStringLiteral("etag=") +
                                                                 QString::fromUtf8(response.etag));
    auto copy = std::make_shared<const CalendarCopy>(response.body, version);
    keep(calendar.path, copy);
    return copy;
}

std::shared_ptr<const CalendarCopy> CalDavSession::readByReport(const CalendarRef& calendar) {
    return reportFrom(calendar, send(reportRequest(calendar)));
}

HttpRequest CalDavSession::reportRequest(const CalendarRef& calendar) const {
    return {"REPORT", urlOf(calendar.path), calendarQueryBody(), xmlType(), "1", {}};
}

std::shared_ptr<const CalendarCopy> CalDavSession::reportFrom(const CalendarRef& calendar,
                                                              const HttpResponse& response) {
    const QUrl url = urlOf(calendar.path);
    requireMultistatus(response, calendar.path, url);
    const std::vector<DavResource> resources = parseMultistatus(response.body, url);
    // SabreDAV answers a query of a calendar the user may not read with a 207 whose items'
    // data are 403: not an empty calendar.
    for (const DavResource& r : resources)
        if (r.refusal() == 403 || r.failed.value(prop::kCalendarData) == 403)
            denied(calendar.path, QStringLiteral("the server does not let %1 read it").arg(user_));
    auto copy = std::make_shared<const CalendarCopy>(calendarDataOf(resources), calendar.version);
    keep(calendar.path, copy);
    return copy;
}

std::vector<PrincipalEntry> CalDavSession::searchPrincipals(const QString& name) {
    std::vector<PrincipalEntry> out;
    if (!searchOffered_)
        return out;
    // By display name; an e-mail address also by SabreDAV's e-mail property and the standard
    // calendar address, each a search of its own.
    QStringList searched{prop::kDisplayName};
    if (name.contains(QLatin1Char('@')))
        searched << prop::kSabreEmail << prop::kCalendarUserAddressSet;
    for (const QString& collection : principalCollections_) {
        for (const QString& property : searched) {
            const QUrl url = urlOf(collection);
            const QString text =
                property == prop::kCalendarUserAddressSet ? QStringLiteral("mailto:") + name : name;
            const HttpResponse response =
                send({"REPORT",
                      url,
                      principalSearchBody(
                          text, property,
                          {prop::kDisplayName, prop::kCalendarUserAddressSet, prop::kResourceType}),
                      xmlType(),
                      "0",
                      {}});
            std::vector<DavResource> resources;
            if (response.status == 207)
                resources = parseMultistatus(response.body, url);
            // Servers without the search answer an error, or a 207 holding one (Xandikos); an
            // empty answer (Radicale) only says that nobody matched.
            const bool refused = response.status != 207 ||
                                 std::any_of(resources.begin(), resources.end(),
                                             [](const DavResource& r) { return r.status >= 400; });
            if (refused) {
                qCInfo(caldavLog()).noquote()
                    << "no principal search at" << collection << "(HTTP" << response.status << ")";
                searchOffered_ = false;
                return out;
            }
            for (const DavResource& r : resources)
                if (!r.path.isEmpty())
                    out.push_back(entryOf(r));
            if (!out.empty())
                return out;
        }
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

    // A principal's path, as a user of a server without principal search may type it.
    if (text.startsWith(QLatin1Char('/'))) {
        const auto p = principal(collectionPath(text));
        if (p->access != Principal::Access::Found)
            return std::nullopt;
        return p->entry;
    }

    // The server's own search, where it has one.
    std::vector<PrincipalEntry> candidates = searchPrincipals(text);

    // The user of that name next to the connected user's principal; for an e-mail address,
    // the user of its local part, if the principal has that address.
    const qsizetype at = text.indexOf(QLatin1Char('@'));
    const QString user = at >= 0 ? text.left(at) : text;
    if (!user.isEmpty() && !user.contains(QLatin1Char('/'))) {
        const auto p = principal(siblingPrincipal(self, user));
        if (p->access == Principal::Access::Found &&
            (at < 0 || p->entry.addresses.contains(text, Qt::CaseInsensitive)))
            candidates.push_back(p->entry);
    }

    // The principals the connected user can list.
    if (candidates.empty())
        candidates = listPrincipals();
    return matchPrincipal(candidates, text);
}

} // namespace rv::caldav
