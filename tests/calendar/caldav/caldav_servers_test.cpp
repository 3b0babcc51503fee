// The CalDAV backend against every standard server: Radicale, Xandikos and SabreDAV, each started
// once on 127.0.0.1 with the same team and calendars (tests/data/caldav/). The same month must
// give the board the local store gives, at a bounded number of requests per person, whatever the
// server leaves out (GET of a calendar, time-range filtering of series, log-in, principal
// search, a default calendar).

#include "calendar/caldav/caldav_application.h"
#include "calendar/caldav/caldav_session.h"
#include "calendar/caldav/dav_http.h"
#include "calendar/service_profile.h"
#include "support/caldav_team.h"
#include "support/fault_proxy.h"
#include "support/local_store_fixture.h"
#include "support/month_lines.h"
#include "support/recording_desktop.h"
#include "support/scripted_prompts.h"
#include "support/temp_home.h"

#include <QCoreApplication>
#include <QTest>

#include <map>

using namespace rv;
using namespace rv::test;
using Kind = DavServer::Kind;
using Fault = FaultProxy::Fault;

Q_DECLARE_METATYPE(rv::test::DavServer::Kind)
Q_DECLARE_METATYPE(rv::test::FaultProxy::Fault)

namespace {

const QStringList kTeam = {QStringLiteral("alice"), QStringLiteral("bob"), QStringLiteral("carol")};

} // namespace

class CalDavServersTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void sameBoardOnEveryServer_data();
    void sameBoardOnEveryServer();
    void calendarSettingChooses_data();
    void calendarSettingChooses();
    void logInOnlyWhenAsked_data();
    void logInOnlyWhenAsked();
    void principalsFound_data();
    void principalsFound();
    void refusedGetIsAskedOncePerCalendar_data();
    void refusedGetIsAskedOncePerCalendar();
    void addressThatIsNoCalDavServer_data();
    void addressThatIsNoCalDavServer();

private:
    ServiceProfile profileFor(const QUrl& url, const QString& calendar = {}) const;
    std::unique_ptr<CalendarApplication> open(const ServiceProfile& profile, Prompts& prompts);
    QStringList localBoard(const QStringList& users, int month, int year);

    std::map<Kind, std::unique_ptr<DavServer>> servers_;
    std::unique_ptr<FaultProxy> proxy_; // in front of Radicale
    LocalStoreFixture store_{QStringLiteral("alice")};
    std::unique_ptr<TempHome> home_;
    RecordingDesktop desktop_;
    ScriptedPrompts prompts_;
};

ServiceProfile CalDavServersTest::profileFor(const QUrl& url, const QString& calendar) const {
    ServiceProfile p = aliceProfile(url);
    p.calendar = calendar;
    return p;
}

std::unique_ptr<CalendarApplication> CalDavServersTest::open(const ServiceProfile& profile,
                                                             Prompts& prompts) {
    return openCalDavApplication(profile, CalendarServiceContext{prompts, desktop_});
}

QStringList CalDavServersTest::localBoard(const QStringList& users, int month, int year) {
    QStringList ids;
    for (const QString& user : users)
        ids << store_.entryIdOf(user);
    return monthLines(*store_.openNamespace(), users, ids, month, year);
}

void CalDavServersTest::initTestCase() {
    for (const Kind kind : {Kind::Radicale, Kind::Xandikos, Kind::SabreDav}) {
        servers_[kind] = DavServer::create(kind);
        QVERIFY2(startTeam(*servers_[kind]), qPrintable(servers_[kind]->error()));
    }
    proxy_ = std::make_unique<FaultProxy>(servers_[Kind::Radicale]->port());
    QVERIFY(proxy_->start());

    // The same people and calendars in a local store; carol's is hers alone.
    store_.addPerson(QStringLiteral("alice"), QStringLiteral("Alice Liddell"),
                     QStringLiteral("alice@example.org"));
    store_.addPerson(QStringLiteral("bob"), QStringLiteral("Bob Builder"),
                     QStringLiteral("bob@example.org"));
    store_.addPerson(QStringLiteral("carol"), QStringLiteral("Carol Singer"),
                     QStringLiteral("carol@example.org"));
    for (const QString& user : kTeam)
        store_.setCalendarText(user, caldavData(user + QStringLiteral(".ics")));
    store_.setReaders(QStringLiteral("carol"), {QStringLiteral("carol")});

    home_ = std::make_unique<TempHome>();
    QVERIFY(home_->writeNetrc(QStringLiteral("machine 127.0.0.1 login alice password alice-pw\n")));
}

