#pragma once

#include "calendar/calendar_service.h"
#include "calendar/mail_folder.h"

namespace rv::test {

// A mail application whose inbox is the program's real mail folder, so that a feedback mail
// reaches the given desktop as the program would hand it over. Anything but the "MAPI" namespace
// and its inbox fails as an unsupported call.
class MailClient : public CalendarApplication {
public:
    explicit MailClient(Desktop& desktop) : desktop_(desktop) {}

    std::shared_ptr<CalendarNamespace> GetNamespace(const QString& name) override {
        if (name != QLatin1String("MAPI"))
            throw CalendarError(calendar_error::NotSupported, QStringLiteral("no such namespace"));
        return std::make_shared<Namespace>(desktop_);
    }

private:
    class Namespace : public CalendarNamespace {
    public:
        explicit Namespace(Desktop& desktop) : desktop_(desktop) {}
        std::shared_ptr<CalendarRecipient> GetRecipientFromID(const QString&) override {
            unsupported();
        }
        std::shared_ptr<CalendarRecipient> CreateRecipient(const QString&) override {
            unsupported();
        }
        std::shared_ptr<CalendarFolder> GetSharedDefaultFolder(CalendarRecipient&, int) override {
            unsupported();
        }
        std::shared_ptr<CalendarFolder> GetDefaultFolder(int folderKind) override {
            if (folderKind != kFolderInbox)
                unsupported();
            return makeMailFolder(desktop_);
        }

    private:
        [[noreturn]] static void unsupported() {
            throw CalendarError(calendar_error::NotSupported, QStringLiteral("not supported"));
        }
        Desktop& desktop_;
    };

    Desktop& desktop_;
};

} // namespace rv::test
