#include "groups/frmgroup.h"
#include "groups/group_files.h"
#include "support/address_book_namespace.h"
#include "support/file_size_limit.h"
#include "support/memory_settings.h"
#include "support/scripted_prompts.h"
#include "support/temp_workdir.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <csignal>
#include <sys/resource.h>

using rv::test::FileSizeLimit;

using rv::GroupMember;
using rv::test::AddressBookNamespace;
using Icon = rv::Prompts::Icon;

namespace {

QByteArray fileBytes(const QString& name) {
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return file.readAll();
}

QByteArray indexRecord(const QByteArray& name, char no) {
    return name + QByteArray(50 - name.size(), ' ') + QByteArray(1, no) + QByteArray(1, '\0');
}
QByteArray indexEnd() {
    return QByteArray("XXX") + QByteArray(47, ' ') + QByteArray("\x0F\x27");
}

QByteArray memberRecord(const QByteArray& name, const QByteArray& id) {
    return QByteArray(2, '\0') + name + QByteArray(200 - name.size(), ' ') + id +
           QByteArray(200 - id.size(), ' ') + QByteArray(1530, '\0');
}

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

QByteArray id(const char* user) {
    return AddressBookNamespace::entryIdOf(user).toLatin1();
}

} // namespace

class FrmgroupTest : public QObject {
    Q_OBJECT
private slots:
    void windowHasItsControls() {
        Desk desk;
        auto editor = desk.open();
        QCOMPARE(editor->windowTitle(), QStringLiteral("Groups"));
        QCOMPARE(editor->size(), QSize(559, 213));
        QCOMPARE(editor->grplist1->geometry(), QRect(166, 33, 135, 134));
        QCOMPARE(editor->Command3->toolTip(), QStringLiteral("You must first select a group"));
        QCOMPARE(editor->Label1->font().family(), QStringLiteral("Arial"));
        QCOMPARE(editor->Label1->font().pointSizeF(), 15.75);
        // "Selected Group" whole, ending beside the field it names.
        QVERIFY(editor->Label3->width() >= editor->Label3->sizeHint().width());
        QVERIFY(editor->Label3->geometry().right() < editor->Text1->x());
        QVERIFY(!editor->usersid->isVisible());
        QVERIFY(editor->Text1->isReadOnly());
        QCOMPARE(editor->pending_group, std::int16_t(-1));
    }

    void addingAGroupToAnEmptyListSelectsNothing() {
        Desk desk;
        desk.board.setText(QStringLiteral("Old"));
        auto editor = desk.open();
        QCOMPARE(editor->Text1->text(), QStringLiteral("Old"));
        desk.prompts.inputAnswers = {QStringLiteral("Sales")};
        editor->Command1_Click();

        QCOMPARE(desk.prompts.shown.size(), std::size_t(1));
        QCOMPARE(desk.prompts.shown[0].text, QStringLiteral("Please Enter a Unique Group name"));
        QCOMPARE(desk.prompts.shown[0].title, QStringLiteral("Add Group"));
        QCOMPARE(desk.prompts.shown[0].defaultText, QString());
        QCOMPARE(fileBytes("Rotalist.dat"), indexRecord("Sales", 0) + indexEnd());
        QCOMPARE(selectedRow(editor->grplist1), -1);
        QCOMPARE(editor->Text1->text(), QString());
        QCOMPARE(desk.board.text(), QStringLiteral("Old"));
        QCOMPARE(desk.defaultGroup(), QStringLiteral("<unset>"));

        // The same name again and an empty name typed and confirmed are groups too.
        desk.prompts.inputAnswers = {QStringLiteral("Sales"), QString()};
        editor->Command1_Click();
        editor->Command1_Click();
        QCOMPARE(rv::read_group_index(), QStringList({"Sales", "Sales", ""}));
        QCOMPARE(listTexts(editor->grplist1), QStringList({"Sales", "Sales", ""}));
    }