// The board of the same month is the local store's on every server, whether the calendars are
// read in turn or ahead, side by side; a first build costs at most three requests per person, a
// repeated one, another month or a build after one calendar changed at most one per person (and
// one more for the changed calendar).
void CalDavServersTest::sameBoardOnEveryServer_data() {
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<bool>("readAhead");
    for (const bool readAhead : {false, true}) {
        const char* how = readAhead ? "side by side" : "in turn";
        QTest::addRow("Radicale, %s", how) << Kind::Radicale << readAhead;
        QTest::addRow("Xandikos, %s", how) << Kind::Xandikos << readAhead;
        QTest::addRow("SabreDAV, %s", how) << Kind::SabreDav << readAhead;
    }
}

void CalDavServersTest::sameBoardOnEveryServer() {
    QFETCH(Kind, kind);
    QFETCH(bool, readAhead);
    DavServer& server = *servers_.at(kind);
    // Nothing kept from another row.
    FreshCache cache;
    auto app = open(profileFor(server.url()), prompts_);
    cache.restore();
    caldav::sessionOf(*app)->setReadAhead(readAhead);
    auto ns = app->GetNamespace(QStringLiteral("MAPI"));
    // The group editor's way in: each person found by user name.
    const QList<DavPerson> team = caldavTeam(kind);
    QStringList ids;
    for (const QString& user : kTeam) {
        auto r = ns->CreateRecipient(user);
        QVERIFY2(r->Resolve(), qPrintable(user));
        ids << r->EntryID();
        // SabreDAV shows carol's principal to nobody but her: only by user name.
        if (user != QStringLiteral("carol") || kind != Kind::SabreDav)
            QCOMPARE(r->Name(), teamMember(team, user).displayName);
    }
    QCOMPARE(ids.last(), entryIdOn(server, QStringLiteral("carol")));
    QCoreApplication::processEvents();

    caldav::DavHttp& http = caldav::sessionOf(*app)->http();
    const int people = int(kTeam.size());
    auto cost = [&](const std::function<QStringList()>& build, QStringList* board) {
        const int before = http.requestCount();
        *board = build();
        return http.requestCount() - before;
    };
    QStringList board;
    const int first = cost([&] { return monthLines(*ns, kTeam, ids, 3, 2024, readAhead); }, &board);
    QCOMPARE(board, localBoard(kTeam, 3, 2024));
    // What the calendars hold that servers trip over: a series begun months before (every
    // Monday, in Berlin time), a count-limited daily series crossing the month start (the 1st),
    // a weekly all-day series with one date left out (the 13th), a moved occurrence (the 19th),
    // a private item.
    QCOMPARE(board.filter(QStringLiteral("Steering group")).size(), 4);
    QCOMPARE(dayOf(board, QStringLiteral("bob"), 1), QStringLiteral("UpTo4 Audit"));
    QVERIFY(!dayOf(board, QStringLiteral("bob"), 13).contains(QStringLiteral("Home office")));
    QVERIFY(dayOf(board, QStringLiteral("bob"), 20).contains(QStringLiteral("Home office")));
    QVERIFY(dayOf(board, QStringLiteral("bob"), 19).contains(QStringLiteral("Team meeting moved")));
    QVERIFY(
        dayOf(board, QStringLiteral("bob"), 20).contains(QStringLiteral("Private Appointment")));
    QVERIFY(board.contains(QStringLiteral("carol denied")));
    const int repeated =
        cost([&] { return monthLines(*ns, kTeam, ids, 3, 2024, readAhead); }, &board);
    QCOMPARE(board, localBoard(kTeam, 3, 2024));
    const int otherMonth =
        cost([&] { return monthLines(*ns, kTeam, ids, 2, 2024, readAhead); }, &board);
    QCOMPARE(board, localBoard(kTeam, 2, 2024));

    const DavPerson bob = teamMember(team, QStringLiteral("bob"));
    QVERIFY(server.putEvents(bob, server.calendarPath(bob.user),
                             caldavData(QStringLiteral("added.ics"))));
    const int changed =
        cost([&] { return monthLines(*ns, kTeam, ids, 3, 2024, readAhead); }, &board);
    QVERIFY(server.deleteEvent(bob, server.calendarPath(bob.user), QStringLiteral("added")));
    QCOMPARE(dayOf(board, QStringLiteral("bob"), 7), QStringLiteral("UpTo4 Added later"));

    qInfo("%s, %d people: first build %d requests, repeated %d, another month %d, after one "
          "calendar changed %d; %d HTTP exchanges in all",
          qPrintable(server.name()), people, first, repeated, otherMonth, changed,
          http.exchangeCount());
    QVERIFY2(first <= 3 * people, qPrintable(QString::number(first)));
    QVERIFY2(repeated <= people, qPrintable(QString::number(repeated)));
    QVERIFY2(otherMonth <= people, qPrintable(QString::number(otherMonth)));
    QVERIFY2(changed <= people + 1, qPrintable(QString::number(changed)));

    // After a restart the calendars kept at the version the server still names are not read
    // again: what is left is finding each person (and, where the calendars live apart from the
    // principal, their home).
    // Bob's calendar changed since it was last read.
    cache.use();
    auto restarted = open(profileFor(server.url()), prompts_);
    cache.restore();
    caldav::sessionOf(*restarted)->setReadAhead(readAhead);
    board = monthLines(*restarted->GetNamespace(QStringLiteral("MAPI")), kTeam, ids, 3, 2024,
                       readAhead);
    QCOMPARE(board, localBoard(kTeam, 3, 2024));
    const int afterRestart = caldav::sessionOf(*restarted)->http().requestCount();
    QVERIFY2(afterRestart < first &&
                 afterRestart <= (kind == Kind::Radicale ? people : 2 * people) + 1,
             qPrintable(QString::number(afterRestart)));
}

