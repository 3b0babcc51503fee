#include "groups/frmgroup.h"
#include "groups/group_files.h"
#include "support/address_book_namespace.h"
#include "support/file_size_limit.h"
#include "support/group_records.h"
#include "support/memory_settings.h"
#include "support/scripted_prompts.h"
#include "support/temp_workdir.h"

#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

using rv::GroupMember;
using rv::test::AddressBookNamespace;
using rv::test::fileBytes;
using rv::test::indexEnd;
using rv::test::indexRecord;
using rv::test::memberEnd;
using rv::test::memberRecord;
using Icon = rv::Prompts::Icon;

namespace {

// One working directory, the board's group name field, the settings, the boxes and the address
// book an editor opens over.
struct Desk {
    Desk() {
        book.people = {{"alice", "Alice Archer", "alice@example.org"},
                       {"bob", "Bob Baker", "bob@example.org"},
                       {"bobby", "Bobby Tables", "bobby@example.org"},
                       {"lucja", QStringLiteral("\u0141ucja Nowak"), "lucja@example.org"}};
    }
    std::unique_ptr<rv::frmgroup> open() {
        auto editor = std::make_unique<rv::frmgroup>(book, board, settings, prompts);
        editor->show();
        return editor;
    }
    // Types each name into "Add User".
    void addUsers(rv::frmgroup& editor, const QStringList& names) {
        for (const QString& name : names) {
            prompts.inputAnswers.push_back(name);
            editor.Command3_Click();
        }
    }
    QString defaultGroup() const {
        return settings.values.value({QStringLiteral("Settings"), QStringLiteral("DefaultGrp")},
                                     QStringLiteral("<unset>"));
    }

    rv::test::TempWorkdir dir;
    QLineEdit board;
    rv::test::MemorySettings settings;
    rv::test::ScriptedPrompts prompts;
    AddressBookNamespace book;
};

// The last box shown: its title, text and default answer.
QStringList lastBox(const rv::test::ScriptedPrompts& prompts) {
    const auto& box = prompts.shown.back();
    return {box.title, box.text, box.defaultText};
}

QStringList listTexts(const QListWidget* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

int selectedRow(const QListWidget* list) {
    const auto items = list->selectedItems();
    return items.isEmpty() ? -1 : list->row(items.first());
}

QString idOf(const char* user) {
    return AddressBookNamespace::entryIdOf(QString::fromLatin1(user));
}

QByteArray memberOf(const char* name, const char* user) {
    return memberRecord(name, idOf(user).toLatin1());
}

} // namespace

class FrmgroupTest : public QObject {
    Q_OBJECT
private slots:
    // The window and its controls stand where the window definition puts them (in twips, 15 to
    // a pixel), with its texts, and "Selected Group" whole beside the field it names.
    void windowHasItsControls() {
        Desk desk;
        auto e = desk.open();
        const std::pair<QWidget*, QRect> twips[] = {
            {e->Label1, {2565, 45, 1725, 390}},    {e->grplist1, {2490, 495, 2025, 2010}},
            {e->Label2, {5295, 30, 1725, 390}},    {e->userslst1, {4800, 510, 3105, 2010}},
            {e->Frame1, {180, 240, 2175, 855}},    {e->Command1, {120, 180, 1965, 255}},
            {e->Command2, {120, 480, 1965, 255}},  {e->Frame2, {180, 1200, 2175, 855}},
            {e->Command3, {120, 180, 1935, 255}},  {e->Command4, {120, 480, 1935, 255}},
            {e->Command6, {240, 2220, 1275, 435}}, {e->Text1, {2520, 2700, 2295, 285}}};
        QCOMPARE(e->size(), QSize(8385 / 15, 3195 / 15));
        for (const auto& [control, t] : twips)
            QCOMPARE(control->geometry(),
                     QRect(t.x() / 15, t.y() / 15, t.width() / 15, t.height() / 15));
        QVERIFY(e->Label3->width() >= e->Label3->sizeHint().width());
        QVERIFY(e->Label3->geometry().right() < e->Text1->x());
        QCOMPARE(e->windowTitle(), QStringLiteral("Groups"));
        QCOMPARE(e->Command3->toolTip(), QStringLiteral("You must first select a group"));
        QCOMPARE(e->Label1->font().family(), QStringLiteral("Arial"));
        QCOMPARE(e->Label1->font().pointSizeF(), 15.75);
        QVERIFY(!e->usersid->isVisible());
        QVERIFY(e->Text1->isReadOnly());
        QCOMPARE(e->pending_group, std::int16_t(-1));
    }

