// The board over a local store whose calendar files go bad between two builds: garbage, a file
// of 50 MB, a file that disappears or turns into a folder. The build finishes, shows no message,
// the other people's rows stay right, and the board answers the next click.

#include "support/board_fixture.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProgressBar>
#include <QRandomGenerator>
#include <QTest>

using namespace rv;
using namespace rv::test;

namespace {

// Bob's calendar: 1 March a short meeting, 3 March a long day.
const QString kBobs = QStringLiteral("standup-offsite.ics");

QString calendarPath(Board& b, const QString& user) {
    return QDir(b.store.folder()).filePath(QStringLiteral("calendars/%1.ics").arg(user));
}

// Rows 1 (alice, untouched) and 2 (bob) as a fresh build over good files shows them.
void verifyAliceAsBuilt(Board& b) {
    QCOMPARE(b.names(), QStringList({QStringLiteral("Alice Archer"), QStringLiteral("Bob Baker")}));
    QCOMPARE(b.color(1, 2), kBetween);
    QCOMPARE(b.color(1, 1), kFree);
    QVERIFY(!b.grid().cellHasPicture(1, 2));
}

void verifyBobAsBuilt(Board& b) {
    QCOMPARE(b.color(2, 1), kUpTo4);
    QCOMPARE(b.color(2, 3), kMore);
    QCOMPARE(b.color(2, 2), kFree);
    for (int d = 1; d <= 31; ++d)
        QVERIFY(!b.grid().cellHasPicture(2, d));
}

// The board still answers a click: the details of a day cell come up.
void verifyDetailsOfDay(Board& b, int row, int day, const QString& expected) {
    const size_t before = b.prompts.shown.size();
    b.click(row, day);
    QCOMPARE(b.prompts.shown.size(), before + 1);
    QVERIFY2(b.prompts.shown.back().text.contains(expected),
             qPrintable(b.prompts.shown.back().text));
}

} // namespace

class BoardFileFaultsTest : public QObject {
    Q_OBJECT

private:
    void setUpTeam(Board& b) {
        b.setCalendar(QStringLiteral("alice"), QStringLiteral("workshop-2nd.ics"));
        b.setCalendar(QStringLiteral("bob"), kBobs);
        b.writeTeam({QStringLiteral("alice"), QStringLiteral("bob")});
        b.load();
        verifyAliceAsBuilt(b);
        verifyBobAsBuilt(b);
    }

private slots:
    // The user's selected cell lies in a row, or a column, that the next build removes: the build
    // must not take that for a selection and show the cell's details midway.
    void aBuildAfterAClickShowsNoMessage() {
        Board b;
        setUpTeam(b);
        b.click(2, 31);
        QCOMPARE(b.prompts.count(QStringLiteral("message")), 1);
        b.form->Command4_Click();
        QCOMPARE(b.prompts.count(QStringLiteral("message")), 1);
        b.click(2, 31);
        b.form->Combo1->setCurrentIndex(3); // April: day 31 goes
        b.form->Command4_Click();
        QCOMPARE(b.prompts.count(QStringLiteral("message")), 2);
        QCOMPARE(b.grid().columnCount(), 31);
        verifyDetailsOfDay(b, 2, 1, QStringLiteral("Free All Day"));
    }

    // Unreadable bytes read as a free month; the readable events of a damaged file still show.
    void calendarReplacedByGarbage() {
        Board b;
        setUpTeam(b);

        // Random bytes, with and without line breaks: nothing readable, so nothing booked.
        QByteArray garbage(64 * 1024, '\0');
        QRandomGenerator random(11);
        for (char& c : garbage)
            c = char(random.bounded(256));
        b.store.setCalendarText(QStringLiteral("bob"), garbage);
        b.form->Command4_Click();
        verifyAliceAsBuilt(b);
        for (int d = 1; d <= 31; ++d) {
            QVERIFY(!b.grid().cellHasPicture(2, d));
            const QDate day(2021, 3, d);
            QCOMPARE(b.color(2, d), day.dayOfWeek() >= 6 ? kWeekend : kFree);
        }
        QCOMPARE(b.form->pbar_users->value(), 100);
        verifyDetailsOfDay(b, 2, 1, QStringLiteral("Free All Day"));

        // A calendar cut off in the middle of an event, with junk between two events: the
        // events that can be read still show.
        b.setCalendar(QStringLiteral("bob"), QStringLiteral("standup-offsite-broken.ics"));
        b.form->Command4_Click();
        verifyAliceAsBuilt(b);
        verifyBobAsBuilt(b);
        verifyDetailsOfDay(b, 2, 1, QStringLiteral("Standup"));
        QCOMPARE(b.prompts.count(QStringLiteral("message")), 2); // the two clicks, nothing else
    }