// Where the server marks no default calendar, Calendar= chooses among a person's calendars by
// display name or by the last segment of its path; without it, or when it names none of them,
// the birthday calendar is passed over for the real one.
void CalDavServersTest::calendarSettingChooses_data() {
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("calendar");
    QTest::addColumn<bool>("birthdays");
    for (const auto& [kind, name] :
         {std::pair{Kind::Radicale, "Radicale"}, std::pair{Kind::Xandikos, "Xandikos"},
          std::pair{Kind::SabreDav, "SabreDAV"}}) {
        QTest::addRow("%s, none", name) << kind << QString() << false;
        QTest::addRow("%s, display name", name) << kind << QStringLiteral("birthdays") << true;
        QTest::addRow("%s, path", name) << kind << QStringLiteral("bdays") << true;
        QTest::addRow("%s, no such calendar", name) << kind << QStringLiteral("Work") << false;
    }
}

void CalDavServersTest::calendarSettingChooses() {
    QFETCH(Kind, kind);
    QFETCH(QString, calendar);
    QFETCH(bool, birthdays);
    DavServer& server = *servers_.at(kind);
    auto app = open(profileFor(server.url(), calendar), prompts_);
    const QStringList board =
        monthLines(*app->GetNamespace(QStringLiteral("MAPI")), {QStringLiteral("bob")},
                   {entryIdOn(server, QStringLiteral("bob"))}, 3, 2024);
    QCOMPARE(dayOf(board, QStringLiteral("bob"), 12).contains(QStringLiteral("Anna's birthday")),
             birthdays);
    QCOMPARE(dayOf(board, QStringLiteral("bob"), 4).contains(QStringLiteral("Team meeting")),
             !birthdays);
}

