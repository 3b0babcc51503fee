#include "board/board_grid.h"
#include "board/board_services.h"
#include "board/form1.h"
#include "calendar/day_query.h"
#include "groups/group_files.h"
#include "calendar/caldav/caldav_application.h"
#include "calendar/connection/calendar_connection.h"
#include "calendar/caldav/caldav_session.h"
#include "calendar/ical/entry_id.h"
#include "calendar/service_profile.h"
#include "support/local_store_fixture.h"
#include "support/memory_settings.h"
#include "support/radicale_server.h"
#include "support/recording_desktop.h"
#include "support/scripted_prompts.h"
#include "support/temp_workdir.h"

#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace rv;
using namespace rv::test;

namespace {

const RadicaleServer::User kAlice{QStringLiteral("alice"), QStringLiteral("alice-pw")};
const RadicaleServer::User kBob{QStringLiteral("bob"), QStringLiteral("bob-pw")};
const RadicaleServer::User kCarol{QStringLiteral("carol"), QStringLiteral("carol-pw")};
const RadicaleServer::User kRobert{QStringLiteral("robert"), QStringLiteral("robert-pw")};
const RadicaleServer::User kLongName{QString(90, QLatin1Char('x')), QStringLiteral("long-pw")};

// Everyone reads and writes their own collections and sees every principal; alice and bob read
// each other's calendars; carol's and robert's are their own.
const char kRights[] = R"([own]
user: .+
collection: {user}(/.*)?
permissions: RrWw

[alice-reads-bob]
user: alice
collection: bob/[^/]+
permissions: r

[bob-reads-alice]
user: bob
collection: alice/[^/]+
permissions: r

[principals]
user: .+
collection: [^/]+
permissions: R

[root]
user: .+
collection:
permissions: R
)";

// Bob's March 2024, in floating times so that the expected times hold in any time zone: a weekly
// series with one date excluded and one occurrence moved, an all-day and a multi-day event,
// private and confidential items and one ending exactly at midnight.
const char kBobCalendar[] = "BEGIN:VCALENDAR\r\n"
                            "VERSION:2.0\r\n"
                            "PRODID:-//Rotaview tests//EN\r\n"
                            "BEGIN:VEVENT\r\n"
                            "UID:weekly\r\n"
                            "DTSTAMP:20240101T000000Z\r\n"
                            "DTSTART:20240304T090000\r\n"
                            "DTEND:20240304T100000\r\n"
                            "RRULE:FREQ=WEEKLY;COUNT=5\r\n"
                            "EXDATE:20240311T090000\r\n"
                            "SUMMARY:Team meeting\r\n"
                            "LOCATION:Room 1\r\n"
                            "END:VEVENT\r\n"
                            "BEGIN:VEVENT\r\n"
                            "UID:weekly\r\n"
                            "DTSTAMP:20240101T000000Z\r\n"
                            "RECURRENCE-ID:20240318T090000\r\n"
                            "DTSTART:20240319T140000\r\n"
                            "DTEND:20240319T150000\r\n"
                            "SUMMARY:Team meeting moved\r\n"
                            "END:VEVENT\r\n"
                            "BEGIN:VEVENT\r\n"
                            "UID:holiday\r\n"
                            "DTSTAMP:20240101T000000Z\r\n"
                            "DTSTART;VALUE=DATE:20240306\r\n"
                            "DTEND;VALUE=DATE:20240307\r\n"
                            "SUMMARY:Holiday\r\n"
                            "END:VEVENT\r\n"
                            "BEGIN:VEVENT\r\n"
                            "UID:trip\r\n"
                            "DTSTAMP:20240101T000000Z\r\n"
                            "DTSTART:20240313T220000\r\n"
                            "DTEND:20240315T020000\r\n"
                            "SUMMARY:Conference trip\r\n"
                            "END:VEVENT\r\n"
                            "BEGIN:VEVENT\r\n"
                            "UID:doctor\r\n"
                            "DTSTAMP:20240101T000000Z\r\n"
                            "DTSTART:20240320T120000\r\n"
                            "DTEND:20240320T130000\r\n"
                            "CLASS:PRIVATE\r\n"
                            "SUMMARY:Doctor\r\n"
                            "LOCATION:Clinic\r\n"
                            "END:VEVENT\r\n"
                            "BEGIN:VEVENT\r\n"
                            "UID:interview\r\n"
                            "DTSTAMP:20240101T000000Z\r\n"
                            "DTSTART:20240321T080000\r\n"
                            "DTEND:20240321T090000\r\n"
                            "CLASS:CONFIDENTIAL\r\n"
                            "SUMMARY:Interview\r\n"
                            "END:VEVENT\r\n"
                            "BEGIN:VEVENT\r\n"
                            "UID:late\r\n"
                            "DTSTAMP:20240101T000000Z\r\n"
                            "DTSTART:20240326T230000\r\n"
                            "DTEND:20240327T000000\r\n"
                            "SUMMARY:Late call\r\n"
                            "END:VEVENT\r\n"
                            "END:VCALENDAR\r\n";

