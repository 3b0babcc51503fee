#pragma once

#include "calendar/calendar_service.h"
#include "calendar/ical/entry_id.h"
#include "calendar/ical/name_match.h"

#include <optional>
#include <vector>

namespace rv::test {

// A calendar namespace that resolves names against a fixed address book by the backends' own
// matching rule and hands out the local store's identifiers. `failure` makes every look-up throw
// it, as a dead connection would.
class AddressBookNamespace : public CalendarNamespace {
public:
    struct Person {
        QString user;
        QString name;
        QString email;
    };

    static QString entryIdOf(const QString& user) { return makeEntryId(kLocalProviderTag, user); }

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
    class Recipient : public CalendarRecipient {
    public:
        Recipient(AddressBookNamespace& book, QString text) : book_(book), text_(std::move(text)) {}
        bool Resolve() override {
            if (book_.failure)
                throw *book_.failure;
            std::vector<NameKeys> keys;
            for (const Person& p : book_.people)
                keys.push_back({p.name, {p.email}, p.user});
            const int found = matchName(keys, text_);
            if (found >= 0)
                person_ = book_.people.at(found);
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
