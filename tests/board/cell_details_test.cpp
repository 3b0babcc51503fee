#include "platform/qt_prompts.h"
#include "support/board_fixture.h"

#include <QLabel>
#include <QProgressBar>
#include <QTest>

using namespace rv;
using namespace rv::test;

class CellDetailsTest : public QObject {
    Q_OBJECT
private slots:
    // Selecting a day lists its items in a box; hovering it shows the same lines, and hovering a
    // day number its weekday and date.
    void detailsBoxListsTheDay() {
        Board b;
        b.setCalendar(QStringLiteral("alice"), QStringLiteral("busy-5th.ics"));
        b.writeTeam({QStringLiteral("alice")});
        b.load();
        b.click(1, 5);
        QCOMPARE(b.prompts.count(QStringLiteral("message")), 1);
        const auto& box = b.prompts.shown.back();
        QCOMPARE(box.title, QStringLiteral("Alice Archer 5"));
        const QStringList lines = box.text.split(QChar(13));
        QCOMPARE(lines.size(), 5); // four lines, each ended by a carriage return
        QVERIFY(!box.text.contains(QChar(10)));
        QVERIFY(lines.contains(QStringLiteral("05 09:00 AM ->05 10:30 AM  Budget Room 4")));
        QVERIFY(lines.contains(QStringLiteral("11:00 AM ->12:30 PM  Private Appointment")));
        QVERIFY(lines.contains(QStringLiteral("04 10:00 PM ->05 01:00 AM  Night shift ")));
        QVERIFY(lines.contains(QStringLiteral("02:00 PM ->03:00 PM  Personal Appointment")));
        QVERIFY(!box.text.contains(QStringLiteral("Clinic")));
        QCOMPARE(b.grid().cellToolTip(1, 5), box.text);

        // An empty day.
        b.click(1, 9);
        QCOMPARE(b.prompts.shown.back().text, QStringLiteral("Free All Day"));
        QCOMPARE(b.prompts.shown.back().title, QStringLiteral("Alice Archer 9"));
        QCOMPARE(b.grid().cellToolTip(1, 9), QStringLiteral("Free All Day"));
        QCOMPARE(b.grid().cellToolTip(0, 5), QStringLiteral("Friday 05/03/2021"));
        // A name that fits its column needs no tooltip of its own.
        QCOMPARE(b.grid().cellToolTip(1, 0), QString());
    }