    // A 50 MB calendar is read whole and is not kept once it shrinks again.
    void calendarOfFiftyMegabytes() {
        Board b;
        setUpTeam(b);

        // Bob's calendar grows to 50 MB: his events, then one event whose description runs over
        // 50 MB of folded lines, then another 2 MB of text on a single line.
        const QString path = calendarPath(b, QStringLiteral("bob"));
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(boardData(kBobs).replace("END:VCALENDAR\n", ""));
            file.write("BEGIN:VEVENT\r\nUID:huge\r\nDTSTART:20210305T090000\r\n"
                       "DTEND:20210305T100000\r\nSUMMARY:Huge\r\nDESCRIPTION:start");
            const QByteArray folded = " " + QByteArray(72, 'x') + "\r\n";
            const QByteArray block = folded.repeated(1024);
            while (file.size() < 50 * 1024 * 1024)
                file.write(block);
            file.write("\r\nEND:VEVENT\r\nX-JUNK:" + QByteArray(2 * 1024 * 1024, 'y') +
                       "\r\nEND:VCALENDAR\r\n");
        }
        QVERIFY(QFileInfo(path).size() > 50 * 1024 * 1024);
        QElapsedTimer timer;
        timer.start();
        b.form->Command4_Click();
        qInfo("board build over a 50 MB calendar: %lld ms", timer.elapsed());
        verifyAliceAsBuilt(b);
        verifyBobAsBuilt(b);
        QCOMPARE(b.color(2, 5), kUpTo4);
        QCOMPARE(b.form->pbar_users->value(), 100);
        verifyDetailsOfDay(b, 2, 3, QStringLiteral("Offsite"));
        QVERIFY(QFile::remove(path));

        // Back to a small file: the next build reads it, and the big one is not kept.
        b.store.setEvents(QStringLiteral("bob"), {});
        b.form->Command4_Click();
        QCOMPARE(b.color(2, 1), kFree);
        QCOMPARE(b.color(2, 5), kFree);
        QCOMPARE(b.prompts.count(QStringLiteral("message")), 1);
    }

    // A calendar gone, or a folder in its place, cannot be opened, and shows again once back.
    void calendarRemovedBetweenBuilds() {
        Board b;
        setUpTeam(b);

        // Gone: the calendar cannot be opened; Bob's new row gets the picture in every day cell
        // and none of the hours read before.
        b.store.removeCalendar(QStringLiteral("bob"));
        b.form->Command4_Click();
        verifyAliceAsBuilt(b);
        for (int d = 1; d <= 31; ++d) {
            QVERIFY(b.grid().cellHasPicture(2, d));
            QCOMPARE(b.color(2, d), kFree);
        }
        b.click(2, 1);
        QCOMPARE(b.prompts.shown.back().text, QStringLiteral("Sorry, Access Denied"));

        // A folder where the file was is no calendar either.
        QVERIFY(QDir().mkpath(calendarPath(b, QStringLiteral("bob"))));
        b.form->Command4_Click();
        verifyAliceAsBuilt(b);
        for (int d = 1; d <= 31; ++d)
            QVERIFY(b.grid().cellHasPicture(2, d));
        QVERIFY(QDir(calendarPath(b, QStringLiteral("bob"))).removeRecursively());

        // Back again: read as if nothing had happened.
        b.setCalendar(QStringLiteral("bob"), kBobs);
        b.form->Command4_Click();
        verifyAliceAsBuilt(b);
        verifyBobAsBuilt(b);
        verifyDetailsOfDay(b, 2, 3, QStringLiteral("Offsite"));
        QCOMPARE(b.prompts.count(QStringLiteral("message")), 2);
    }
};

QTEST_MAIN(BoardFileFaultsTest)
#include "board_file_faults_test.moc"
