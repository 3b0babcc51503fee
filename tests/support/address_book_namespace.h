#pragma once

#include "calendar/calendar_service.h"

#include <QList>
#include <optional>

namespace rv::test {

// A calendar namespace that only resolves names against a fixed address book, the way the
// backends do: exactly one person whose display name, e-mail or user name equals the text (case
// ignored), else the only one whose display name or e-mail starts with it. Identifiers have the
// backends' shape. `failure` makes every look-up throw it, as a dead connection would.
class AddressBookNamespace : public CalendarNamespace {
public:
    struct Person {
        QString user;
        QString name;
        QString email;
    };

    static QString entryIdOf(const QString& user) {
        QByteArray raw =
            QByteArray(4, '\0') + QByteArray("RotaviewLocal") + QByteArray(3, '\0') + user.toUtf8();
        if (raw.size() < 80)
            raw.append(80 - raw.size(), '\0');
        return QString::fromLatin1(raw.toHex().toUpper());
    }

    QList<Person> people;
    std::optional<CalendarError> failure;
    QStringList lookedUp;

    std::shared_ptr<CalendarRecipient> CreateRecipient(const QString& name) override {
        lookedUp << name;
        return std::make_shared<Recipient>(*this, name);
    }
    std::shared_ptr<CalendarRecipient> GetRecipientFromID(const QString&) override {
        throw CalendarError(calendar_error::NotSupported, QStringLiteral("not in this test"));
    }
    std::shared_ptr<CalendarFolder> GetSharedDefaultFolder(CalendarRecipient&, int) override {
        throw CalendarError(calendar_error::NotSupported, QStringLiteral("not in this test"));
    }
    std::shared_ptr<CalendarFolder> GetDefaultFolder(int) override {
        throw CalendarError(calendar_error::NotSupported, QStringLiteral("not in this test"));
    }

private:
    std::optional<Person> match(const QString& text) const {
        QList<Person> exact;
        QList<Person> prefix;
        for (const auto& p : people) {
            if (p.name.compare(text, Qt::CaseInsensitive) == 0 ||
                p.email.compare(text, Qt::CaseInsensitive) == 0 ||
                p.user.compare(text, Qt::CaseInsensitive) == 0)
                exact << p;
            else if (p.name.startsWith(text, Qt::CaseInsensitive) ||
                     p.email.startsWith(text, Qt::CaseInsensitive))
                prefix << p;
        }
        if (exact.size() == 1)
            return exact.first();
        if (exact.isEmpty() && prefix.size() == 1)
            return prefix.first();
        return std::nullopt;
    }

    class Recipient : public CalendarRecipient {
    public:
        Recipient(AddressBookNamespace& book, QString text) : book_(book), text_(std::move(text)) {}
        bool Resolve() override {
            if (book_.failure)
                throw *book_.failure;
            person_ = book_.match(text_);
            return Resolved();
        }
        bool Resolved() const override { return person_.has_value(); }
        QString Name() const override { return person_ ? person_->name : text_; }
        QString EntryID() const override { return person_ ? entryIdOf(person_->user) : QString(); }

    private:
        AddressBookNamespace& book_;
        QString text_;
        std::optional<Person> person_;
    };
};

} // namespace rv::test