    void memberAddedToAThenBClickedAsksToSaveA() {
        for (const bool yes : {true, false}) {
            Desk desk;
            rv::write_group_index({"A", "B"});
            rv::write_members(1, {{"Bob Baker", AddressBookNamespace::entryIdOf("bob")}});
            const QByteArray index = fileBytes("Rotalist.dat");
            const QByteArray grp1 = fileBytes("GRP1.DAT");
            auto editor = desk.open();

            editor->grplist1->setCurrentRow(0);
            QCOMPARE(editor->Text1->text(), QStringLiteral("A"));
            QVERIFY(editor->members().isEmpty());
            desk.prompts.inputAnswers = {QStringLiteral("alice")};
            editor->Command3_Click();
            QCOMPARE(desk.prompts.shown.back().text, QStringLiteral("User Name"));
            QCOMPARE(desk.prompts.shown.back().title, QStringLiteral("Add User Dialog"));
            QCOMPARE(desk.prompts.shown.back().defaultText, QStringLiteral("BOB"));
            QCOMPARE(listTexts(editor->userslst1), QStringList({"Alice Archer"}));
            QCOMPARE(listTexts(editor->usersid),
                     QStringList({AddressBookNamespace::entryIdOf("alice")}));
            QCOMPARE(editor->pending_group, std::int16_t(0));
            QVERIFY(!rv::memberFileExists(0)); // nothing written before the question

            desk.prompts.questionAnswers = {yes};
            editor->grplist1->setCurrentRow(1);
            QCOMPARE(desk.prompts.count("question"), 1);
            QCOMPARE(desk.prompts.shown.back().text, QStringLiteral("Save Changes ?"));
            QCOMPARE(desk.prompts.shown.back().title, QStringLiteral("Save Changes"));
            if (yes)
                QCOMPARE(fileBytes("GRP0.DAT"),
                         memberRecord("Alice Archer", id("alice")) + memberRecord("XXX", "XXX"));
            else
                QVERIFY(!rv::memberFileExists(0));
            QCOMPARE(fileBytes("GRP1.DAT"), grp1);
            QCOMPARE(fileBytes("Rotalist.dat"), index);
            QCOMPARE(listTexts(editor->userslst1), QStringList({"Bob Baker"}));
            QCOMPARE(editor->Text1->text(), QStringLiteral("B"));
            QCOMPARE(editor->pending_group, std::int16_t(-1));

            // Back to A: what was saved, or nothing.
            editor->grplist1->setCurrentRow(0);
            QCOMPARE(editor->members().size(), yes ? 1 : 0);
            QCOMPARE(desk.prompts.count("question"), 1);
        }
    }

    void membersFromTheServiceAreStoredAsItNamesThem() {
        Desk desk;
        rv::write_group_index({"A"});
        auto editor = desk.open();
        editor->grplist1->setCurrentRow(0);
        // "BOB" is exactly one user name although two display names start with it.
        desk.prompts.inputAnswers = {QStringLiteral("BOB"), QStringLiteral("lucja@example.org"),
                                     QStringLiteral("Alice Archer")};
        editor->Command3_Click();
        editor->Command3_Click();
        editor->Command3_Click();
        QCOMPARE(desk.book.lookedUp, QStringList({"BOB", "lucja@example.org", "Alice Archer"}));
        desk.prompts.questionAnswers = {true};
        editor->Command6_Click();
        // A character the code page lacks is stored as "?"; the service's identifier unchanged.
        QCOMPARE(rv::read_members(0),
                 QList<GroupMember>({{"Bob Baker", AddressBookNamespace::entryIdOf("bob")},
                                     {"?ucja Nowak", AddressBookNamespace::entryIdOf("lucja")},
                                     {"Alice Archer", AddressBookNamespace::entryIdOf("alice")}}));
    }

    // A name that resolves to nobody, or to several people, adds nothing and says why.
    void unresolvedNamesAddNothingAndSaySo() {
        Desk desk;
        rv::write_group_index({"A"});
        auto editor = desk.open();
        editor->grplist1->setCurrentRow(0);
        desk.prompts.inputAnswers = {QStringLiteral("nobody"), QStringLiteral("bo"), std::nullopt};
        editor->Command3_Click(); // no match
        editor->Command3_Click(); // several matches
        editor->Command3_Click(); // cancelled: not even looked up
        QCOMPARE(desk.book.lookedUp, QStringList({"nobody", "bo"}));
        QVERIFY(editor->members().isEmpty());
        QCOMPARE(editor->userslst1->count(), 0);
        QCOMPARE(editor->pending_group, std::int16_t(-1));
        QCOMPARE(desk.prompts.count("message"), 2);
        for (const QString name : {"nobody", "bo"}) {
            const auto& told = desk.prompts.shown[name == QLatin1String("bo") ? 3 : 1];
            QCOMPARE(told.kind, QStringLiteral("message"));
            QVERIFY2(told.text.contains(QLatin1Char('"') + name + QLatin1Char('"')),
                     qPrintable(told.text));
            QVERIFY(told.text.startsWith(QStringLiteral("Nobody was added")));
            QCOMPARE(told.title, QStringLiteral("Add User Dialog"));
        }
    }

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