QByteArray oneEvent(const QString& uid, const QString& start, const QString& end,
                    const QString& subject) {
    return QStringLiteral("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Rotaview tests//EN\r\n"
                          "BEGIN:VEVENT\r\nUID:%1\r\nDTSTAMP:20240101T000000Z\r\nDTSTART:%2\r\n"
                          "DTEND:%3\r\nSUMMARY:%4\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n")
        .arg(uid, start, end, subject)
        .toUtf8();
}

// HOME pointed at a folder of the test's own, with or without a .netrc, for one test.
class TempHome {
public:
    TempHome() : previous_(qgetenv("HOME")) { qputenv("HOME", dir_.path().toUtf8()); }
    ~TempHome() { qputenv("HOME", previous_); }
    void writeNetrc(const QString& text, mode_t mode = 0600) {
        const QString path = dir_.filePath(QStringLiteral(".netrc"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text.toUtf8());
        file.close();
        QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode), 0);
    }

private:
    QTemporaryDir dir_;
    QByteArray previous_;
};

// One person's month as the board reads it: the identifier looked up and resolved when the row
// is added and again for the person's pass, the calendar opened, then every day queried. Each
// day lists "hh:mm-hh:mm subject (sensitivity) location".
QMap<int, QStringList> readMonth(CalendarNamespace& ns, const QString& entryId, int month,
                                 int year) {
    QMap<int, QStringList> days;
    auto added = ns.GetRecipientFromID(entryId);
    if (!added->Resolve())
        return days;
    auto person = ns.GetRecipientFromID(entryId);
    person->Resolve();
    auto folder = ns.GetSharedDefaultFolder(*person, kFolderCalendar);
    const int last = QDate(year, month, 1).daysInMonth();
    for (int d = 1; d <= last; ++d) {
        DayQueryResult result = query_day(*folder, d, month, year);
        if (result.failure)
            throw *result.failure;
        for (const auto& item : result.items)
            days[d] << QStringLiteral("%1-%2 %3 (%4) %5")
                           .arg(item->Start().toString(QStringLiteral("dd hh:mm")),
                                item->End().toString(QStringLiteral("dd hh:mm")), item->Subject())
                           .arg(item->Sensitivity())
                           .arg(item->Location())
                           .trimmed();
    }
    return days;
}

// Returning to the event loop ends the operation, as it does between two clicks of the user.
void endOperation() {
    QCoreApplication::processEvents();
}

} // namespace

class CalDavTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void resolvesPeopleByNameAndIdentifier();
    void readsASharedCalendarInFull();
    void readsTheSameWithCalendarQueries();
    void answersLikeTheLocalStore();
    void deniedCalendarsCannotBeOpened();
    void costsOneRequestPerPersonWhenNothingChanged();
    void passwordComesFromAPrivateNetrcOrOnePrompt();
    void serverFailuresAreClearAndBounded();
    void boardShowsDeniedCalendarsAndOutlivesADeadServer();

