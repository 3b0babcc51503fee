#include "support/board_fixture.h"
#include "support/group_records.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QTest>

using namespace rv;
using namespace rv::test;

namespace {

// A group of twelve in a board window too small to show them all, its day columns 600 twips wide.
void loadTwelve(Board& b) {
    QStringList team;
    for (int i = 1; i <= 12; ++i) {
        const QString user = QStringLiteral("p%1").arg(i);
        b.store.addPerson(user, QStringLiteral("Person %1").arg(i));
        b.store.setEvents(user, {});
        team << user;
    }
    b.writeTeam(team);
    b.load();
    b.form->HScroll1->setValue(600);
    b.form->resize(b.form->minimumSizeHint().width(), 330);
    QCoreApplication::processEvents();
}

// The cell the user sees at a point of the grid's viewport, on whichever view shows it on top.
QModelIndex cellSeenAt(BoardGrid& grid, QPoint inViewport) {
    const QPoint inGrid = grid.viewport()->mapTo(&grid, inViewport);
    QWidget* shown = grid.childAt(inGrid);
    const auto* view = shown ? qobject_cast<QAbstractItemView*>(shown->parentWidget()) : nullptr;
    return view ? view->indexAt(shown->mapFrom(&grid, inGrid)) : QModelIndex();
}

} // namespace

class BoardBuildTest : public QObject {
    Q_OBJECT
private slots:
    // Rows follow the member file's order and every day cell gets its category's colour.
    void groupOfThreeFillsEveryDayInFileOrder() {
        Board b;
        b.setCalendar(QStringLiteral("bob"), QStringLiteral("every-category.ics"));
        b.writeTeam({QStringLiteral("carol"), QStringLiteral("bob"), QStringLiteral("alice")});
        b.load();
        QCOMPARE(b.names(), QStringList({QStringLiteral("Carol Clark"), QStringLiteral("Bob Baker"),
                                         QStringLiteral("Alice Archer")}));
        QCOMPARE(b.grid().columnCount(), 32);
        for (int d = 1; d <= 31; ++d)
            QCOMPARE(b.grid().cellText(0, d), QString::number(d));
        for (int r = 1; r <= 3; ++r)
            for (int d = 1; d <= 31; ++d)
                QVERIFY2(b.grid().cellColor(r, d) >= 0, "every day cell is coloured");
        QCOMPARE(b.color(2, 1), kUpTo4);
        QCOMPARE(b.color(2, 2), kBetween);
        QCOMPARE(b.color(2, 3), kMore);
        QCOMPARE(b.color(2, 4), kSpecial);
        QCOMPARE(b.color(2, 5), kFree);
        QCOMPARE(b.color(2, 6), kWeekend);
        QCOMPARE(b.color(1, 1), kFree);
        QCOMPARE(b.form->pbar_users->value(), 100);
        QCOMPARE(b.form->pbar_days->value(), 100);
        QCOMPARE(b.selectionHandlerRuns, 0);
        QCOMPARE(b.grid().cellAlignment(3, 0), 1);
        QVERIFY(b.prompts.shown.empty());
    }

    // No group name shows the members of group 0, and nobody once its file is gone.
    void emptyGroupNameShowsGroupZeroOrNobody() {
        Board b;
        b.load(QString());
        QCOMPARE(b.grid().rowCount(), 1);
        write_members(0, {b.member(QStringLiteral("alice")), b.member(QStringLiteral("bob"))});
        b.form->Command4_Click();
        QCOMPARE(b.names(),
                 QStringList({QStringLiteral("Alice Archer"), QStringLiteral("Bob Baker")}));
        // The member file gone: no stale row of the previous board stays.
        workdir::remove(memberFileName(0));
        b.form->Command4_Click();
        QCOMPARE(b.grid().rowCount(), 1);
    }

    // Every group of the chosen name adds its members, each row reading its own calendar.
    void groupsWithTheSameNameAllContribute() {
        Board b;
        write_group_index(
            {QStringLiteral("Team"), QStringLiteral("Other"), QStringLiteral("Team")});
        write_members(0, {b.member(QStringLiteral("alice"))});
        write_members(1, {b.member(QStringLiteral("dave"))});
        write_members(2, {b.member(QStringLiteral("bob")), b.member(QStringLiteral("carol"))});
        b.load();
        QCOMPARE(b.names(),
                 QStringList({QStringLiteral("Alice Archer"), QStringLiteral("Bob Baker"),
                              QStringLiteral("Carol Clark")}));
        QCOMPARE(b.form->state().cur_group_no, 2);
        // Each row still reads its own person's calendar.
        b.setCalendar(QStringLiteral("alice"), QStringLiteral("long-day-1st.ics"));
        b.form->Command4_Click();
        QCOMPARE(b.color(1, 1), kMore);
        QCOMPARE(b.color(2, 1), kFree);
    }