    // A subject that looks like markup shows as typed: the box is plain text, its lines whole.
    void markupInASubjectShowsLiterally() {
        Board b;
        b.setCalendar(QStringLiteral("alice"), QStringLiteral("markup-5th.ics"));
        b.writeTeam({QStringLiteral("alice")});
        b.load();
        b.click(1, 5);
        const auto& told = b.prompts.shown.back();
        QVERIFY(told.text.contains(QStringLiteral("<b>Budget</b> & plans")));
        QCOMPARE(b.grid().cellToolTip(1, 5), told.text);

        const auto box = QtPrompts::plainBox(nullptr, told.text, told.title);
        QCOMPARE(box->textFormat(), Qt::PlainText);
        const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        QVERIFY(label);
        QCOMPARE(label->textFormat(), Qt::PlainText);
        const QStringList lines = label->text().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[0], QStringLiteral("05 09:00 AM ->05 10:00 AM  <b>Budget</b> & plans "));
    }

    // A denied calendar's day and double-click tell "Access Denied" and open nothing.
    void deniedCalendarMessages() {
        Board b;
        b.store.setReaders(QStringLiteral("bob"), {QStringLiteral("alice")});
        b.writeTeam({QStringLiteral("bob")});
        b.load();
        b.click(1, 3);
        QCOMPARE(b.prompts.shown.back().text, QStringLiteral("Sorry, Access Denied"));
        QCOMPARE(b.prompts.shown.back().title, QStringLiteral("Bob Baker"));
        b.doubleClick(1, 4);
        QCOMPARE(b.prompts.shown.back().text,
                 QStringLiteral("Sorry, Cannot Display Calandar Access Denied"));
        QCOMPARE(b.prompts.shown.back().title, QStringLiteral("Rotaview"));
        QVERIFY(b.store.desktop.openedUrls.isEmpty());
    }

    // A double-click on a day opens the person's calendar; on the name, nothing.
    void doubleClickOpensTheCalendarButNotFromTheNameColumn() {
        Board b;
        b.writeTeam({QStringLiteral("alice")});
        b.load();
        b.doubleClick(1, 0);
        QVERIFY(b.store.desktop.openedUrls.isEmpty());
        QVERIFY(b.prompts.shown.empty());
        b.doubleClick(1, 2);
        QCOMPARE(b.store.desktop.openedUrls.size(), 1);
        QVERIFY(b.store.desktop.openedUrls[0].toString().contains(QStringLiteral("alice")));
    }

    // Selecting a name reads that person again, colours and picture, and no other row.
    void selectingANameRefreshesOnlyThatRow() {
        Board b;
        b.setCalendar(QStringLiteral("alice"), QStringLiteral("standup-2nd.ics"));
        b.store.setReaders(QStringLiteral("bob"), {QStringLiteral("carol")});
        b.writeTeam({QStringLiteral("alice"), QStringLiteral("bob")});
        b.load();
        b.form->mnudetails->trigger();
        b.form->Command4_Click();
        QCOMPARE(b.color(1, 2), kUpTo4);
        QCOMPARE(b.grid().cellText(1, 2), QStringLiteral("Standup"));
        QVERIFY(b.grid().cellHasPicture(2, 1));
        const int runsBefore = b.selectionHandlerRuns;

        // Alice's day is cleared and Bob shares his calendar; only the selected row changes.
        b.store.setEvents(QStringLiteral("alice"), {});
        b.store.setReaders(QStringLiteral("bob"), {});
        b.click(1, 0);
        QCOMPARE(b.selectionHandlerRuns, runsBefore + 1);
        QCOMPARE(b.color(1, 2), kFree);
        QCOMPARE(b.grid().cellText(1, 2), QStringLiteral("Standup")); // text is the build's
        QVERIFY(b.grid().cellHasPicture(2, 1));
        QCOMPARE(b.form->pbar_users->value(), 0);
        QCOMPARE(b.form->pbar_days->value(), 100);
        QVERIFY(b.prompts.shown.empty());
        b.click(2, 0);
        for (int d = 1; d <= 31; ++d)
            QVERIFY(!b.grid().cellHasPicture(2, d));
        QCOMPARE(b.color(2, 6), kWeekend);
    }

    // A row refresh looks a member text of up to 150 characters up as a name.
    void refreshLooksShortIdentifiersUpAsNames() {
        Board b;
        const QString longUser = QString(150, QLatin1Char('z'));
        b.store.addPerson(longUser, QStringLiteral("Zed Long"));
        b.setCalendar(longUser, QStringLiteral("audit-1st.ics"));
        b.writeTeam({QStringLiteral("alice")});
        b.load();
        QCOMPARE(b.color(1, 1), kFree);
        // Alice's record now holds a 150-character text: the refresh looks it up as a name.
        write_members(0, {GroupMember{QStringLiteral("Zed"), longUser}});
        b.click(1, 0);
        QCOMPARE(b.color(1, 1), kMore);
        // 151 characters are taken as an entry identifier, which this one is not: no change,
        // although somebody has it as a user name.
        b.store.addPerson(longUser + QLatin1Char('z'), QStringLiteral("Zed Longer"));
        b.store.setEvents(longUser + QLatin1Char('z'), {});
        b.store.setEvents(longUser, {});
        write_members(0, {GroupMember{QStringLiteral("Zed"), longUser + QLatin1Char('z')}});
        b.click(1, 1);
        b.click(1, 0);
        QCOMPARE(b.color(1, 1), kMore);
        // Back to the short name: the emptied calendar shows.
        write_members(0, {GroupMember{QStringLiteral("Zed"), longUser}});
        b.click(1, 1);
        b.click(1, 0);
        QCOMPARE(b.color(1, 1), kFree);
    }
};

QTEST_MAIN(CellDetailsTest)
#include "cell_details_test.moc"
