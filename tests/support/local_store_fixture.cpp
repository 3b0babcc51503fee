#include "support/local_store_fixture.h"

#include "calendar/connection/calendar_connection.h"
#include "calendar/service_profile.h"

#include <QDateTime>
#include <QFile>
#include <QUuid>

namespace rv::test {

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    file.write(bytes);
}

QString icalTime(const QString& local) {
    return QDateTime::fromString(local, QStringLiteral("yyyy-MM-ddTHH:mm"))
        .toString(QStringLiteral("yyyyMMddTHHmmss"));
}

} // namespace

LocalStoreFixture::LocalStoreFixture(const QString& connectedUser) : connectedUser_(connectedUser) {
    QDir(dir_.path()).mkpath(QStringLiteral("calendars"));
    writeAddressBook();
}

void LocalStoreFixture::addPerson(const QString& user, const QString& displayName,
                                  const QString& email) {
    people_.append(
        {user, displayName, email.isEmpty() ? user + QStringLiteral("@example.org") : email});
    writeAddressBook();
}

void LocalStoreFixture::removePerson(const QString& user) {
    people_.removeIf([&](const Person& p) { return p.user == user; });
    writeAddressBook();
}

void LocalStoreFixture::writeAddressBook() {
    QByteArray vcf;
    for (const Person& p : people_) {
        vcf += "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:" + p.user.toUtf8() +
               "\r\nFN:" + p.displayName.toUtf8() + "\r\nEMAIL:" + p.email.toUtf8() +
               "\r\nEND:VCARD\r\n";
    }
    writeFile(dir_.filePath(QStringLiteral("people.vcf")), vcf);
}

void LocalStoreFixture::setEvents(const QString& user, const QStringList& vevents) {
    QByteArray ics = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Rotaview tests//EN\r\n";
    for (const QString& e : vevents)
        ics += e.toUtf8();
    ics += "END:VCALENDAR\r\n";
    setCalendarText(user, ics);
}

void LocalStoreFixture::setCalendarText(const QString& user, const QByteArray& text) {
    writeFile(dir_.filePath(QStringLiteral("calendars/%1.ics").arg(user)), text);
}

void LocalStoreFixture::removeCalendar(const QString& user) {
    QFile::remove(dir_.filePath(QStringLiteral("calendars/%1.ics").arg(user)));
}

void LocalStoreFixture::setReaders(const QString& user, const QStringList& readers) {
    const QString path = dir_.filePath(QStringLiteral("calendars/%1.readers").arg(user));
    if (readers.isEmpty()) {
        QFile::remove(path);
        return;
    }
    writeFile(path, readers.join(QLatin1Char('\n')).toUtf8() + '\n');
}

std::unique_ptr<CalendarApplication> LocalStoreFixture::openApplication() {
    ServiceProfile profile;
    profile.backend = QStringLiteral("local");
    profile.folder = dir_.path();
    profile.user = connectedUser_;
    return openCalendarApplication(profile, CalendarServiceContext{prompts, desktop});
}

std::shared_ptr<CalendarNamespace> LocalStoreFixture::openNamespace() {
    applications_.push_back(openApplication());
    return applications_.back()->GetNamespace(QStringLiteral("MAPI"));
}

QString LocalStoreFixture::entryIdOf(const QString& nameOrUser) {
    auto ns = openNamespace();
    auto recipient = ns->CreateRecipient(nameOrUser);
    recipient->Resolve();
    if (!recipient->Resolved())
        qFatal("%s does not resolve", qPrintable(nameOrUser));
    return recipient->EntryID();
}

QString LocalStoreFixture::event(const QString& start, const QString& end, const QString& subject,
                                 const QString& extra) {
    return QStringLiteral("BEGIN:VEVENT\r\nUID:%1\r\nDTSTAMP:20200101T000000Z\r\nDTSTART:%2\r\n"
                          "DTEND:%3\r\nSUMMARY:%4\r\n%5END:VEVENT\r\n")
        .arg(QUuid::createUuid().toString(QUuid::WithoutBraces), icalTime(start), icalTime(end),
             subject, extra);
}

} // namespace rv::test