    // "Add a Group" appends the name typed (even one already there, or an empty one), saves the
    // index at once and leaves nothing selected.
    void addingAGroupSavesTheIndexAndSelectsNothing() {
        Desk desk;
        desk.board.setText(QStringLiteral("Old"));
        auto editor = desk.open();
        QCOMPARE(editor->Text1->text(), QStringLiteral("Old"));
        desk.prompts.inputAnswers = {QStringLiteral("Sales")};
        editor->Command1_Click();
        QCOMPARE(desk.prompts.shown.size(), std::size_t(1));
        QCOMPARE(lastBox(desk.prompts),
                 QStringList({"Add Group", "Please Enter a Unique Group name", ""}));
        QCOMPARE(fileBytes("Rotalist.dat"), indexRecord("Sales", 0) + indexEnd());
        QCOMPARE(selectedRow(editor->grplist1), -1);
        QCOMPARE(editor->Text1->text(), QString());
        QCOMPARE(desk.board.text(), QStringLiteral("Old"));
        QCOMPARE(desk.defaultGroup(), QStringLiteral("<unset>"));

        desk.prompts.inputAnswers = {QStringLiteral("Sales"), QString()};
        editor->Command1_Click();
        editor->Command1_Click();
        QCOMPARE(rv::read_group_index(), QStringList({"Sales", "Sales", ""}));
        QCOMPARE(listTexts(editor->grplist1), QStringList({"Sales", "Sales", ""}));
    }

    // Members added to one group are saved, or not, as the user answers when another group is
    // clicked; nothing is written before the question.
    void changedMembersAreSavedAsAnsweredOnTheNextClick_data() {
        QTest::addColumn<bool>("yes");
        QTest::newRow("save") << true;
        QTest::newRow("do not save") << false;
    }
    void changedMembersAreSavedAsAnsweredOnTheNextClick() {
        QFETCH(bool, yes);
        Desk desk;
        rv::write_group_index({"A", "B"});
        rv::write_members(1, {{"Bob Baker", idOf("bob")}});
        const QByteArray index = fileBytes("Rotalist.dat");
        const QByteArray grp1 = fileBytes("GRP1.DAT");
        auto editor = desk.open();

        editor->grplist1->setCurrentRow(0);
        QCOMPARE(editor->Text1->text(), QStringLiteral("A"));
        desk.addUsers(*editor, {"alice"});
        QCOMPARE(lastBox(desk.prompts), QStringList({"Add User Dialog", "User Name", "BOB"}));
        QCOMPARE(listTexts(editor->userslst1), QStringList({"Alice Archer"}));
        QCOMPARE(listTexts(editor->usersid), QStringList({idOf("alice")}));
        QCOMPARE(editor->pending_group, std::int16_t(0));
        QVERIFY(!rv::memberFileExists(0));

        desk.prompts.questionAnswers = {yes};
        editor->grplist1->setCurrentRow(1);
        QCOMPARE(desk.prompts.count("question"), 1);
        QCOMPARE(lastBox(desk.prompts), QStringList({"Save Changes", "Save Changes ?", ""}));
        QCOMPARE(fileBytes("GRP0.DAT"),
                 yes ? memberOf("Alice Archer", "alice") + memberEnd() : QByteArray("<missing>"));
        QCOMPARE(fileBytes("GRP1.DAT"), grp1);
        QCOMPARE(fileBytes("Rotalist.dat"), index);
        QCOMPARE(listTexts(editor->userslst1), QStringList({"Bob Baker"}));
        QCOMPARE(editor->Text1->text(), QStringLiteral("B"));
        QCOMPARE(editor->pending_group, std::int16_t(-1));

        editor->grplist1->setCurrentRow(0);
        QCOMPARE(editor->members().size(), yes ? 1 : 0);
        QCOMPARE(desk.prompts.count("question"), 1);
    }