// The first request goes without credentials: a server that asks (401) gets the password,
// asked once in a password box when ~/.netrc has none; a server without log-in is never given
// one and the user is never asked.
void CalDavServersTest::logInOnlyWhenAsked_data() {
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<bool>("asks");
    QTest::newRow("Radicale") << Kind::Radicale << true;
    QTest::newRow("Xandikos") << Kind::Xandikos << false;
    QTest::newRow("SabreDAV") << Kind::SabreDav << true;
}

void CalDavServersTest::logInOnlyWhenAsked() {
    QFETCH(Kind, kind);
    QFETCH(bool, asks);
    DavServer& server = *servers_.at(kind);
    TempHome noNetrc;
    ScriptedPrompts prompts;
    if (asks)
        prompts.inputAnswers.push_back(QStringLiteral("alice-pw"));
    auto app = open(profileFor(server.url()), prompts);
    const QStringList board =
        monthLines(*app->GetNamespace(QStringLiteral("MAPI")), {QStringLiteral("bob")},
                   {entryIdOn(server, QStringLiteral("bob"))}, 3, 2024);
    QVERIFY2(dayOf(board, QStringLiteral("bob"), 25).contains(QStringLiteral("Team meeting")),
             qPrintable(board.join('\n')));
    QCOMPARE(prompts.count(QStringLiteral("input")), asks ? 1 : 0);
    // One challenge, answered once for the whole run.
    const caldav::DavHttp& http = caldav::sessionOf(*app)->http();
    QCOMPARE(http.exchangeCount(), http.requestCount() + (asks ? 1 : 0));
}

// A typed name finds the person however the server lets principals be found: its search
// (SabreDAV, by display name or e-mail), the principal's path, the user name, an e-mail address
// the server writes percent-encoded (Xandikos: mailto%3Aalice%40example.org), or the principals
// the user can list (Radicale). Xandikos has neither search nor listing: there people are
// added by user name or path.
void CalDavServersTest::principalsFound_data() {
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("user"); // empty: not found
    const std::tuple<const char*, Kind, const char*, const char*> rows[] = {
        {"Radicale, display name", Kind::Radicale, "Bob Builder", "bob"},
        {"Radicale, path", Kind::Radicale, "/bob/", "bob"},
        {"Xandikos, user name", Kind::Xandikos, "bob", "bob"},
        {"Xandikos, path", Kind::Xandikos, "/dav/bob/", "bob"},
        {"Xandikos, mailto%3A", Kind::Xandikos, "alice@example.org", "alice"},
        {"Xandikos, display name", Kind::Xandikos, "Bob Builder", ""},
        {"SabreDAV, display name", Kind::SabreDav, "Bob Builder", "bob"},
        {"SabreDAV, e-mail", Kind::SabreDav, "BOB@example.org", "bob"},
        {"SabreDAV, e-mail beginning, other case", Kind::SabreDav, "BOB@EXAMPLE", "bob"},
        {"SabreDAV, display name beginning, other case", Kind::SabreDav, "bob b", "bob"},
        {"SabreDAV, hidden principal", Kind::SabreDav, "Carol", "carol"},
        {"SabreDAV, inside a name", Kind::SabreDav, "li", ""},
    };
    for (const auto& [row, kind, typed, user] : rows)
        QTest::newRow(row) << kind << QString::fromUtf8(typed) << QString::fromUtf8(user);
}

void CalDavServersTest::principalsFound() {
    QFETCH(Kind, kind);
    QFETCH(QString, typed);
    QFETCH(QString, user);
    DavServer& server = *servers_.at(kind);
    auto app = open(profileFor(server.url()), prompts_);
    auto r = app->GetNamespace(QStringLiteral("MAPI"))->CreateRecipient(typed);
    QCOMPARE(r->Resolve(), !user.isEmpty());
    if (!user.isEmpty())
        QCOMPARE(r->EntryID(), entryIdOn(server, user));
}

