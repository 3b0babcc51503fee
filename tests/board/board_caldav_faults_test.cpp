// The board over a CalDAV server that fails while a build runs: it stops, hangs, answers 500 or
// sends a multistatus document cut off in the middle. A real Radicale holds the calendars; a
// proxy in front of it injects the fault. The build ends within the request time-out, shows no
// message, keeps every row on its own member, and the board answers the next click and build.

#include "calendar/caldav/caldav_application.h"
#include "calendar/ical/entry_id.h"
#include "support/board_fixture.h"
#include "support/dav_servers.h"
#include "support/fault_proxy.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProgressBar>
#include <QTest>

#include <sys/stat.h>

using namespace rv;
using namespace rv::test;
using Fault = FaultProxy::Fault;

namespace {

constexpr int kTimeoutSeconds = 2;

// Alice, the connected user, reads everybody's calendars.
const DavPerson kAlice{QStringLiteral("alice"), QStringLiteral("alice-pw"), {}, {}, {}};
const DavPerson kBob{QStringLiteral("bob"),
                     QStringLiteral("bob-pw"),
                     QStringLiteral("Bob Baker"),
                     {},
                     {QStringLiteral("alice")}};
const DavPerson kCarol{QStringLiteral("carol"),
                       QStringLiteral("carol-pw"),
                       QStringLiteral("Carol Clark"),
                       {},
                       {QStringLiteral("alice")}};
const DavPerson kDave{QStringLiteral("dave"),
                      QStringLiteral("dave-pw"),
                      QStringLiteral("Dave Dunn"),
                      {},
                      {QStringLiteral("alice")}};

QByteArray calendarOf(const QString& vevent) {
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Rotaview tests//EN\r\n" + vevent.toUtf8() +
           "END:VCALENDAR\r\n";
}

// Bob has a short meeting on the 1st, Carol a long day on the 2nd, Dave half a day on the 3rd.
QByteArray bobsCalendar() {
    return calendarOf(
        ev(QStringLiteral("2021-03-01T09:00"), QStringLiteral("2021-03-01T10:00"), "Standup"));
}
QByteArray carolsCalendar() {
    return calendarOf(
        ev(QStringLiteral("2021-03-02T08:00"), QStringLiteral("2021-03-02T17:00"), "Audit"));
}
QByteArray davesCalendar() {
    return calendarOf(
        ev(QStringLiteral("2021-03-03T09:00"), QStringLiteral("2021-03-03T14:00"), "Workshop"));
}

QString idOf(const QString& user) {
    return makeEntryId(kCalDavProviderTag, QLatin1Char('/') + user + QLatin1Char('/'));
}

bool under(const QByteArray& path, const char* prefix) {
    return path.startsWith(prefix);
}

QList<GroupMember> membersOf(const QList<DavPerson>& people) {
    QList<GroupMember> members;
    for (const DavPerson& p : people)
        members << GroupMember{p.displayName, idOf(p.user)};
    return members;
}

// A board in a working directory of its own over the server at `url`, for March 2021, showing
// the group "Team" (bob, carol and dave unless told otherwise).
struct CalDavBoard {
    TempWorkdir workdir;
    MemorySettings settings;
    ScriptedPrompts prompts;
    RecordingDesktop desktop;
    std::unique_ptr<Form1> form;

    explicit CalDavBoard(const QUrl& url, const QList<DavPerson>& team = {kBob, kCarol, kDave}) {
        settings.SaveSetting(QStringLiteral("Settings"), QStringLiteral("Month"),
                             QStringLiteral("3"));
        settings.SaveSetting(QStringLiteral("Settings"), QStringLiteral("Year"),
                             QStringLiteral("2021"));
        settings.SaveSetting(QStringLiteral("Settings"), QStringLiteral("DefaultGrp"),
                             QStringLiteral("Team"));
        write_group_index({QStringLiteral("Team")});
        write_members(0, membersOf(team));
        ServiceProfile profile;
        profile.backend = QStringLiteral("caldav");
        profile.url = url.toString();
        profile.user = kAlice.user;
        profile.timeoutSeconds = kTimeoutSeconds;
        BoardServices services{
            settings,
            prompts,
            desktop,
            nullptr,
            [this, profile] {
                return openCalDavApplication(profile, CalendarServiceContext{prompts, desktop});
            },
            {}};
        form = std::make_unique<Form1>(services);
        form->Form_Load();
    }

    BoardGrid& grid() { return form->grid(); }
    QStringList names() {
        QStringList n;
        for (int r = 1; r < grid().rowCount(); ++r)
            n << grid().cellText(r, 0);
        return n;
    }
    std::uint32_t color(int row, int day) {
        const auto c = grid().cellColor(row, day);
        return c < 0 ? grid().backgroundColor() : std::uint32_t(c);
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
    void click(int row, int column) {
        const QRect rect = grid().visualRect(grid().model()->index(row, column));
        QTest::mouseClick(grid().viewport(), Qt::LeftButton, {}, rect.center());
    }
    int messages() const { return prompts.count(QStringLiteral("message")); }
};

// The board as a build over a healthy server shows it.
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
        QVERIFY(server_->setEvents(kBob, server_->calendarPath(kBob.user), bobsCalendar()));
        QVERIFY(server_->setEvents(kCarol, server_->calendarPath(kCarol.user), carolsCalendar()));
        QVERIFY(server_->setEvents(kDave, server_->calendarPath(kDave.user), davesCalendar()));