    // A member is stored under the name and identifier the calendar service gives, the name in
    // the file's code page ("?" for what it lacks).
    void membersFromTheServiceAreStoredAsItNamesThem() {
        Desk desk;
        rv::write_group_index({"A"});
        auto editor = desk.open();
        editor->grplist1->setCurrentRow(0);
        // "BOB" is exactly one user name although two display names start with it.
        desk.addUsers(*editor, {"BOB", "lucja@example.org", "Alice Archer"});
        desk.prompts.questionAnswers = {true};
        editor->Command6_Click();
        QCOMPARE(rv::read_members(0), QList<GroupMember>({{"Bob Baker", idOf("bob")},
                                                          {"?ucja Nowak", idOf("lucja")},
                                                          {"Alice Archer", idOf("alice")}}));
    }

    // A name that resolves to nobody, or to several people, adds nothing and says why; a
    // cancelled name is not even looked up.
    void unresolvedNamesAddNothingAndSaySo() {
        Desk desk;
        rv::write_group_index({"A"});
        auto editor = desk.open();
        editor->grplist1->setCurrentRow(0);
        desk.prompts.inputAnswers = {QStringLiteral("nobody"), QStringLiteral("bo"), std::nullopt};
        for (int i = 0; i < 3; ++i)
            editor->Command3_Click();
        QCOMPARE(desk.book.lookedUp, QStringList({"nobody", "bo"}));
        QVERIFY(editor->members().isEmpty());
        QCOMPARE(editor->userslst1->count(), 0);
        QCOMPARE(editor->pending_group, std::int16_t(-1));
        const QStringList told = desk.prompts.messageTexts();
        QCOMPARE(told.size(), 2);
        for (int i = 0; i < 2; ++i) {
            QVERIFY2(told[i].startsWith(QStringLiteral("Nobody was added")), qPrintable(told[i]));
            QVERIFY(
                told[i].contains(i == 0 ? QStringLiteral("\"nobody\"") : QStringLiteral("\"bo\"")));
        }
        QCOMPARE(desk.prompts.shown[1].title, QStringLiteral("Add User Dialog"));
    }

    // Removing a group, adding a member or removing one without a selection says so and changes
    // nothing; a selected member leaves both lists, unsaved until the question.
    void theThreeNoSelectionMessages() {
        Desk desk;
        rv::write_group_index({"A", "B"});
        rv::write_members(0, {{"Ann", "a"}, {"Bo", "b"}});
        const QByteArray index = fileBytes("Rotalist.dat");
        auto editor = desk.open();

        editor->Command2_Click();
        editor->Command3_Click();
        editor->grplist1->setCurrentRow(0);
        editor->Command4_Click();
        QCOMPARE(desk.prompts.messageTexts(),
                 QStringList({"Please Select a Group to delete", "Please Select a Group",
                              "Please Select a User to Delete"}));
        for (const auto& shown : desk.prompts.shown) {
            QCOMPARE(shown.title, QStringLiteral("No Selection"));
            QCOMPARE(shown.icon, Icon::Exclamation);
        }
        QCOMPARE(listTexts(editor->grplist1), QStringList({"A", "B"}));
        QCOMPARE(listTexts(editor->userslst1), QStringList({"Ann", "Bo"}));
        QCOMPARE(editor->pending_group, std::int16_t(-1));
        QCOMPARE(fileBytes("Rotalist.dat"), index);

        editor->userslst1->setCurrentRow(0);
        editor->Command4_Click();
        QCOMPARE(listTexts(editor->userslst1), QStringList({"Bo"}));
        QCOMPARE(listTexts(editor->usersid), QStringList({"b"}));
        QCOMPARE(editor->pending_group, std::int16_t(0));
        QCOMPARE(rv::read_members(0).size(), 2);
    }