private:
    ServiceProfile profile(int timeoutSeconds = 20) const;
    std::unique_ptr<CalendarApplication> open(const ServiceProfile& p);
    QString idOf(const QString& user) const {
        return makeEntryId(kCalDavProviderTag, QLatin1Char('/') + user + QLatin1Char('/'));
    }

    RadicaleServer server_;
    RecordingDesktop desktop_;
    ScriptedPrompts prompts_;
    std::unique_ptr<TempHome> home_;
};

ServiceProfile CalDavTest::profile(int timeoutSeconds) const {
    ServiceProfile p;
    p.backend = QStringLiteral("caldav");
    p.url = server_.url().toString();
    p.user = kAlice.name;
    p.timeoutSeconds = timeoutSeconds;
    return p;
}

std::unique_ptr<CalendarApplication> CalDavTest::open(const ServiceProfile& p) {
    return openCalDavApplication(p, CalendarServiceContext{prompts_, desktop_});
}

void CalDavTest::initTestCase() {
    QVERIFY2(server_.start({kAlice, kBob, kCarol, kRobert, kLongName}, QString::fromUtf8(kRights)),
             qPrintable(server_.error()));
    for (const auto& user : {kAlice, kBob, kCarol, kRobert, kLongName})
        QVERIFY2(server_.touchPrincipal(user), qPrintable(server_.error()));
    QVERIFY(
        server_.setDisplayName(kAlice, QStringLiteral("/alice/"), QStringLiteral("Alice Liddell")));
    QVERIFY(server_.setDisplayName(kBob, QStringLiteral("/bob/"), QStringLiteral("Bob Builder")));
    QVERIFY(
        server_.setDisplayName(kCarol, QStringLiteral("/carol/"), QStringLiteral("Carol Singer")));
    QVERIFY(server_.setDisplayName(kRobert, QStringLiteral("/robert/"),
                                   QStringLiteral("Bobby Tables")));
    QVERIFY(server_.putCalendar(kBob, QStringLiteral("/bob/calendar/"), kBobCalendar));
    QVERIFY(server_.putCalendar(kAlice, QStringLiteral("/alice/calendar/"),
                                oneEvent(QStringLiteral("a1"), QStringLiteral("20240305T100000"),
                                         QStringLiteral("20240305T113000"),
                                         QStringLiteral("Planning"))));
    QVERIFY(
        server_.putCalendar(kCarol, QStringLiteral("/carol/calendar/"),
                            oneEvent(QStringLiteral("c1"), QStringLiteral("20240305T100000"),
                                     QStringLiteral("20240305T113000"), QStringLiteral("Secret"))));

    home_ = std::make_unique<TempHome>();
    home_->writeNetrc(
        QStringLiteral("machine 127.0.0.1\n  login alice\n  password %1\n").arg(kAlice.password));
}

void CalDavTest::cleanupTestCase() {
    server_.stop();
    home_.reset();
}

