#pragma once

#include "calendar/calendar_service.h"
#include "calendar/ical/restriction.h"

#include <QMap>
#include <QStringList>
#include <vector>

namespace rv::test {

// A calendar service held in memory, for tests of the program's side of the calendar seam.
// People are looked up by entry identifier; Find answers the items the filter selects in the
// order they were added (not sorted), as a service may.
class FakeCalendar : public CalendarNamespace {
public:
    struct Item {
        QDateTime start;
        QDateTime end;
        QString subject;
        int sensitivity = kSensitivityNormal;
        QString location;
    };
    struct Person {
        QString name;
        bool resolves = true;
        bool denied = false;
        std::vector<Item> items;
        // The service fails (NotConnected) when this person is looked up, or when their days
        // are read.
        bool lookUpFails = false;
        bool readFails = false;
    };

    // The people by entry identifier; an identifier not here is unknown to the service.
    QMap<QString, Person> people;

    // What the program asked for.
    QStringList lookedUp;      // identifiers given to GetRecipientFromID
    QStringList foldersOpened; // names whose calendar was requested
    QStringList filters;       // every Find filter, in order
    int itemsTaken = 0;        // Items() calls

    Person& add(const QString& id, const QString& name) {
        people.insert(id, Person{name, true, false, {}, false, false});
        return people[id];
    }

    std::shared_ptr<CalendarRecipient> GetRecipientFromID(const QString& entryId) override {
        lookedUp << entryId;
        if (!people.contains(entryId))
            throw CalendarError(calendar_error::UnknownEntry, QStringLiteral("unknown entry"));
        if (people[entryId].lookUpFails)
            throw CalendarError(calendar_error::NotConnected, QStringLiteral("service gone"));
        return std::make_shared<Recipient>(*this, entryId);
    }
    std::shared_ptr<CalendarRecipient> CreateRecipient(const QString&) override {
        throw CalendarError(calendar_error::NotSupported, QStringLiteral("not supported"));
    }
    std::shared_ptr<CalendarFolder> GetSharedDefaultFolder(CalendarRecipient& recipient,
                                                           int folderKind) override {
        auto* ours = dynamic_cast<Recipient*>(&recipient);
        if (!ours || folderKind != kFolderCalendar || !recipient.Resolved())
            throw CalendarError(calendar_error::NotSupported, QStringLiteral("not supported"));
        const Person& person = people[ours->id];
        foldersOpened << person.name;
        if (person.denied)
            throw CalendarError(calendar_error::CalendarDenied, QStringLiteral("access denied"));
        return std::make_shared<Folder>(*this, ours->id);
    }
    std::shared_ptr<CalendarFolder> GetDefaultFolder(int) override {
        throw CalendarError(calendar_error::NotSupported, QStringLiteral("not supported"));
    }

private:
    class Appointment : public AppointmentItem {
    public:
        explicit Appointment(const Item& item) : item_(item) {}
        QDateTime Start() const override { return item_.start; }
        QDateTime End() const override { return item_.end; }
        QString Subject() const override { return item_.subject; }
        int Sensitivity() const override { return item_.sensitivity; }
        QString Location() const override { return item_.location; }

    private:
        Item item_;
    };

    class Items : public CalendarItems {
    public:
        Items(FakeCalendar& calendar, const QString& id)
            : calendar_(calendar), items_(calendar.people[id].items),
              fails_(calendar.people[id].readFails) {}
        void SetIncludeRecurrences(bool) override {}
        std::unique_ptr<AppointmentItem> Find(const QString& filter) override {
            calendar_.filters << filter;
            if (fails_)
                throw CalendarError(calendar_error::NotConnected, QStringLiteral("service gone"));
            found_.clear();
            next_ = 0;
            // The program's own reading of the filter; one it cannot read throws BadFilter.
            const Restriction restriction = Restriction::parse(filter);
            for (const Item& item : items_) {
                Occurrence occurrence;
                setOccurrenceTimes(occurrence, item.start, item.end);
                if (restriction.matches(occurrence))
                    found_.push_back(item);
            }
            return FindNext();
        }
        std::unique_ptr<AppointmentItem> FindNext() override {
            if (next_ >= found_.size())
                return nullptr;
            return std::make_unique<Appointment>(found_[next_++]);
        }
        std::unique_ptr<MailItem> Add(const QString&) override {
            throw CalendarError(calendar_error::NotSupported, QStringLiteral("not supported"));
        }

    private:
        FakeCalendar& calendar_;
        const std::vector<Item>& items_;
        const bool fails_;
        std::vector<Item> found_;
        std::size_t next_ = 0;
    };

    class Folder : public CalendarFolder {
    public:
        Folder(FakeCalendar& calendar, const QString& id) : calendar_(calendar), id_(id) {}
        std::unique_ptr<CalendarItems> Items() override {
            ++calendar_.itemsTaken;
            return std::make_unique<FakeCalendar::Items>(calendar_, id_);
        }
        void Display() override {}

    private:
        FakeCalendar& calendar_;
        QString id_;
    };

    class Recipient : public CalendarRecipient {
    public:
        Recipient(FakeCalendar& calendar, const QString& entryId)
            : id(entryId), calendar_(calendar) {}
        const QString id;
        bool Resolve() override {
            resolved_ = calendar_.people[id].resolves;
            return resolved_;
        }
        bool Resolved() const override { return resolved_; }
        QString Name() const override { return calendar_.people[id].name; }
        QString EntryID() const override { return id; }

    private:
        FakeCalendar& calendar_;
        bool resolved_ = false;
    };
};

} // namespace rv::test