    // Removing the selected group asks to save its pending members first, then renumbers the later
    // member files; the board keeps the removed group's name.
    void removingTheSelectedGroupSavesFirstThenRenumbers() {
        Desk desk;
        desk.board.setText(QStringLiteral("B"));
        desk.settings.SaveSetting(QStringLiteral("Settings"), QStringLiteral("DefaultGrp"),
                                  QStringLiteral("B"));
        rv::write_group_index({"A", "B", "C", "D"});
        for (int n = 0; n <= 3; ++n)
            rv::write_members(n, {{QStringLiteral("m%1").arg(n), QStringLiteral("i%1").arg(n)}});
        auto editor = desk.open();

        editor->grplist1->setCurrentRow(1);
        desk.addUsers(*editor, {"alice"});
        desk.prompts.questionAnswers = {true};
        editor->Command2_Click();

        QCOMPARE(desk.prompts.count("question"), 1); // no confirmation besides the save question
        QCOMPARE(rv::read_group_index(), QStringList({"A", "C", "D"}));
        // Group B's pending member was saved before its file went: GRP1.DAT is now C's.
        for (int n : {0, 1, 2})
            QCOMPARE(rv::read_members(n).value(0).name, QStringLiteral("m%1").arg(n ? n + 1 : 0));
        QCOMPARE(listTexts(editor->grplist1), QStringList({"A", "C", "D"}));
        QCOMPARE(selectedRow(editor->grplist1), -1);
        QCOMPARE(editor->userslst1->count(), 0);
        QCOMPARE(editor->pending_group, std::int16_t(-1));
        QCOMPARE(desk.board.text(), QStringLiteral("B"));
        QCOMPARE(desk.defaultGroup(), QStringLiteral("B"));
    }

    // Closing asks once, saves, and makes the selected group the board's group and the default;
    // reopened, the editor loads afresh. Ending the program instead saves nothing.
    void closingAsksOnceAndMakesTheSelectedGroupTheBoardsGroup() {
        Desk desk;
        desk.board.setText(QStringLiteral("A"));
        rv::write_group_index({"A", "B"});
        auto editor = desk.open();
        editor->grplist1->setCurrentRow(1);
        desk.addUsers(*editor, {"alice", "bob"});
        desk.prompts.questionAnswers = {true};
        editor->Command6_Click();

        QVERIFY(!editor->isVisible());
        QCOMPARE(desk.prompts.count("question"), 1);
        QCOMPARE(fileBytes("GRP1.DAT"),
                 memberOf("Alice Archer", "alice") + memberOf("Bob Baker", "bob") + memberEnd());
        QVERIFY(!rv::memberFileExists(0));
        QCOMPARE(fileBytes("Rotalist.dat"), indexRecord("A", 0) + indexRecord("B", 1) + indexEnd());
        QCOMPARE(desk.board.text(), QStringLiteral("B"));
        QCOMPARE(desk.defaultGroup(), QStringLiteral("B"));

        auto again = desk.open();
        QCOMPARE(again->Text1->text(), QStringLiteral("B"));
        QCOMPARE(listTexts(again->grplist1), QStringList({"A", "B"}));
        QCOMPARE(selectedRow(again->grplist1), -1);
        QVERIFY(again->members().isEmpty());
        again->grplist1->setCurrentRow(0);
        desk.addUsers(*again, {"alice"});
        again->unloadWithoutSaving();
        QVERIFY(!again->isVisible());
        QCOMPARE(desk.prompts.count("question"), 1);
        QVERIFY(!rv::memberFileExists(0));
        QCOMPARE(desk.board.text(), QStringLiteral("B"));
    }

    // The index is read even when the board has no group; a cancelled name adds nothing; one the
    // files cannot store (too long, outside the code page, the end marker) is refused with the
    // reason; blanks around a name are not kept.
    void cancelledAndUnstorableGroupNamesAddNothing() {
        Desk desk;
        rv::write_group_index({"A"});
        const QByteArray index = fileBytes("Rotalist.dat");
        auto editor = desk.open();
        const QString fifty = QStringLiteral("n").repeated(50);
        desk.prompts.inputAnswers = {std::nullopt, fifty + QStringLiteral("x"),
                                     QStringLiteral("Team \u6771\u4eac"), QStringLiteral(" XXX ")};
        for (int i = 0; i < 4; ++i)
            editor->Command1_Click();
        QCOMPARE(fileBytes("Rotalist.dat"), index);
        QCOMPARE(listTexts(editor->grplist1), QStringList({"A"}));
        const QStringList messages = desk.prompts.messageTexts();
        QCOMPARE(messages.size(), 3);
        QVERIFY2(messages[0].contains(QStringLiteral("at most 50 characters")),
                 qPrintable(messages[0]));
        QVERIFY2(messages[1].contains(QStringLiteral("\u6771")), qPrintable(messages[1]));
        QVERIFY2(messages[2].contains(QStringLiteral("XXX")), qPrintable(messages[2]));

        desk.prompts.inputAnswers = {fifty, QStringLiteral("  Caf\u00e9 \u20ac ")};
        editor->Command1_Click();
        editor->Command1_Click();
        QCOMPARE(listTexts(editor->grplist1), QStringList({"A", fifty, "Caf\u00e9 \u20ac"}));
        QCOMPARE(rv::read_group_index(), listTexts(editor->grplist1));
        QCOMPARE(rv::find_group_number(QStringLiteral("Caf\u00e9 \u20ac")), QList<int>({2}));
    }

