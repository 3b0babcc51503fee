// The board over a CalDAV server that fails while a build runs: it stops, hangs, answers 500 or
// sends a multistatus document cut off in the middle. A real Radicale holds the calendars; a
// proxy in front of it injects the fault. The build ends within the request time-out, shows no
// message, keeps every row on its own member, and the board answers the next click and build.

#include "calendar/caldav/caldav_application.h"
#include "support/board_fixture.h"
#include "support/caldav_team.h"
#include "support/fault_proxy.h"
#include "support/temp_home.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QTest>

using namespace rv;
using namespace rv::test;
using Fault = FaultProxy::Fault;

Q_DECLARE_METATYPE(rv::test::FaultProxy::Fault)

namespace {

constexpr int kTimeoutSeconds = 2;

// Alice, the connected user, reads everybody's calendars.
DavPerson person(const char* user, const char* displayName) {
    const QString name = QString::fromLatin1(user);
    return DavPerson{name,
                     name + QStringLiteral("-pw"),
                     QString::fromLatin1(displayName),
                     {},
                     {QStringLiteral("alice")}};
}
const DavPerson kAlice = person("alice", "Alice Archer"), kBob = person("bob", "Bob Baker"),
                kCarol = person("carol", "Carol Clark"), kDave = person("dave", "Dave Dunn");

bool under(const QByteArray& path, const char* prefix) {
    return path.startsWith(prefix);
}

// A board over the server at `url` (the test's Radicale, or what stands in front of or for it)
// showing the group "Team" of bob, carol and dave.
struct CalDavBoard : BoardWindow {
    CalDavBoard(const QUrl& url, const DavServer& server) {
        write_group_index({QStringLiteral("Team")});
        QList<GroupMember> members;
        for (const DavPerson& p : {kBob, kCarol, kDave})
            members << GroupMember{p.displayName, entryIdOn(server, p.user)};
        write_members(0, members);
        const ServiceProfile profile = aliceProfile(url, kTimeoutSeconds);
        start(
            [this, profile] {
                return openCalDavApplication(profile, CalendarServiceContext{prompts, desktop});
            },
            QStringLiteral("Team"));
    }

    // Update Now, pressed as the user does: after control went back to the event loop, which
    // ends what the calendar service learnt in the operation before. How long it took.
    qint64 build() {
        QCoreApplication::processEvents();
        QElapsedTimer timer;
        timer.start();
        form->Command4_Click();
        return timer.elapsed();
    }
};

// The board as a build over a healthy server shows it: Bob has a short meeting on the 1st,
// Carol a long day on the 2nd, Dave half a day on the 3rd.
void verifyWholeBoard(CalDavBoard& b) {
    QCOMPARE(b.names(), QStringList({QStringLiteral("Bob Baker"), QStringLiteral("Carol Clark"),
                                     QStringLiteral("Dave Dunn")}));
    QCOMPARE(b.color(1, 1), kUpTo4);
    QCOMPARE(b.color(2, 2), kMore);
    QCOMPARE(b.color(3, 3), kBetween);
    QCOMPARE(b.color(1, 2), kFree);
    QCOMPARE(b.color(3, 1), kFree);
    QCOMPARE(b.form->pbar_users->value(), 100);
}

} // namespace

class BoardCalDavFaultsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        server_ = DavServer::create(DavServer::Kind::Radicale);
        QVERIFY2(server_->start({kAlice, kBob, kCarol, kDave}, kAlice.user),
                 qPrintable(server_->error()));
        QVERIFY(setCalendar(kBob, QStringLiteral("standup-1st.ics")));
        QVERIFY(setCalendar(kCarol, QStringLiteral("audit-2nd.ics")));
        QVERIFY(setCalendar(kDave, QStringLiteral("workshop-3rd.ics")));
        // The password comes from a private .netrc in a home of the test's own.
        home_ = std::make_unique<TempHome>();
        QVERIFY(home_->writeNetrc(QStringLiteral("machine 127.0.0.1 login alice password ") +
                                  kAlice.password + QLatin1Char('\n')));

        proxy_ = std::make_unique<FaultProxy>(server_->port());
        QVERIFY(proxy_->start());
    }

    void cleanupTestCase() {
        proxy_.reset();
        home_.reset();
    }

    void init() {
        // Every case starts with a running proxy that passes everything on, over the calendars
        // as initTestCase wrote them.
        proxy_->setRule({});
        if (proxy_->stoppedByFault())
            QVERIFY(proxy_->start());
        QVERIFY(setCalendar(kCarol, QStringLiteral("audit-2nd.ics")));
    }

    // A server that stops or hangs while Carol's changed calendar is read costs one request
    // time-out, not one per day or person: her row stays empty, the user is told once, the board
    // answers the next click, and once the server is back her row and the next build show her.
    void serverFailsWhileACalendarIsRead_data() {
        QTest::addColumn<Fault>("fault");
        QTest::newRow("stops") << Fault::Stop;
        QTest::newRow("never answers") << Fault::Hang;
    }
    void serverFailsWhileACalendarIsRead() {
        QFETCH(Fault, fault);
        CalDavBoard b(proxy_->url(), *server_);
        verifyWholeBoard(b);
        failCarolsChangedCalendar(fault);
        const qint64 ms = b.build();
        qInfo("build with a server that fails midway: %lld ms", ms);
        QVERIFY2(ms < 2000 * kTimeoutSeconds + 2000, qPrintable(QString::number(ms)));
        if (fault == Fault::Hang)
            QVERIFY2(ms >= 1000 * kTimeoutSeconds - 500, qPrintable(QString::number(ms)));
        else
            QVERIFY(proxy_->stoppedByFault());
        QCOMPARE(b.names(), QStringList({QStringLiteral("Bob Baker"), QStringLiteral("Carol Clark"),
                                         QStringLiteral("Dave Dunn")}));
        QCOMPARE(b.color(1, 1), kUpTo4);
        // Nothing of another person in Carol's row; Dave's calendar had not changed, so the copy
        // read before still answers for it.
        QCOMPARE(b.color(2, 2), kFree);
        QCOMPARE(b.color(2, 4), kFree);
        QVERIFY(!b.grid().cellHasPicture(2, 4));
        QCOMPARE(b.color(3, 3), kBetween);
        QCOMPARE(b.messages(), 1);
        QVERIFY(b.prompts.messageTexts().last().contains(QStringLiteral("could not be read")));
        b.click(1, 1);
        QCOMPARE(b.messages(), 2);
        QVERIFY2(b.prompts.shown.back().text.contains(QStringLiteral("Standup")),
                 qPrintable(b.prompts.shown.back().text));

        if (proxy_->stoppedByFault())
            QVERIFY(proxy_->start());
        proxy_->setRule({});
        QCoreApplication::processEvents();
        QElapsedTimer timer;
        timer.start();
        b.click(2, 0);
        QVERIFY2(timer.elapsed() < 1000 * kTimeoutSeconds,
                 qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(b.color(2, 4), kMore);
        b.build();
        QCOMPARE(b.color(2, 4), kMore);
        QCOMPARE(b.color(2, 2), kFree);
        QCOMPARE(b.color(3, 3), kBetween);
        QCOMPARE(b.messages(), 2);
    }

    // A person the server fails on loses their row without shifting the others'.
    void serverErrorsAndBrokenAnswers() {
        const QList<Fault> faults{Fault::ServerError, Fault::MalformedXml};
        for (const Fault fault : faults) {
            CalDavBoard b(proxy_->url(), *server_);
            verifyWholeBoard(b);

            // Everything about Carol fails: she gets no row, and Dave's row stays Dave's.
            proxy_->setRule([fault](const QByteArray&, const QByteArray& path) {
                return under(path, "/carol/") ? fault : Fault::None;
            });
            const qint64 ms = b.build();
            QVERIFY2(ms < 1000 * kTimeoutSeconds, qPrintable(QString::number(ms)));
            QCOMPARE(b.names(),
                     QStringList({QStringLiteral("Bob Baker"), QStringLiteral("Dave Dunn")}));
            QCOMPARE(b.color(1, 1), kUpTo4);
            QCOMPARE(b.color(2, 3), kBetween);
            QCOMPARE(b.color(2, 2), kFree);
            // Told once, after the build, naming the person the server failed on.
            QCOMPARE(b.messages(), 1);
            QVERIFY2(b.prompts.shown.back().text.contains(QStringLiteral("/carol/")),
                     qPrintable(b.prompts.shown.back().text));
            b.click(2, 3);
            QCOMPARE(b.messages(), 2);
            QVERIFY2(b.prompts.shown.back().text.contains(QStringLiteral("Workshop")),
                     qPrintable(b.prompts.shown.back().text));

            // The server mended: Carol is back at the next build.
            proxy_->setRule({});
            b.build();
            verifyWholeBoard(b);
            QCOMPARE(b.messages(), 2);
        }
    }

    // A server that never answers at start-up costs one time-out, not one per person and day;
    // the board is there afterwards, empty, and the user is told once why.
    void serverDeadAtStart() {
        SilentServer silent;
        QElapsedTimer timer;
        timer.start();
        CalDavBoard b(QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(silent.port())), *server_);
        QVERIFY2(timer.elapsed() < 2000 * kTimeoutSeconds + 2000,
                 qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(b.grid().rowCount(), 1);
        QCOMPARE(b.messages(), 1);
        QVERIFY(b.prompts.messageTexts().last().contains(QStringLiteral("could not be looked up")));
    }

private:
    // Carol's calendar changes, so the next build reads it again, and reading it meets the fault.
    void failCarolsChangedCalendar(Fault fault) {
        QVERIFY(setCalendar(kCarol, QStringLiteral("audit-4th.ics")));
        proxy_->setRule([fault](const QByteArray& method, const QByteArray& path) {
            return (method == "GET" || method == "REPORT") && under(path, "/carol/calendar")
                       ? fault
                       : Fault::None;
        });
    }

    // The person's calendar becomes the file of tests/data/board/.
    bool setCalendar(const DavPerson& p, const QString& dataFile) {
        return server_->setEvents(p, server_->calendarPath(p.user), boardData(dataFile));
    }

    std::unique_ptr<DavServer> server_;
    std::unique_ptr<FaultProxy> proxy_;
    std::unique_ptr<TempHome> home_;
};

QTEST_MAIN(BoardCalDavFaultsTest)
#include "board_caldav_faults_test.moc"
