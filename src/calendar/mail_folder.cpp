#include "calendar/mail_folder.h"

#include "platform/desktop.h"

#include <QStringList>
#include <QUrl>
#include <QUrlQuery>

namespace rv {

namespace {

class MailtoMailItem : public MailItem {
public:
    explicit MailtoMailItem(Desktop& desktop) : desktop_(desktop) {}
    void SetSubject(const QString& subject) override { subject_ = subject; }
    void SetBody(const QString& body) override { body_ = body; }
    void AddRecipient(const QString& address) override { recipients_ << address; }
    void Display() override {
        QUrl url;
        url.setScheme(QStringLiteral("mailto"));
        url.setPath(recipients_.join(QLatin1Char(',')));
        QUrlQuery query;
        query.addQueryItem(QStringLiteral("subject"),
                           QString::fromLatin1(QUrl::toPercentEncoding(subject_)));
        query.addQueryItem(QStringLiteral("body"),
                           QString::fromLatin1(QUrl::toPercentEncoding(body_)));
        url.setQuery(query);
        if (!desktop_.openUrl(url))
            throw CalendarError(calendar_error::NotSupported,
                                QStringLiteral("No mail composer could be started."));
    }

private:
    Desktop& desktop_;
    QString subject_;
    QString body_;
    QStringList recipients_;
};

class MailItems : public CalendarItems {
public:
    explicit MailItems(Desktop& desktop) : desktop_(desktop) {}
    void SetIncludeRecurrences(bool) override {}
    std::unique_ptr<AppointmentItem> Find(const QString&) override { return nullptr; }
    std::unique_ptr<AppointmentItem> FindNext() override { return nullptr; }
    std::unique_ptr<MailItem> Add(const QString& messageClass) override {
        if (messageClass.compare(QLatin1String("IPM.Note"), Qt::CaseInsensitive) != 0)
            throw CalendarError(
                calendar_error::NotSupported,
                QStringLiteral("Items of class %1 cannot be created.").arg(messageClass));
        return std::make_unique<MailtoMailItem>(desktop_);
    }

private:
    Desktop& desktop_;
};

class MailFolder : public CalendarFolder {
public:
    explicit MailFolder(Desktop& desktop) : desktop_(desktop) {}
    std::unique_ptr<CalendarItems> Items() override {
        return std::make_unique<MailItems>(desktop_);
    }
    void Display() override {}

private:
    Desktop& desktop_;
};

} // namespace

std::shared_ptr<CalendarFolder> makeMailFolder(Desktop& desktop) {
    return std::make_shared<MailFolder>(desktop);
}

} // namespace rv