    // A calendar service failure while adding a member is shown and changes nothing.
    void aCalendarServiceFailureIsShownAndChangesNothing() {
        Desk desk;
        rv::write_group_index({"A"});
        rv::write_members(0, {{"Ann", "a"}});
        auto editor = desk.open();
        editor->grplist1->setCurrentRow(0);
        desk.book.failure =
            rv::CalendarError(rv::calendar_error::NotConnected,
                              QStringLiteral("The calendar service is not running."));
        desk.addUsers(*editor, {"alice"});
        QCOMPARE(desk.prompts.messageTexts().size(), 1);
        QVERIFY(desk.prompts.messageTexts()[0].contains(QStringLiteral("not running")));
        QCOMPARE(editor->members(), QList<GroupMember>({{"Ann", "a"}}));
        QCOMPARE(listTexts(editor->userslst1), QStringList({"Ann"}));
        QCOMPARE(editor->pending_group, std::int16_t(-1));
        QCOMPARE(selectedRow(editor->grplist1), 0);
    }

    // A save that fails is shown, and the lists, the selection and the files stay as they were,
    // so that the same step can be taken again.
    void aFailedSaveIsShownAndTheListsStay() {
        Desk desk;
        rv::write_group_index({"A", "B"});
        const QByteArray index = fileBytes("Rotalist.dat");
        auto editor = desk.open();
        editor->grplist1->setCurrentRow(0);
        desk.addUsers(*editor, {"alice"});
        // A folder where group A's member file would go: its save cannot complete.
        QVERIFY(QDir().mkpath(QStringLiteral("GRP0.DAT/inside")));

        desk.prompts.questionAnswers = {true};
        editor->grplist1->setCurrentRow(1);
        QCOMPARE(desk.prompts.count("message"), 1);
        QVERIFY(desk.prompts.messageTexts()[0].contains(QStringLiteral("GRP0.DAT")));
        QCOMPARE(selectedRow(editor->grplist1), 0);
        QCOMPARE(editor->Text1->text(), QStringLiteral("A"));
        QCOMPARE(listTexts(editor->userslst1), QStringList({"Alice Archer"}));
        QCOMPARE(editor->pending_group, std::int16_t(0));
        QCOMPARE(fileBytes("Rotalist.dat"), index);

        QVERIFY(QDir(QStringLiteral("GRP0.DAT")).removeRecursively());
        desk.prompts.questionAnswers = {true};
        editor->grplist1->setCurrentRow(1);
        QCOMPARE(desk.prompts.count("message"), 1);
        QCOMPARE(rv::read_members(0), QList<GroupMember>({{"Alice Archer", idOf("alice")}}));
        QCOMPARE(editor->Text1->text(), QStringLiteral("B"));

        {
            // A full disk while adding a group: the index and the list stay as they were.
            rv::test::FileSizeLimit limit(120);
            desk.prompts.inputAnswers = {QStringLiteral("C")};
            editor->Command1_Click();
        }
        QCOMPARE(desk.prompts.count("message"), 2);
        QVERIFY(desk.prompts.messageTexts()[1].contains(QStringLiteral("Rotalist.dat")));
        QCOMPARE(listTexts(editor->grplist1), QStringList({"A", "B"}));
        QCOMPARE(selectedRow(editor->grplist1), 1);
        QCOMPARE(desk.board.text(), QString());
        {
            // Removing a group whose index cannot be written keeps the group and its files.
            rv::test::FileSizeLimit limit(50);
            editor->Command2_Click();
        }
        QCOMPARE(desk.prompts.count("message"), 3);
        QCOMPARE(listTexts(editor->grplist1), QStringList({"A", "B"}));
        QCOMPARE(fileBytes("Rotalist.dat"), index);
        QVERIFY(rv::memberFileExists(0));
    }
};

QTEST_MAIN(FrmgroupTest)
#include "frmgroup_test.moc"
