#include "calendar/caldav/caldav_application.h"

#include "calendar/caldav/caldav_session.h"
#include "calendar/caldav/dav_http.h"
#include "calendar/caldav/dav_xml.h"
#include "calendar/ical/entry_id.h"
#include "calendar/ical/expanded_calendar.h"
#include "calendar/ical/occurrence_items.h"
#include "calendar/mail_folder.h"
#include "platform/desktop.h"

namespace rv {

namespace caldav {

namespace {

using namespace calendar_error;

class CalDavRecipient : public CalendarRecipient {
public:
    // From an entry identifier: the principal is known, only whether it exists is not.
    static std::shared_ptr<CalDavRecipient> fromPath(std::shared_ptr<CalDavSession> session,
                                                     const QString& path) {
        auto r = std::make_shared<CalDavRecipient>(std::move(session));
        r->path_ = path;
        r->name_ = lastSegment(path);
        return r;
    }
    // From a typed name, looked up by Resolve.
    static std::shared_ptr<CalDavRecipient> fromName(std::shared_ptr<CalDavSession> session,
                                                     const QString& name) {
        auto r = std::make_shared<CalDavRecipient>(std::move(session));
        r->byName_ = true;
        r->typed_ = name;
        r->name_ = name;
        return r;
    }

    explicit CalDavRecipient(std::shared_ptr<CalDavSession> session)
        : session_(std::move(session)) {}

    bool Resolve() override {
        if (!byName_) {
            const auto p = session_->principal(path_);
            // A principal the server will not show still exists as far as its identifier goes:
            // its calendar is the one that cannot be opened.
            resolved_ = p->access != Principal::Access::Missing;
            if (p->access == Principal::Access::Found)
                name_ = p->entry.name();
            return resolved_;
        }
        const auto found = session_->findPrincipal(typed_);
        resolved_ = found.has_value();
        if (found) {
            path_ = found->path;
            name_ = found->name();
        } else {
            path_.clear();
            name_ = typed_;
        }
        return resolved_;
    }
    bool Resolved() const override { return resolved_; }
    QString Name() const override { return name_; }
    QString EntryID() const override {
        if (path_.isEmpty())
            throw CalendarError(UnknownEntry,
                                QStringLiteral("\"%1\" has no entry identifier: it was not found "
                                               "on the calendar server.")
                                    .arg(name_));
        return makeEntryId(kCalDavProviderTag, path_);
    }

    const QString& path() const { return path_; }

private:
    std::shared_ptr<CalDavSession> session_;
    bool byName_ = false;
    QString typed_; // the name looked up
    QString path_;
    QString name_;
    bool resolved_ = false;
};

// A person's calendar as the folder's item collections see it: read whole from the server on
// the first query, then kept for the rest of the operation.
class CalDavCalendarSource : public OccurrenceSource {
public:
    CalDavCalendarSource(std::shared_ptr<CalDavSession> session, CalendarRef calendar)
        : session_(std::move(session)), calendar_(std::move(calendar)),
          generation_(session_->generation()) {}

    OccurrenceList occurrences(const std::optional<TimeWindow>& window) override {
        return copy()->occurrences(window);
    }
    OccurrenceList events() override { return copy()->events(); }

    const CalendarRef& calendar() const { return calendar_; }

private:
    std::shared_ptr<const CalendarCopy> copy() {
        if (generation_ != session_->generation()) {
            // A folder kept into a later operation asks whether its calendar has changed.
            calendar_ = session_->refreshCalendar(calendar_);
            generation_ = session_->generation();
            copy_.reset();
        }
        if (!copy_)
            copy_ = session_->calendarCopy(calendar_);
        return copy_;
    }

    std::shared_ptr<CalDavSession> session_;
    CalendarRef calendar_;
    quint64 generation_;
    std::shared_ptr<const CalendarCopy> copy_;
};

class CalDavFolder : public CalendarFolder {
public:
    CalDavFolder(std::shared_ptr<CalDavSession> session, CalendarRef calendar)
        : session_(session),
          source_(std::make_shared<CalDavCalendarSource>(session, std::move(calendar))) {}

    std::unique_ptr<CalendarItems> Items() override {
        return std::make_unique<OccurrenceItems>(source_);
    }
    void Display() override {
        session_->desktop().openUrl(session_->urlOf(source_->calendar().path));
    }

private:
    std::shared_ptr<CalDavSession> session_;
    std::shared_ptr<CalDavCalendarSource> source_;
};

class CalDavNamespace : public CalendarNamespace {
public:
    explicit CalDavNamespace(std::shared_ptr<CalDavSession> session)
        : session_(std::move(session)) {}