void CalDavTest::resolvesPeopleByNameAndIdentifier() {
    auto app = open(profile());
    auto ns = app->GetNamespace(QStringLiteral("MAPI"));

    // By user name, by display name, both with case ignored, by the only display name starting
    // so. "Bob" also starts "Bobby Tables", but equals bob's user name.
    for (const QString& typed :
         {QStringLiteral("bob"), QStringLiteral("Bob"), QStringLiteral("Bob Builder"),
          QStringLiteral("bob builder"), QStringLiteral("Bob B")}) {
        auto r = ns->CreateRecipient(typed);
        QVERIFY2(r->Resolve(), qPrintable(typed));
        QVERIFY(r->Resolved());
        QCOMPARE(r->Name(), QStringLiteral("Bob Builder"));
        QCOMPARE(r->EntryID(), idOf(QStringLiteral("bob")));
    }
    auto carol = ns->CreateRecipient(QStringLiteral("Carol"));
    QVERIFY(carol->Resolve());
    QCOMPARE(carol->Name(), QStringLiteral("Carol Singer"));

    // "Bo" starts both "Bob Builder" and "Bobby Tables" and equals no name: not resolved.
    // Nobody is called "Nobody".
    for (const QString& typed : {QStringLiteral("Bo"), QStringLiteral("Nobody"), QString()}) {
        auto r = ns->CreateRecipient(typed);
        QVERIFY2(!r->Resolve(), qPrintable(typed));
        QVERIFY(!r->Resolved());
        try {
            r->EntryID();
            QFAIL("an unresolved recipient gave an entry identifier");
        } catch (const CalendarError& e) {
            QCOMPARE(e.code(), calendar_error::UnknownEntry);
        }
    }

    // The identifier names the principal: 160 upper-case hex characters that decode to its
    // path, looked up again with no search.
    const QString id = idOf(QStringLiteral("bob"));
    QCOMPARE(id.size(), 160);
    QCOMPARE(entryIdKey(kCalDavProviderTag, id), QStringLiteral("/bob/"));
    caldav::CalDavSession* session = caldav::sessionOf(*app);
    QVERIFY(session);
    endOperation();
    const int before = session->http().requestCount();
    auto fromId = ns->GetRecipientFromID(id);
    QCOMPARE(session->http().requestCount(), before);
    QVERIFY(fromId->Resolve());
    QCOMPARE(fromId->Name(), QStringLiteral("Bob Builder"));
    QCOMPARE(fromId->EntryID(), id);

    // A principal that no longer exists does not resolve; text that is not one of our
    // identifiers is refused.
    QVERIFY(!ns->GetRecipientFromID(idOf(QStringLiteral("zed")))->Resolve());
    for (const QString& bad : {QStringLiteral("XXX"), QString(),
                               makeEntryId(kLocalProviderTag, QStringLiteral("bob"))}) {
        try {
            ns->GetRecipientFromID(bad);
            QFAIL(qPrintable(QStringLiteral("accepted \"%1\"").arg(bad)));
        } catch (const CalendarError& e) {
            QCOMPARE(e.code(), calendar_error::UnknownEntry);
        }
    }

    // A principal whose path cannot fit an identifier resolves, but has no identifier rather
    // than a cut one.
    auto longName = ns->CreateRecipient(kLongName.name);
    QVERIFY(longName->Resolve());
    try {
        longName->EntryID();
        QFAIL("a principal too long for an identifier gave one");
    } catch (const CalendarError& e) {
        QCOMPARE(e.code(), calendar_error::KeyTooLong);
    }
}