// A server that hands out no whole calendar (405, 406 as Xandikos, 501 as SabreDAV, a web page)
// is asked by calendar query: the events show, and the GET is tried once per calendar and run,
// not again for another month or after the calendar changed.
void CalDavServersTest::refusedGetIsAskedOncePerCalendar_data() {
    QTest::addColumn<Fault>("refusal");
    QTest::newRow("405") << Fault::MethodNotAllowed;
    QTest::newRow("406") << Fault::NotAcceptable;
    QTest::newRow("501") << Fault::NotImplemented;
    QTest::newRow("web page") << Fault::WebPage;
}

void CalDavServersTest::refusedGetIsAskedOncePerCalendar() {
    QFETCH(Fault, refusal);
    DavServer& radicale = *servers_.at(Kind::Radicale);
    proxy_->setRule([refusal](const QByteArray& method, const QByteArray&) {
        return method == "GET" ? refusal : Fault::None;
    });
    const qsizetype seen = proxy_->requests().size();
    const QStringList people = {QStringLiteral("alice"), QStringLiteral("bob")};
    const QStringList ids = {entryIdOn(radicale, people[0]), entryIdOn(radicale, people[1])};
    FreshCache cache;
    auto app = open(profileFor(proxy_->url()), prompts_);
    cache.restore();
    auto ns = app->GetNamespace(QStringLiteral("MAPI"));
    QCOMPARE(monthLines(*ns, people, ids, 3, 2024), localBoard(people, 3, 2024));
    QCOMPARE(monthLines(*ns, people, ids, 4, 2024), localBoard(people, 4, 2024));
    const DavPerson bob = teamMember(caldavTeam(Kind::Radicale), QStringLiteral("bob"));
    QVERIFY(radicale.putEvents(bob, radicale.calendarPath(bob.user),
                               caldavData(QStringLiteral("added.ics"))));
    const QStringList changed = monthLines(*ns, people, ids, 3, 2024);
    QVERIFY(radicale.deleteEvent(bob, radicale.calendarPath(bob.user), QStringLiteral("added")));
    proxy_->setRule({});
    QCOMPARE(dayOf(changed, QStringLiteral("bob"), 7), QStringLiteral("UpTo4 Added later"));

    std::map<QByteArray, int> asked;
    for (const QByteArray& request : proxy_->requests().mid(seen))
        ++asked[request];
    QCOMPARE(asked["GET /alice/calendar/"], 1);
    QCOMPARE(asked["GET /bob/calendar/"], 1);
    QCOMPARE(asked["REPORT /alice/calendar/"], 1);
    QCOMPARE(asked["REPORT /bob/calendar/"], 2);
}

// An address that does not answer like a CalDAV server (a web page; SabreDAV asked outside the
// base it serves) is told as such, naming the address, instead of nobody being found there.
void CalDavServersTest::addressThatIsNoCalDavServer_data() {
    QTest::addColumn<QUrl>("url");
    QTest::addColumn<bool>("webPage");
    QTest::newRow("web page") << proxy_->url() << true;
    QUrl root = servers_.at(Kind::SabreDav)->url();
    root.setPath(QStringLiteral("/"));
    QTest::newRow("SabreDAV outside its base") << root << false;
}

void CalDavServersTest::addressThatIsNoCalDavServer() {
    QFETCH(QUrl, url);
    QFETCH(bool, webPage);
    proxy_->setRule([webPage](const QByteArray&, const QByteArray&) {
        return webPage ? Fault::WebPage : Fault::None;
    });
    auto app = open(profileFor(url), prompts_);
    auto ns = app->GetNamespace(QStringLiteral("MAPI"));
    try {
        ns->CreateRecipient(QStringLiteral("bob"))->Resolve();
        QFAIL("a person was looked up at an address that is no CalDAV server");
    } catch (const CalendarError& e) {
        QCOMPARE(e.code(), calendar_error::NotConnected);
        QVERIFY2(e.message().contains(url.toString()) &&
                     e.message().contains(QStringLiteral("does not answer like a CalDAV server")),
                 qPrintable(e.message()));
    }
    proxy_->setRule({});
}

QTEST_MAIN(CalDavServersTest)
#include "caldav_servers_test.moc"