        // The password comes from a private .netrc in a home of the test's own.
        previousHome_ = qgetenv("HOME");
        qputenv("HOME", home_.path().toUtf8());
        const QString netrc = home_.filePath(QStringLiteral(".netrc"));
        QFile file(netrc);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("machine 127.0.0.1 login alice password " + kAlice.password.toUtf8() + "\n");
        file.close();
        QCOMPARE(::chmod(QFile::encodeName(netrc).constData(), 0600), 0);

        proxy_ = std::make_unique<FaultProxy>(server_->port());
        QVERIFY(proxy_->start());
    }

    void cleanupTestCase() {
        proxy_.reset();
        qputenv("HOME", previousHome_);
    }

    void init() {
        // Every case starts with a running proxy that passes everything on, over the calendars
        // as initTestCase wrote them.
        proxy_->setRule({});
        if (proxy_->stoppedByFault())
            QVERIFY(proxy_->start());
        QVERIFY(server_->setEvents(kCarol, server_->calendarPath(kCarol.user), carolsCalendar()));
    }

    void serverStopsInTheMiddleOfABuild() {
        CalDavBoard b(proxy_->url());
        verifyWholeBoard(b);

        // Carol's calendar changed, so the next build reads it again: the server stops right
        // then, with Bob read and Carol and Dave still to come.
        failCarolsChangedCalendar(Fault::Stop);
        const qint64 ms = b.build();
        QVERIFY(proxy_->stoppedByFault());
        QVERIFY2(ms < 2000 * kTimeoutSeconds, qPrintable(QString::number(ms)));
        QCOMPARE(b.names(), QStringList({QStringLiteral("Bob Baker"), QStringLiteral("Carol Clark"),
                                         QStringLiteral("Dave Dunn")}));
        QCOMPARE(b.color(1, 1), kUpTo4);
        // Carol's calendar could not be read: her new row shows no category, nothing of another
        // person shows in it, and the user is told once. Dave's calendar had not changed: the
        // copy read before still answers for it.
        QCOMPARE(b.color(2, 2), kFree);
        QCOMPARE(b.color(2, 4), kFree);
        QVERIFY(!b.grid().cellHasPicture(2, 4));
        QCOMPARE(b.color(3, 3), kBetween);
        QCOMPARE(b.messages(), 1);
        QVERIFY(b.prompts.messageTexts().last().contains(QStringLiteral("could not be read")));

        // The board still answers: Bob's day comes up; after the server is back, the next build
        // shows everybody as they are now.
        b.click(1, 1);
        QCOMPARE(b.messages(), 2);
        QVERIFY2(b.prompts.shown.back().text.contains(QStringLiteral("Standup")),
                 qPrintable(b.prompts.shown.back().text));
        QVERIFY(proxy_->start());
        proxy_->setRule({});
        b.build();
        QCOMPARE(b.color(2, 4), kMore);
        QCOMPARE(b.color(2, 2), kFree);
        QCOMPARE(b.color(3, 3), kBetween);
        QCOMPARE(b.messages(), 2);
    }

    void serverThatNeverAnswers() {
        CalDavBoard b(proxy_->url());
        verifyWholeBoard(b);

        // Carol's calendar changed; reading it hangs. The build waits for one request time-out,
        // not one per day or per person.
        failCarolsChangedCalendar(Fault::Hang);
        const qint64 ms = b.build();
        qInfo("build with a server that never answers: %lld ms", ms);
        QVERIFY2(ms >= 1000 * kTimeoutSeconds - 500, qPrintable(QString::number(ms)));
        QVERIFY2(ms < 2000 * kTimeoutSeconds + 2000, qPrintable(QString::number(ms)));
        QCOMPARE(b.names().size(), 3);
        QCOMPARE(b.color(1, 1), kUpTo4);
        QCOMPARE(b.color(2, 4), kFree);
        QCOMPARE(b.messages(), 1);
        QVERIFY(b.prompts.messageTexts().last().contains(QStringLiteral("could not be read")));

        // The server answers again: selecting Carol's name reads her row at once.
        proxy_->setRule({});
        QCoreApplication::processEvents();
        QElapsedTimer timer;
        timer.start();
        b.click(2, 0);
        QVERIFY2(timer.elapsed() < 1000 * kTimeoutSeconds, qPrintable(QString::number(ms)));
        QCOMPARE(b.color(2, 4), kMore);
        QCOMPARE(b.messages(), 1);
    }

    void serverErrorsAndBrokenAnswers() {
        const QList<Fault> faults{Fault::ServerError, Fault::MalformedXml};
        for (const Fault fault : faults) {
            CalDavBoard b(proxy_->url());
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
        CalDavBoard b(QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(silent.port())));
        QVERIFY2(timer.elapsed() < 2000 * kTimeoutSeconds + 2000,
                 qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(b.grid().rowCount(), 1);
        QCOMPARE(b.messages(), 1);
        QVERIFY(b.prompts.messageTexts().last().contains(QStringLiteral("could not be looked up")));
    }

private:
    // Carol's calendar changes, so the next build reads it again, and reading it meets the fault.
    void failCarolsChangedCalendar(Fault fault) {
        QVERIFY(
            server_->setEvents(kCarol, server_->calendarPath(kCarol.user),
                               calendarOf(ev(QStringLiteral("2021-03-04T08:00"),
                                             QStringLiteral("2021-03-04T17:00"), "Moved audit"))));
        proxy_->setRule([fault](const QByteArray& method, const QByteArray& path) {
            return (method == "GET" || method == "REPORT") && under(path, "/carol/calendar")
                       ? fault
                       : Fault::None;
        });
    }

    std::unique_ptr<DavServer> server_;
    std::unique_ptr<FaultProxy> proxy_;
    QTemporaryDir home_;
    QByteArray previousHome_;
};

QTEST_MAIN(BoardCalDavFaultsTest)
#include "board_caldav_faults_test.moc"