void CalDavTest::readsASharedCalendarInFull() {
    // Opened the way the program opens it: from the service's profile.
    QTemporaryDir profileDir;
    const QString iniPath = profileDir.filePath(QStringLiteral("calendar-service.ini"));
    {
        QFile ini(iniPath);
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(QStringLiteral("[Service]\nBackend=caldav\n[CalDAV]\nUrl=%1\nUser=alice\n"
                                 "TimeoutSeconds=7\n")
                      .arg(server_.url().toString())
                      .toUtf8());
    }
    auto app = openCalendarApplication(readServiceProfile(iniPath),
                                       CalendarServiceContext{prompts_, desktop_});
    QVERIFY(caldav::sessionOf(*app));
    QCOMPARE(caldav::sessionOf(*app)->http().timeoutSeconds(), 7);
    auto ns = app->GetNamespace(QStringLiteral("MAPI"));
    const QMap<int, QStringList> month = readMonth(*ns, idOf(QStringLiteral("bob")), 3, 2024);

    QMap<int, QStringList> expected;
    expected[4] << QStringLiteral("04 09:00-04 10:00 Team meeting (0) Room 1");
    expected[6] << QStringLiteral("06 00:00-07 00:00 Holiday (0)");
    expected[13] << QStringLiteral("13 22:00-15 02:00 Conference trip (0)");
    expected[14] << QStringLiteral("13 22:00-15 02:00 Conference trip (0)");
    expected[15] << QStringLiteral("13 22:00-15 02:00 Conference trip (0)");
    expected[19] << QStringLiteral("19 14:00-19 15:00 Team meeting moved (0)");
    // Private and confidential items come back in full: masking is the board's.
    expected[20] << QStringLiteral("20 12:00-20 13:00 Doctor (2) Clinic");
    expected[21] << QStringLiteral("21 08:00-21 09:00 Interview (3)");
    expected[25] << QStringLiteral("25 09:00-25 10:00 Team meeting (0) Room 1");
    expected[26] << QStringLiteral("26 23:00-27 00:00 Late call (0)");
    QCOMPARE(month, expected);

    // Display hands the calendar's address to the desktop.
    auto bob = ns->GetRecipientFromID(idOf(QStringLiteral("bob")));
    QVERIFY(bob->Resolve());
    ns->GetSharedDefaultFolder(*bob, kFolderCalendar)->Display();
    QCOMPARE(desktop_.openedUrls.size(), 1);
    QCOMPARE(desktop_.openedUrls.last(),
             server_.url().resolved(QUrl(QStringLiteral("bob/calendar/"))));
    // The inbox is the mail folder of the feedback mail.
    QVERIFY(ns->GetDefaultFolder(kFolderInbox));
}

void CalDavTest::readsTheSameWithCalendarQueries() {
    auto byGet = open(profile());
    caldav::sessionOf(*byGet)->setReadMode(caldav::CalDavSession::ReadMode::Whole);
    auto byReport = open(profile());
    caldav::sessionOf(*byReport)->setReadMode(caldav::CalDavSession::ReadMode::Report);
    for (int month : {2, 3, 4}) {
        const auto viaGet = readMonth(*byGet->GetNamespace(QStringLiteral("MAPI")),
                                      idOf(QStringLiteral("bob")), month, 2024);
        const auto viaReport = readMonth(*byReport->GetNamespace(QStringLiteral("MAPI")),
                                         idOf(QStringLiteral("bob")), month, 2024);
        QCOMPARE(viaReport, viaGet);
        endOperation();
    }
}

void CalDavTest::answersLikeTheLocalStore() {
    LocalStoreFixture store;
    store.addPerson(QStringLiteral("bob"), QStringLiteral("Bob Builder"));
    store.setCalendarText(QStringLiteral("bob"), kBobCalendar);
    auto local = store.openNamespace();
    auto app = open(profile());
    auto server = app->GetNamespace(QStringLiteral("MAPI"));
    for (int month : {2, 3, 4}) {
        const auto fromServer = readMonth(*server, idOf(QStringLiteral("bob")), month, 2024);
        const auto fromStore =
            readMonth(*local, store.entryIdOf(QStringLiteral("bob")), month, 2024);
        QCOMPARE(fromServer, fromStore);
    }
}

