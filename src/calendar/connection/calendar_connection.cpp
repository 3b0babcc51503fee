#include "calendar/connection/calendar_connection.h"

#include "calendar/caldav/caldav_application.h"
#include "calendar/local/local_store.h"

namespace rv {

namespace {

class UnavailableNamespace : public CalendarNamespace {
public:
    explicit UnavailableNamespace(QString reason) : reason_(std::move(reason)) {}
    std::shared_ptr<CalendarRecipient> GetRecipientFromID(const QString&) override { fail(); }
    std::shared_ptr<CalendarRecipient> CreateRecipient(const QString&) override { fail(); }
    std::shared_ptr<CalendarFolder> GetSharedDefaultFolder(CalendarRecipient&, int) override {
        fail();
    }
    std::shared_ptr<CalendarFolder> GetDefaultFolder(int) override { fail(); }

private:
    [[noreturn]] void fail() const { throw CalendarError(calendar_error::NotConnected, reason_); }
    QString reason_;
};

} // namespace

std::unique_ptr<CalendarApplication> openCalendarApplication(const ServiceProfile& profile,
                                                             const CalendarServiceContext& context) {
    if (profile.backend == QLatin1String("local"))
        return openLocalStore(profile, context.desktop);
    if (profile.backend == QLatin1String("caldav"))
        return openCalDavApplication(profile, context);
    throw CalendarError(calendar_error::NotConnected,
                        QStringLiteral("The calendar service \"%1\" named in %2 is not available.")
                            .arg(profile.backend, profile.path.isEmpty()
                                                      ? QStringLiteral("the default profile")
                                                      : profile.path));
}

std::shared_ptr<CalendarNamespace> unavailableNamespace(const QString& reason) {
    return std::make_shared<UnavailableNamespace>(reason);
}

} // namespace rv
