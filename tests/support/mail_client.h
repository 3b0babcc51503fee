#pragma once

#include "calendar/calendar_service.h"
#include "calendar/mail_folder.h"

#include <QStringList>

namespace rv::test {

// A mail application whose inbox is the program's real mail folder, so that a feedback mail
// reaches the given desktop as the program would hand it over. Records the names and folder
// kinds asked for; everything else fails as an unsupported call.
class MailClient : public CalendarApplication {
public:
    struct Log {
        QStringList namespaces;
        QList<int> folderKinds;
    };

    MailClient(Desktop& desktop, Log& log) : desktop_(desktop), log_(log) {}

    std::shared_ptr<CalendarNamespace> GetNamespace(const QString& name) override {
        log_.namespaces << name;
        if (name != QLatin1String("MAPI"))
            throw CalendarError(calendar_error::NotSupported, QStringLiteral("no such namespace"));
        return std::make_shared<Namespace>(desktop_, log_);
    }

private:
    class Namespace : public CalendarNamespace {
    public:
        Namespace(Desktop& desktop, Log& log) : desktop_(desktop), log_(log) {}
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
            log_.folderKinds << folderKind;
            if (folderKind != kFolderInbox)
                unsupported();
            return makeMailFolder(desktop_);
        }

    private:
        [[noreturn]] static void unsupported() {
            throw CalendarError(calendar_error::NotSupported, QStringLiteral("not supported"));
        }
        Desktop& desktop_;
        Log& log_;
    };

    Desktop& desktop_;
    Log& log_;
};

} // namespace rv::test