void CalDavTest::deniedCalendarsCannotBeOpened() {
    auto app = open(profile());
    auto ns = app->GetNamespace(QStringLiteral("MAPI"));
    // Carol exists, but alice may not read her calendar.
    auto carol = ns->GetRecipientFromID(idOf(QStringLiteral("carol")));
    QVERIFY(carol->Resolve());
    QCOMPARE(carol->Name(), QStringLiteral("Carol Singer"));
    try {
        ns->GetSharedDefaultFolder(*carol, kFolderCalendar);
        QFAIL("carol's calendar was opened");
    } catch (const CalendarError& e) {
        QCOMPARE(e.code(), calendar_error::CalendarDenied);
        QCOMPARE(e.code(), 0x8004010Fu);
    }
    // Bob reads alice's calendar, not carol's.
    ServiceProfile asBob = profile();
    asBob.user = kBob.name;
    TempHome bobHome;
    bobHome.writeNetrc(
        QStringLiteral("machine 127.0.0.1 login bob password %1\n").arg(kBob.password));
    auto bobApp = open(asBob);
    auto bobNs = bobApp->GetNamespace(QStringLiteral("MAPI"));
    const auto aliceMonth = readMonth(*bobNs, idOf(QStringLiteral("alice")), 3, 2024);
    QCOMPARE(aliceMonth.value(5), QStringList{QStringLiteral("05 10:00-05 11:30 Planning (0)")});
    auto carolForBob = bobNs->GetRecipientFromID(idOf(QStringLiteral("carol")));
    QVERIFY(carolForBob->Resolve());
    QVERIFY_THROWS_EXCEPTION(CalendarError,
                             bobNs->GetSharedDefaultFolder(*carolForBob, kFolderCalendar));
}

void CalDavTest::costsOneRequestPerPersonWhenNothingChanged() {
    auto app = open(profile());
    auto ns = app->GetNamespace(QStringLiteral("MAPI"));
    caldav::CalDavSession* session = caldav::sessionOf(*app);
    const QStringList people = {QStringLiteral("bob"), QStringLiteral("alice")};
    auto build = [&] {
        QMap<QString, QMap<int, QStringList>> board;
        for (const QString& p : people)
            board[p] = readMonth(*ns, idOf(p), 3, 2024);
        return board;
    };
    const int start = session->http().requestCount();
    const auto first = build();
    QCOMPARE(session->http().requestCount() - start, 2 * int(people.size()));
    QVERIFY(!first.value(QStringLiteral("bob")).isEmpty());
    endOperation();

    // Nothing changed: one look at each principal, which names the calendar's version.
    const int second = session->http().requestCount();
    const int secondExchanges = session->http().exchangeCount();
    QCOMPARE(build(), first);
    QCOMPARE(session->http().requestCount() - second, int(people.size()));
    QCOMPARE(session->http().exchangeCount() - secondExchanges, int(people.size()));
    endOperation();

    // Bob's calendar changed: it is read again, alice's is not.
    QVERIFY(server_.putEvent(kBob, QStringLiteral("/bob/calendar/"), QStringLiteral("added"),
                             oneEvent(QStringLiteral("added"), QStringLiteral("20240307T080000"),
                                      QStringLiteral("20240307T090000"),
                                      QStringLiteral("Added later"))));
    const int third = session->http().requestCount();
    const auto changed = build();
    QCOMPARE(session->http().requestCount() - third, int(people.size()) + 1);
    QCOMPARE(changed.value(QStringLiteral("bob")).value(7),
             QStringList{QStringLiteral("07 08:00-07 09:00 Added later (0)")});
    QCOMPARE(changed.value(QStringLiteral("alice")), first.value(QStringLiteral("alice")));
    QVERIFY(server_.request(kBob, "DELETE", QStringLiteral("/bob/calendar/added.ics")) == 200);
}