    // A calendar the user may not read shows the picture in every day, until it is shared.
    void deniedCalendarShowsIconsAndKeepsColours() {
        Board b;
        b.store.setReaders(QStringLiteral("bob"), {QStringLiteral("alice")});
        b.writeTeam({QStringLiteral("alice"), QStringLiteral("bob")});
        b.load();
        for (int d = 1; d <= 31; ++d) {
            QVERIFY(b.grid().cellHasPicture(2, d));
            QCOMPARE(b.color(2, d), kFree);
            QVERIFY(!b.grid().cellHasPicture(1, d));
        }
        b.store.setReaders(QStringLiteral("bob"), {});
        b.form->Command4_Click();
        for (int d = 1; d <= 31; ++d)
            QVERIFY(!b.grid().cellHasPicture(2, d));
        QCOMPARE(b.color(2, 6), kWeekend);
    }

    // Cell texts appear and go with the details menu at the next build, private items masked.
    void detailsTextsFollowTheMenuAtTheNextBuild() {
        Board b;
        b.setCalendar(QStringLiteral("alice"), QStringLiteral("private-and-budget.ics"));
        b.writeTeam({QStringLiteral("alice")});
        b.load();
        QCOMPARE(b.grid().cellText(1, 2), QString());
        b.form->mnudetails->trigger();
        QVERIFY(b.form->mnudetails->isChecked());
        QCOMPARE(b.grid().cellText(1, 2), QString());
        b.form->Command4_Click();
        QCOMPARE(b.grid().cellText(1, 2), QStringLiteral("Private Appointment:Budget"));
        b.form->mnudetails->trigger();
        QVERIFY(!b.form->mnudetails->isChecked());
        b.form->Command4_Click();
        QCOMPARE(b.grid().cellText(1, 2), QString());
    }

    // A build lays out the new month's days at the width the bar set.
    void monthLengthAndWidthsAcrossBuilds() {
        Board b;
        b.writeTeam({QStringLiteral("alice")});
        b.load();
        QCOMPARE(b.grid().columnCount(), 32);
        b.form->HScroll1->setValue(600);
        b.form->Combo1->setCurrentIndex(3); // April
        b.form->Command4_Click();
        QCOMPARE(b.grid().columnCount(), 31);
        QCOMPARE(b.grid().cellText(0, 30), QStringLiteral("30"));
        for (int c = 1; c <= 30; ++c)
            QCOMPARE(b.grid().columnWidth(c), 40); // 600 twips
        QCOMPARE(b.grid().columnWidth(0), 87);
    }

    // The board stays where the user scrolled it: a build and a name's refresh move the current
    // cell over every row, never the view.
    void boardStaysWhereTheUserScrolledIt() {
        Board b;
        loadTwelve(b);
        QScrollBar* down = b.grid().verticalScrollBar();
        QVERIFY(down->maximum() > 0);
        down->setValue(down->maximum() / 2);
        const int scrolled = down->value();
        b.form->Command4_Click();
        QCoreApplication::processEvents();
        QCOMPARE(down->value(), scrolled);

        // A name wholly in view below the header row.
        int row = 1;
        const QRect shown = b.grid().viewport()->rect().adjusted(0, b.grid().rowHeight(0), 0, 0);
        while (row < b.grid().rowCount() &&
               !shown.contains(b.grid().visualRect(b.grid().model()->index(row, 1))))
            ++row;
        QVERIFY(row < b.grid().rowCount());
        b.click(row, 0);
        QCOMPARE(b.selectionHandlerRuns, 1);
        QCOMPARE(down->value(), scrolled);
    }