        // With a member selected the pair leaves both lists.
        editor->userslst1->setCurrentRow(0);
        editor->Command4_Click();
        QCOMPARE(listTexts(editor->userslst1), QStringList({"Bo"}));
        QCOMPARE(listTexts(editor->usersid), QStringList({"b"}));
        QCOMPARE(editor->pending_group, std::int16_t(0));
        QCOMPARE(rv::read_members(0).size(), 2); // not saved until the question
    }

    void removingTheSelectedGroupSavesFirstThenRenumbers() {
        Desk desk;
        desk.board.setText(QStringLiteral("B"));
        desk.settings.SaveSetting(QStringLiteral("Settings"), QStringLiteral("DefaultGrp"),
                                  QStringLiteral("B"));
        rv::write_group_index({"A", "B", "C", "D"});
        for (int n = 0; n <= 3; ++n)
            rv::write_members(n, {{QStringLiteral("m%1").arg(n), QStringLiteral("i%1").arg(n)}});
        const QByteArray grp0 = fileBytes("GRP0.DAT");
        const QByteArray grp2 = fileBytes("GRP2.DAT");
        const QByteArray grp3 = fileBytes("GRP3.DAT");
        auto editor = desk.open();

        editor->grplist1->setCurrentRow(1);
        desk.prompts.inputAnswers = {QStringLiteral("alice")};
        editor->Command3_Click();
        desk.prompts.questionAnswers = {true};
        editor->Command2_Click();

        QCOMPARE(desk.prompts.count("question"), 1); // no confirmation besides the save question
        QCOMPARE(fileBytes("Rotalist.dat"), indexRecord("A", 0) + indexRecord("C", 1) +
                                                indexRecord("D", 2) + indexEnd() + indexEnd());
        QCOMPARE(QDir::current().entryList(QDir::Files, QDir::Name),
                 QStringList({"GRP0.DAT", "GRP1.DAT", "GRP2.DAT", "Rotalist.dat"}));
        QCOMPARE(fileBytes("GRP0.DAT"), grp0);
        QCOMPARE(fileBytes("GRP1.DAT"), grp2);
        QCOMPARE(fileBytes("GRP2.DAT"), grp3);
        QCOMPARE(listTexts(editor->grplist1), QStringList({"A", "C", "D"}));
        QCOMPARE(selectedRow(editor->grplist1), -1);
        QCOMPARE(editor->userslst1->count(), 0);
        QCOMPARE(editor->pending_group, std::int16_t(-1));
        // Nothing is selected afterwards: the board keeps the removed group's name.
        QCOMPARE(desk.board.text(), QStringLiteral("B"));
        QCOMPARE(desk.defaultGroup(), QStringLiteral("B"));
    }

    void closingAsksOnceAndMakesTheSelectedGroupTheBoardsGroup() {
        Desk desk;
        desk.board.setText(QStringLiteral("A"));
        rv::write_group_index({"A", "B"});
        auto editor = desk.open();
        editor->grplist1->setCurrentRow(1);
        desk.prompts.inputAnswers = {QStringLiteral("alice"), QStringLiteral("bob")};
        editor->Command3_Click();
        editor->Command3_Click();
        desk.prompts.questionAnswers = {true};
        editor->Command6_Click();

        QVERIFY(!editor->isVisible());
        QCOMPARE(desk.prompts.count("question"), 1);
        QCOMPARE(fileBytes("GRP1.DAT"), memberRecord("Alice Archer", id("alice")) +
                                            memberRecord("Bob Baker", id("bob")) +
                                            memberRecord("XXX", "XXX"));
        QVERIFY(!rv::memberFileExists(0));
        QCOMPARE(fileBytes("Rotalist.dat"), indexRecord("A", 0) + indexRecord("B", 1) + indexEnd());
        QCOMPARE(desk.board.text(), QStringLiteral("B"));
        QCOMPARE(desk.defaultGroup(), QStringLiteral("B"));

        // Opened again, the editor loads afresh.
        auto again = desk.open();
        QCOMPARE(again->Text1->text(), QStringLiteral("B"));
        QCOMPARE(listTexts(again->grplist1), QStringList({"A", "B"}));
        QCOMPARE(selectedRow(again->grplist1), -1);
        QVERIFY(again->members().isEmpty());
    }

    void endingTheProgramSavesNothing() {
        Desk desk;
        rv::write_group_index({"A"});
        const QByteArray index = fileBytes("Rotalist.dat");
        auto editor = desk.open();
        editor->grplist1->setCurrentRow(0);
        desk.prompts.inputAnswers = {QStringLiteral("alice")};
        editor->Command3_Click();
        editor->unloadWithoutSaving();
        QVERIFY(!editor->isVisible());
        QCOMPARE(desk.prompts.count("question"), 0);
        QVERIFY(!rv::memberFileExists(0));
        QCOMPARE(fileBytes("Rotalist.dat"), index);
        QCOMPARE(desk.board.text(), QString());
    }

    void theIndexIsReadWithoutABoardGroup() {
        Desk desk;
        rv::write_group_index({"Sales", "Support"});
        rv::write_members(0, {{"Ann", "a"}});
        auto editor = desk.open();
        QCOMPARE(listTexts(editor->grplist1), QStringList({"Sales", "Support"}));
        desk.prompts.inputAnswers = {QStringLiteral("Service")};
        editor->Command1_Click();
        QCOMPARE(rv::read_group_index(), QStringList({"Sales", "Support", "Service"}));
        QCOMPARE(rv::read_members(0), QList<GroupMember>({{"Ann", "a"}}));
    }

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

        // Fifty characters fit; blanks around a name are not kept, as the files would not keep
        // them, so that the board finds the name the editor shows.
        desk.prompts.inputAnswers = {fifty, QStringLiteral("  Caf\u00e9 \u20ac ")};
        editor->Command1_Click();
        editor->Command1_Click();
        QCOMPARE(listTexts(editor->grplist1), QStringList({"A", fifty, "Caf\u00e9 \u20ac"}));
        QCOMPARE(rv::read_group_index(), listTexts(editor->grplist1));
        QCOMPARE(rv::find_group_number(QStringLiteral("Caf\u00e9 \u20ac")), QList<int>({2}));
    }

    void aCalendarServiceFailureIsShownAndChangesNothing() {
        Desk desk;
        rv::write_group_index({"A"});
        rv::write_members(0, {{"Ann", "a"}});
        auto editor = desk.open();
        editor->grplist1->setCurrentRow(0);
        desk.book.failure =
            rv::CalendarError(rv::calendar_error::NotConnected,
                              QStringLiteral("The calendar service is not running."));
        desk.prompts.inputAnswers = {QStringLiteral("alice")};
        editor->Command3_Click();
        QCOMPARE(desk.prompts.count("message"), 1);
        QVERIFY(desk.prompts.messageTexts()[0].contains(QStringLiteral("not running")));
        QCOMPARE(editor->members(), QList<GroupMember>({{"Ann", "a"}}));
        QCOMPARE(listTexts(editor->userslst1), QStringList({"Ann"}));
        QCOMPARE(editor->pending_group, std::int16_t(-1));
        QCOMPARE(selectedRow(editor->grplist1), 0);
        QCOMPARE(rv::read_members(0), QList<GroupMember>({{"Ann", "a"}}));
    }

    void aFailedSaveIsShownAndTheListsStay() {
        Desk desk;
        rv::write_group_index({"A", "B"});
        const QByteArray index = fileBytes("Rotalist.dat");
        auto editor = desk.open();
        editor->grplist1->setCurrentRow(0);
        desk.prompts.inputAnswers = {QStringLiteral("alice")};
        editor->Command3_Click();
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

        // The same save once the way is clear.
        QVERIFY(QDir(QStringLiteral("GRP0.DAT")).removeRecursively());
        desk.prompts.questionAnswers = {true};
        editor->grplist1->setCurrentRow(1);
        QCOMPARE(desk.prompts.count("message"), 1);
        QCOMPARE(rv::read_members(0),
                 QList<GroupMember>({{"Alice Archer", AddressBookNamespace::entryIdOf("alice")}}));
        QCOMPARE(editor->Text1->text(), QStringLiteral("B"));

        // A full disk while adding a group: the index and the list stay as they were.
        {
            FileSizeLimit limit(120);
            desk.prompts.inputAnswers = {QStringLiteral("C")};
            editor->Command1_Click();
        }
        QCOMPARE(desk.prompts.count("message"), 2);
        QVERIFY(desk.prompts.messageTexts()[1].contains(QStringLiteral("Rotalist.dat")));
        QCOMPARE(fileBytes("Rotalist.dat"), index);
        QCOMPARE(listTexts(editor->grplist1), QStringList({"A", "B"}));
        QCOMPARE(selectedRow(editor->grplist1), 1);
        QCOMPARE(desk.board.text(), QString());

        // Removing a group whose index cannot be written keeps the group and the member files.
        {
            FileSizeLimit limit(50);
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