void CalDavTest::passwordComesFromAPrivateNetrcOrOnePrompt() {
    {
        // Readable by others: refused, nothing asked, the file named in the message.
        TempHome home;
        home.writeNetrc(
            QStringLiteral("machine 127.0.0.1 login alice password %1\n").arg(kAlice.password),
            0644);
        ScriptedPrompts prompts;
        auto app = openCalDavApplication(profile(), CalendarServiceContext{prompts, desktop_});
        auto ns = app->GetNamespace(QStringLiteral("MAPI"));
        try {
            ns->GetRecipientFromID(idOf(QStringLiteral("bob")))->Resolve();
            QFAIL("a .netrc readable by others was used");
        } catch (const CalendarError& e) {
            QCOMPARE(e.code(), calendar_error::LoginFailed);
            QVERIFY2(e.message().contains(QStringLiteral(".netrc")) &&
                         e.message().contains(QStringLiteral("chmod 600")),
                     qPrintable(e.message()));
        }
        QVERIFY(prompts.shown.empty());
    }
    {
        // No entry for the server: asked once per run, in a secret box.
        TempHome home;
        home.writeNetrc(QStringLiteral("machine elsewhere.example login alice password x\n"));
        ScriptedPrompts prompts;
        prompts.inputAnswers.push_back(kAlice.password);
        auto app = openCalDavApplication(profile(), CalendarServiceContext{prompts, desktop_});
        auto ns = app->GetNamespace(QStringLiteral("MAPI"));
        QVERIFY(ns->GetRecipientFromID(idOf(QStringLiteral("bob")))->Resolve());
        endOperation();
        QVERIFY(ns->GetRecipientFromID(idOf(QStringLiteral("alice")))->Resolve());
        QCOMPARE(prompts.count(QStringLiteral("input")), 1);
        QVERIFY(prompts.shown.front().text.contains(QStringLiteral("alice")));
    }
    {
        // The box cancelled: a clear failure, and the box is not shown again this run.
        TempHome home;
        ScriptedPrompts prompts;
        prompts.inputAnswers.push_back(std::nullopt);
        auto app = openCalDavApplication(profile(), CalendarServiceContext{prompts, desktop_});
        auto ns = app->GetNamespace(QStringLiteral("MAPI"));
        for (int attempt = 0; attempt < 2; ++attempt) {
            try {
                ns->GetRecipientFromID(idOf(QStringLiteral("bob")))->Resolve();
                QFAIL("resolved without a password");
            } catch (const CalendarError& e) {
                QCOMPARE(e.code(), calendar_error::LoginFailed);
            }
            endOperation();
        }
        QCOMPARE(prompts.count(QStringLiteral("input")), 1);
    }
}

void CalDavTest::serverFailuresAreClearAndBounded() {
    const QString bobId = idOf(QStringLiteral("bob"));
    auto failureOf = [&](CalendarNamespace& ns, qint64* elapsedMs) -> std::optional<CalendarError> {
        QElapsedTimer timer;
        timer.start();
        try {
            ns.GetRecipientFromID(bobId)->Resolve();
        } catch (const CalendarError& e) {
            *elapsedMs = timer.elapsed();
            return e;
        }
        *elapsedMs = timer.elapsed();
        return std::nullopt;
    };
    qint64 ms = 0;
    {
        // A wrong password.
        TempHome home;
        home.writeNetrc(QStringLiteral("machine 127.0.0.1 login alice password wrong\n"));
        auto app = open(profile(5));
        const auto failure = failureOf(*app->GetNamespace(QStringLiteral("MAPI")), &ms);
        QVERIFY(failure);
        QCOMPARE(failure->code(), calendar_error::LoginFailed);
        QVERIFY2(failure->message().contains(QStringLiteral("alice")),
                 qPrintable(failure->message()));
        QVERIFY(ms < 5000);
    }
    {
        // A server that was there and stopped.
        RadicaleServer gone;
        QVERIFY2(gone.start({kAlice, kBob}, QString::fromUtf8(kRights)), qPrintable(gone.error()));
        ServiceProfile p = profile(5);
        p.url = gone.url().toString();
        auto app = open(p);
        auto ns = app->GetNamespace(QStringLiteral("MAPI"));
        QVERIFY(!failureOf(*ns, &ms));
        gone.stop();
        endOperation();
        const auto failure = failureOf(*ns, &ms);
        QVERIFY(failure);
        QCOMPARE(failure->code(), calendar_error::NotConnected);
        QVERIFY2(failure->message().contains(QStringLiteral("127.0.0.1")),
                 qPrintable(failure->message()));
        QVERIFY(ms < 5000);
    }
    {
        // A server that takes the connection and never answers: one time-out, and the rest of
        // the operation fails at once instead of waiting again for every person.
        SilentServer silent;
        QVERIFY(silent.port() > 0);
        ServiceProfile p = profile(2);
        p.url = QStringLiteral("http://127.0.0.1:%1/").arg(silent.port());
        auto app = open(p);
        auto ns = app->GetNamespace(QStringLiteral("MAPI"));
        const auto failure = failureOf(*ns, &ms);
        QVERIFY(failure);
        QCOMPARE(failure->code(), calendar_error::Timeout);
        QVERIFY2(ms >= 1500 && ms < 6000, qPrintable(QString::number(ms)));
        const auto again = failureOf(*ns, &ms);
        QVERIFY(again);
        QCOMPARE(again->code(), calendar_error::Timeout);
        QVERIFY2(ms < 500, qPrintable(QString::number(ms)));
    }
}