    // Scrolled right and down, the header row and the name column stay in view, as a grid's
    // fixed row and column do.
    void headerRowAndNameColumnStayInView() {
        Board b;
        loadTwelve(b);
        BoardGrid& grid = b.grid();
        grid.horizontalScrollBar()->setValue(grid.horizontalScrollBar()->maximum());
        grid.verticalScrollBar()->setValue(grid.verticalScrollBar()->maximum());
        QVERIFY(grid.horizontalScrollBar()->value() > 0);
        QVERIFY(grid.verticalScrollBar()->value() > 0);

        const int nameWidth = grid.columnWidth(0);
        const int headerHeight = grid.rowHeight(0);
        QCOMPARE(cellSeenAt(grid, {2, 2}), grid.model()->index(0, 0));
        // The day number above the days now in view, and the name beside them.
        const QPoint dayNumber(nameWidth + 20, 2);
        QCOMPARE(cellSeenAt(grid, dayNumber), grid.model()->index(0, grid.columnAt(dayNumber.x())));
        QVERIFY(grid.columnAt(dayNumber.x()) > 1);
        const QPoint name(2, headerHeight + 2);
        QCOMPARE(cellSeenAt(grid, name), grid.model()->index(grid.rowAt(name.y()), 0));
        QVERIFY(grid.rowAt(name.y()) > 1);
        QCOMPARE(cellSeenAt(grid, name).data().toString(),
                 QStringLiteral("Person %1").arg(grid.rowAt(name.y())));
    }

    // A group name that matches no stored group says so, naming the group that matches when
    // capitals are ignored; a name that matches builds without a word.
    void typedGroupNameMatchingNoGroup_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("told");
        QTest::newRow("capitals differ")
            << "team"
            << "There is no group named \"team\", so the board shows nobody. Did you mean "
               "\"Team\"? A group name must be typed exactly as it is stored, capitals included.";
        QTest::newRow("no such group")
            << "Nobody"
            << "There is no group named \"Nobody\", so the board shows nobody. Choose a group in "
               "the group editor (\"Groups\").";
        QTest::newRow("exact") << "Team"
                               << "";
    }
    void typedGroupNameMatchingNoGroup() {
        QFETCH(QString, typed);
        QFETCH(QString, told);
        Board b;
        b.writeTeam({QStringLiteral("alice")});
        b.load();
        b.form->Text1->setText(typed);
        b.form->Command4_Click();
        QCOMPARE(b.prompts.messageTexts(), told.isEmpty() ? QStringList() : QStringList{told});
        QCOMPARE(b.grid().rowCount(), told.isEmpty() ? 2 : 1);
    }

    // A member nobody resolves gets no row, and the later rows keep their own people.
    void unresolvedMemberDoesNotShiftLaterRows() {
        Board b;
        b.setCalendar(QStringLiteral("carol"), QStringLiteral("audit-1st.ics"));
        const GroupMember gone{QStringLiteral("Dave Dunn"), b.id(QStringLiteral("dave"))};
        write_group_index({QStringLiteral("Team")});
        write_members(0,
                      {b.member(QStringLiteral("alice")), gone, b.member(QStringLiteral("carol")),
                       GroupMember{QStringLiteral("Junk"), QStringLiteral("XXXX")}});
        // Dave leaves the address book after he was added to the group.
        b.store.removePerson(QStringLiteral("dave"));
        b.load();
        QCOMPARE(b.names(),
                 QStringList({QStringLiteral("Alice Archer"), QStringLiteral("Carol Clark")}));
        QCOMPARE(b.color(2, 1), kMore);
        QCOMPARE(b.form->get_user_x(2), b.id(QStringLiteral("carol")));
    }

    // Members past record 32,767 keep their own rows and calendars: record numbers are not cut
    // to 16 bits on the way to the row.
    void membersPastA16BitRecordKeepTheirRows() {
        Board b;
        b.setCalendar(QStringLiteral("bob"), QStringLiteral("audit-1st.ics"));
        write_group_index({QStringLiteral("Team")});
        // Records of zero bytes (nobody the service knows) but alice at 32,768 and bob at 40,000.
        QFile file(memberFileName(0));
        QVERIFY(file.open(QIODevice::WriteOnly));
        for (const auto& [at, member] :
             {std::pair{32768, b.member(QStringLiteral("alice"))},
              std::pair{40000, b.member(QStringLiteral("bob"))},
              std::pair{40001, GroupMember{QStringLiteral("XXX"), QStringLiteral("XXX")}}}) {
            QVERIFY(file.seek(qint64(at - 1) * 1932));
            file.write(memberRecord(member.name.toLatin1(), member.id.toLatin1()));
        }
        file.close();
        b.load();
        QCOMPARE(b.names(),
                 QStringList({QStringLiteral("Alice Archer"), QStringLiteral("Bob Baker")}));
        QCOMPARE(b.color(2, 1), kMore);
        QCOMPARE(b.form->get_user_x(2), b.id(QStringLiteral("bob")));
        b.click(2, 0); // the row refresh reads the record again
        QCOMPARE(b.color(2, 1), kMore);
    }
};

QTEST_MAIN(BoardBuildTest)
#include "board_build_test.moc"