    std::shared_ptr<CalendarRecipient> GetRecipientFromID(const QString& entryId) override {
        return CalDavRecipient::fromPath(session_, entryIdKey(kCalDavProviderTag, entryId));
    }
    std::shared_ptr<CalendarRecipient> CreateRecipient(const QString& name) override {
        return CalDavRecipient::fromName(session_, name);
    }
    std::shared_ptr<CalendarFolder> GetSharedDefaultFolder(CalendarRecipient& recipient,
                                                           int folderKind) override {
        if (folderKind != kFolderCalendar)
            throw CalendarError(
                NotSupported,
                QStringLiteral("A calendar server shares no folder of kind %1.").arg(folderKind));
        auto* ours = dynamic_cast<CalDavRecipient*>(&recipient);
        if (!ours)
            throw CalendarError(UnknownEntry,
                                QStringLiteral("The recipient is not one of this calendar "
                                               "server's."));
        if (ours->path().isEmpty() && !ours->Resolve())
            throw CalendarError(CalendarDenied,
                                QStringLiteral("There is no calendar of \"%1\" on the calendar "
                                               "server.")
                                    .arg(ours->Name()));
        return calendarOf(ours->path());
    }
    void prefetchMonths(const QStringList& entryIds, int month, int year) override {
        if (month < 1 || month > 12)
            return;
        QStringList paths;
        for (const QString& entryId : entryIds) {
            try {
                paths << entryIdKey(kCalDavProviderTag, entryId);
            } catch (const CalendarError&) {
                // Not one of this server's: the build finds so itself.
            }
        }
        session_->prefetch(paths, ExpandedCalendar::monthIndex(year, month));
    }

    std::shared_ptr<CalendarFolder> GetDefaultFolder(int folderKind) override {
        if (folderKind == kFolderInbox)
            return makeMailFolder(session_->desktop());
        if (folderKind == kFolderCalendar)
            return calendarOf(session_->currentUserPrincipal());
        throw CalendarError(
            NotSupported,
            QStringLiteral("A calendar server has no folder of kind %1.").arg(folderKind));
    }

private:
    std::shared_ptr<CalendarFolder> calendarOf(const QString& principalPath) {
        const auto principal = session_->principal(principalPath);
        return std::make_shared<CalDavFolder>(session_, session_->defaultCalendar(*principal));
    }

    std::shared_ptr<CalDavSession> session_;
};

class CalDavApplication : public CalendarApplication {
public:
    explicit CalDavApplication(std::shared_ptr<CalDavSession> session)
        : session_(session), namespace_(std::make_shared<CalDavNamespace>(session)) {}

    std::shared_ptr<CalendarNamespace> GetNamespace(const QString& name) override {
        if (name.compare(QLatin1String("MAPI"), Qt::CaseInsensitive) != 0)
            throw CalendarError(
                NotSupported,
                QStringLiteral("The calendar service has no namespace \"%1\".").arg(name));
        return namespace_;
    }

    CalDavSession& session() { return *session_; }

private:
    std::shared_ptr<CalDavSession> session_;
    std::shared_ptr<CalDavNamespace> namespace_;
};

} // namespace

CalDavSession* sessionOf(CalendarApplication& application) {
    auto* ours = dynamic_cast<CalDavApplication*>(&application);
    return ours ? &ours->session() : nullptr;
}

} // namespace caldav

std::unique_ptr<CalendarApplication> openCalDavApplication(const ServiceProfile& profile,
                                                           const CalendarServiceContext& context) {
    using namespace calendar_error;
    const QString where =
        profile.path.isEmpty() ? QStringLiteral("the calendar service profile") : profile.path;
    const QUrl url(profile.url);
    const QString scheme = url.scheme().toLower();
    if (profile.url.isEmpty())
        throw CalendarError(NotConnected,
                            QStringLiteral("%1 names no calendar server: set Url in its [CalDAV] "
                                           "section.")
                                .arg(where));
    if (!url.isValid() || url.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        throw CalendarError(NotConnected,
                            QStringLiteral("The calendar server address \"%1\" in %2 is not an "
                                           "http or https address.")
                                .arg(caldav::shownAddress(profile.url), where));
    if (scheme == QLatin1String("http") && !caldav::isLoopback(url) && !profile.allowPlainHttp)
        throw CalendarError(
            NotConnected,
            QStringLiteral("The calendar server address %1 in %2 is plain http to another "
                           "machine: passwords and calendars would travel unencrypted. Use the "
                           "server's https address, or set AllowPlainHttp=true in the [CalDAV] "
                           "section to accept that (you are asked before a password is sent).")
                .arg(caldav::shownUrl(url), where));
    if (profile.user.isEmpty())
        throw CalendarError(NotConnected,
                            QStringLiteral("%1 names no user for the calendar server: set User in "
                                           "its [CalDAV] section.")
                                .arg(where));
    return std::make_unique<caldav::CalDavApplication>(
        std::make_shared<caldav::CalDavSession>(profile, context.prompts, context.desktop));
}

} // namespace rv
