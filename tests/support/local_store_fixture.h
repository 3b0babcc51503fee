#pragma once

#include "calendar/calendar_service.h"
#include "support/recording_desktop.h"
#include "support/scripted_prompts.h"

#include <QDir>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

namespace rv::test {

// A local calendar store written by a test: an address book, calendars and reader lists, and the
// namespace of the real local-store backend over it.
class LocalStoreFixture {
public:
    explicit LocalStoreFixture(const QString& connectedUser = QStringLiteral("me"));

    QString folder() const { return dir_.path(); }

    // What the backend hands to the desktop (a folder's Display) and the boxes it shows.
    RecordingDesktop desktop;
    ScriptedPrompts prompts;

    // Adds a person to the address book (people.vcf is rewritten).
    void addPerson(const QString& user, const QString& displayName, const QString& email = {});
    void removePerson(const QString& user);
    // Writes the person's calendar: VEVENT bodies wrapped in one VCALENDAR.
    void setEvents(const QString& user, const QStringList& vevents);
    // Writes the person's calendar file as given.
    void setCalendarText(const QString& user, const QByteArray& text);
    void removeCalendar(const QString& user);
    // Who may read the person's calendar; an empty list removes the .readers file.
    void setReaders(const QString& user, const QStringList& readers);

    // The real local-store backend over this folder (a fresh application each call).
    std::unique_ptr<CalendarApplication> openApplication();
    std::shared_ptr<CalendarNamespace> openNamespace();
    // The entry identifier the store gives a person.
    QString entryIdOf(const QString& nameOrUser);

    // A VEVENT with local floating times "yyyy-MM-ddThh:mm".
    static QString event(const QString& start, const QString& end, const QString& subject,
                         const QString& extra = {});

private:
    struct Person {
        QString user, displayName, email;
    };
    void writeAddressBook();
    QTemporaryDir dir_;
    QString connectedUser_;
    QList<Person> people_;
    std::vector<std::unique_ptr<CalendarApplication>> applications_;
};

} // namespace rv::test