void CalDavTest::boardShowsDeniedCalendarsAndOutlivesADeadServer() {
    TempWorkdir workdir;
    write_group_index({QStringLiteral("Team")});
    write_members(0, {GroupMember{QStringLiteral("Bob Builder"), idOf(QStringLiteral("bob"))},
                      GroupMember{QStringLiteral("Carol Singer"), idOf(QStringLiteral("carol"))}});
    MemorySettings settings;
    settings.SaveSetting(QStringLiteral("Settings"), QStringLiteral("Month"), QStringLiteral("3"));
    settings.SaveSetting(QStringLiteral("Settings"), QStringLiteral("Year"),
                         QStringLiteral("2024"));
    settings.SaveSetting(QStringLiteral("Settings"), QStringLiteral("DefaultGrp"),
                         QStringLiteral("Team"));
    ScriptedPrompts prompts;
    RecordingDesktop desktop;
    auto boardOver = [&](const ServiceProfile& p) {
        BoardServices services{
            settings,
            prompts,
            desktop,
            nullptr,
            [&, p] {
                return openCalendarApplication(p, CalendarServiceContext{prompts, desktop});
            },
            {}};
        return std::make_unique<Form1>(services);
    };
    {
        auto form = boardOver(profile());
        form->Form_Load();
        BoardGrid& grid = form->grid();
        QCOMPARE(grid.rowCount(), 3);
        QCOMPARE(grid.cellText(1, 0), QStringLiteral("Bob Builder"));
        QCOMPARE(grid.cellText(2, 0), QStringLiteral("Carol Singer"));
        // Carol's calendar is not shared with alice: the access-denied picture on every day.
        for (int d = 1; d <= 31; ++d) {
            QVERIFY2(grid.cellHasPicture(2, d), qPrintable(QString::number(d)));
            QVERIFY(!grid.cellHasPicture(1, d));
        }
        // Bob's one-hour meeting on Monday the 4th colours the day; Tuesday the 5th is free.
        auto color = [&](int row, int day) {
            const auto c = grid.cellColor(row, day);
            return c < 0 ? grid.backgroundColor() : std::uint32_t(c);
        };
        QVERIFY(color(1, 4) != color(1, 5));
        QCOMPARE(color(1, 5), grid.backgroundColor());
        endOperation();
    }
    {
        // A server that never answers: the start-up waits for one time-out, not one per
        // person and day, and the board is there afterwards, empty.
        SilentServer silent;
        ServiceProfile p = profile(2);
        p.url = QStringLiteral("http://127.0.0.1:%1/").arg(silent.port());
        auto form = boardOver(p);
        QElapsedTimer timer;
        timer.start();
        form->Form_Load();
        QVERIFY2(timer.elapsed() < 8000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(form->grid().rowCount(), 1);
        // The user is told once why nobody is on the board.
        QCOMPARE(prompts.count(QStringLiteral("message")), 1);
        QVERIFY(prompts.messageTexts().last().contains(QStringLiteral("could not be looked up")));
        endOperation();
    }
}

QTEST_MAIN(CalDavTest)
#include "caldav_test.moc"
