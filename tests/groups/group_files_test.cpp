#include "calendar/ical/entry_id.h"
#include "groups/group_files.h"
#include "support/file_size_limit.h"
#include "support/group_records.h"
#include "support/temp_workdir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <sys/file.h>

using rv::GroupMember;
using rv::test::fileBytes;
using rv::test::FileSizeLimit;
using rv::test::indexEnd;
using rv::test::indexRecord;
using rv::test::memberEnd;
using rv::test::memberRecord;

namespace {

void putFile(const QString& name, const QByteArray& bytes) {
    QFile file(name);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QStringList workdirEntries() {
    return QDir::current().entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                                     QDir::Name);
}

// Every entry of the working directory with its bytes.
using FolderState = QMap<QString, QByteArray>;
FolderState folderState() {
    FolderState state;
    for (const QString& name : workdirEntries())
        state.insert(name, fileBytes(name));
    return state;
}

// Expects `call` to throw a FileError whose message holds every one of `parts`.
template <class Call> void expectFileError(Call call, const QStringList& parts) {
    try {
        call();
        QFAIL("the save reported success");
    } catch (const rv::FileError& error) {
        for (const QString& part : parts)
            QVERIFY2(error.message().contains(part), qPrintable(error.message()));
    }
}

// Ends a removal between two changes, as the program being killed would.
struct SimulatedCrash {};

// Takes the change hook away however the test ends.
struct ChangeHookGuard {
    ~ChangeHookGuard() { rv::workdir::setChangeHook({}); }
};

// Five groups with member files for all but G3, and a member file left beyond the list.
QStringList fiveGroups() {
    const QStringList groups{"G0", "G1", "G2", "G3", "G4"};
    rv::write_group_index(groups);
    for (const int n : {0, 1, 2, 4, 7})
        rv::write_members(n, {{QStringLiteral("m%1").arg(n), QStringLiteral("i%1").arg(n)}});
    return groups;
}

} // namespace

class GroupFilesTest : public QObject {
    Q_OBJECT
private slots:
    // Both files are fixed-length records ending with the "XXX" marker, byte for byte; a missing
    // file is an empty list.
    void filesAreByteExact() {
        rv::test::TempWorkdir dir;
        QVERIFY(!rv::groupIndexExists());
        QCOMPARE(rv::read_group_index(), QStringList());
        QCOMPARE(rv::read_members(4), QList<GroupMember>());
        QCOMPARE(rv::find_group_number(QStringLiteral("Sales")), QList<int>());
        rv::write_group_index({});
        QCOMPARE(fileBytes("Rotalist.dat"), indexEnd());
        rv::write_members(4, {});
        QCOMPARE(fileBytes("GRP4.DAT"), memberEnd());
        QCOMPARE(rv::read_group_index(), QStringList());
        QCOMPARE(rv::read_members(4), QList<GroupMember>());

        rv::write_group_index({QStringLiteral("Sales"), QStringLiteral("Support")});
        QCOMPARE(fileBytes("Rotalist.dat"),
                 indexRecord("Sales", 0) + indexRecord("Support", 1) + indexEnd());
        QCOMPARE(rv::read_group_index(), QStringList({"Sales", "Support"}));
        QVERIFY(rv::groupIndexExists());
        const QString id = rv::makeEntryId(rv::kLocalProviderTag, QStringLiteral("alice"));
        rv::write_members(0, {{QStringLiteral("Alice Archer"), id}});
        QCOMPARE(fileBytes("GRP0.DAT"), memberRecord("Alice Archer", id.toLatin1()) + memberEnd());
        QCOMPARE(rv::read_members(0), QList<GroupMember>({{"Alice Archer", id}}));
        QCOMPARE(workdirEntries(), QStringList({"GRP0.DAT", "GRP4.DAT", "Rotalist.dat"}));
    }

    // Saving a shorter list writes in place: old records stay behind the new marker, unread by
    // the lists but read by record number.
    void shrunkListsLeaveOldRecordsBehindTheMarker() {
        rv::test::TempWorkdir dir;
        rv::write_group_index({"A", "B", "C", "D", "E"});
        const QByteArray five = fileBytes("Rotalist.dat");
        rv::write_group_index({"P", "Q", "R"});
        QCOMPARE(fileBytes("Rotalist.dat"), indexRecord("P", 0) + indexRecord("Q", 1) +
                                                indexRecord("R", 2) + indexEnd() +
                                                five.mid(4 * 52));
        QCOMPARE(five.mid(4 * 52, 52), indexRecord("E", 4));
        QCOMPARE(rv::read_group_index(), QStringList({"P", "Q", "R"}));
        QCOMPARE(rv::find_group_number(QStringLiteral("E")), QList<int>());

        rv::write_members(1, {{"m1", "i1"}, {"m2", "i2"}, {"m3", "i3"}});
        rv::write_members(1, {{"n1", "j1"}});
        QCOMPARE(fileBytes("GRP1.DAT"),
                 memberRecord("n1", "j1") + memberEnd() + memberRecord("m3", "i3") + memberEnd());
        QCOMPARE(rv::read_members(1), QList<GroupMember>({{"n1", "j1"}}));
        QCOMPARE(rv::member_id_at(1, 1, true), QStringLiteral("j1"));
        QCOMPARE(rv::member_id_at(1, 3, true), QStringLiteral("i3"));
    }

    // Saving one group's entry rewrites that record and the marker after the list, nothing else.
    void writeGroupEntryTouchesOneRecordAndTheMarker() {
        rv::test::TempWorkdir dir;
        rv::write_group_index({"A", "B", "C"});
        QByteArray expected = fileBytes("Rotalist.dat");
        rv::write_group_entry(1, {"A", "Bee", "C"});
        expected.replace(52, 52, indexRecord("Bee", 1));
        QCOMPARE(fileBytes("Rotalist.dat"), expected);

        // The list has shrunk to two: record 3 becomes the marker, record 4 keeps the old one.
        rv::write_group_entry(1, {"A", "Bee"});
        expected.replace(104, 52, indexEnd());
        QCOMPARE(fileBytes("Rotalist.dat"), expected);
        QCOMPARE(rv::read_group_index(), QStringList({"A", "Bee"}));

        // A position past the list is overwritten by the marker written after it.
        rv::write_group_entry(1, {"A"});
        rv::write_group_entry(1, {"A"});
        expected.replace(52, 52, indexEnd());
        QCOMPARE(fileBytes("Rotalist.dat"), expected);
        QCOMPARE(rv::read_group_index(), QStringList({"A"}));

        // Written into a missing index, the records before it are zero bytes and end nothing.
        rv::test::TempWorkdir empty;
        rv::write_group_entry(1, {"A", "B"});
        QCOMPARE(fileBytes("Rotalist.dat"),
                 QByteArray(52, '\0') + indexRecord("B", 1) + indexEnd());
        QCOMPARE(rv::read_group_index(), QStringList({QString(50, QChar(0)), QStringLiteral("B")}));
    }

    // Only the name "XXX" (blanks around it ignored, letter case not) ends a list, for every
    // reader; group names are matched exactly, letter case included.
    void endMarkerAndNamesAreMatchedExactly() {
        rv::test::TempWorkdir dir;
        rv::write_group_index({"A", "  XXX ", "B"});
        QCOMPARE(rv::read_group_index(), QStringList({"A"}));
        QCOMPARE(rv::find_group_number(QStringLiteral("B")), QList<int>());
        QCOMPARE(rv::find_group_number(QStringLiteral("A")), QList<int>({0}));
        putFile("Rotalist.dat",
                indexRecord("xxx", 0) + indexRecord(QByteArray("XXX\0", 4), 1) + indexEnd());
        QCOMPARE(rv::read_group_index(),
                 QStringList({QStringLiteral("xxx"), QString::fromLatin1("XXX\0", 4)}));
        rv::write_members(0, {{"Ann", "a"}, {"XXX", "b"}, {"Bob", "c"}});
        QCOMPARE(rv::read_members(0), QList<GroupMember>({{"Ann", "a"}}));

        rv::write_group_index({"Sales", "sales", "Support", "Sales"});
        QCOMPARE(rv::find_group_number(QStringLiteral("Sales")), QList<int>({0, 3}));
        QCOMPARE(rv::find_group_number(QStringLiteral("sales")), QList<int>({1}));
        QCOMPARE(rv::find_group_number(QStringLiteral("SALES")), QList<int>());
    }

    // Text is stored in Windows-1252, cut to its field: a character the code page lacks is "?",
    // and every byte of a file reads back and writes again unchanged.
    void textIsWindows1252CutToItsField() {
        rv::test::TempWorkdir dir;
        const QString sixty = QStringLiteral("G").repeated(40) + QStringLiteral("h").repeated(20);
        rv::write_group_index({sixty});
        QCOMPARE(fileBytes("Rotalist.dat").left(52),
                 sixty.left(50).toLatin1() + QByteArray(2, '\0'));
        QCOMPARE(rv::read_group_index(), QStringList({sixty.left(50)}));
        QCOMPARE(rv::find_group_number(sixty), QList<int>());
        QCOMPARE(rv::find_group_number(sixty.left(50)), QList<int>({0}));
        const QString longName = QStringLiteral("n").repeated(250);
        rv::write_members(0, {{longName, "id"}});
        QCOMPARE(rv::read_members(0), QList<GroupMember>({{longName.left(200), "id"}}));

        rv::write_group_index({QStringLiteral("Caf\u00e9 \u20ac\u2019")});
        QCOMPARE(fileBytes("Rotalist.dat").left(8), QByteArray("Caf\xe9 \x80\x92 "));
        QCOMPARE(rv::read_group_index(), QStringList({QStringLiteral("Caf\u00e9 \u20ac\u2019")}));
        rv::write_members(0, {{QStringLiteral("\u6797 \U0001F600 Zo\u00eb"), "id"}});
        QCOMPARE(rv::read_members(0).value(0).name, QStringLiteral("? ? Zo\u00eb"));

        QByteArray all;
        for (int b = 1; b < 256; ++b)
            if (b != ' ')
                all.append(char(b));
        putFile("GRP1.DAT", memberRecord(all.left(200), all.mid(200)) + memberEnd());
        const QByteArray original = fileBytes("GRP1.DAT");
        rv::write_members(1, rv::read_members(1));
        QCOMPARE(fileBytes("GRP1.DAT"), original);
    }

    // Removing a group moves every later member file down one number; a group without a file
    // leaves a gap the later files close, and files beyond the list stay.
    void removingAGroupRenumbersTheLaterFiles() {
        rv::test::TempWorkdir dir;
        rv::write_group_index({"A", "B", "C", "D"});
        for (int n = 0; n <= 3; ++n)
            rv::write_members(n, {{QStringLiteral("m%1").arg(n), QStringLiteral("id%1").arg(n)}});
        rv::write_members(5, {{"stray", "s"}});
        FolderState before = folderState();
        rv::remove_group_files(1, {"A", "B", "C", "D"});
        FolderState expected = before;
        expected["GRP1.DAT"] = before["GRP2.DAT"];
        expected["GRP2.DAT"] = before["GRP3.DAT"];
        expected.remove("GRP3.DAT");
        expected["Rotalist.dat"] = indexRecord("A", 0) + indexRecord("C", 1) + indexRecord("D", 2) +
                                   indexEnd() + indexEnd();
        QCOMPARE(folderState(), expected);

        rv::test::TempWorkdir gap;
        rv::write_members(0, {{"a", "1"}});
        rv::write_members(3, {{"d", "4"}});
        rv::remove_group_files(1, {"A", "B", "C", "D"});
        QCOMPARE(workdirEntries(), QStringList({"GRP0.DAT", "GRP2.DAT", "Rotalist.dat"}));
        QCOMPARE(rv::read_members(2), QList<GroupMember>({{"d", "4"}}));
    }

    // Group files are found whatever the letter case of their names, and keep their names.
    void fileNamesIgnoreLetterCase() {
        rv::test::TempWorkdir dir;
        putFile("ROTALIST.DAT", indexRecord("Sales", 0) + indexRecord("Support", 1) + indexEnd());
        QVERIFY(rv::groupIndexExists());
        QCOMPARE(rv::read_group_index(), QStringList({"Sales", "Support"}));
        rv::write_group_index({"Sales"});
        QCOMPARE(workdirEntries(), QStringList({"ROTALIST.DAT"}));
        QCOMPARE(rv::read_group_index(), QStringList({"Sales"}));

        putFile("grp1.dat", memberRecord("Old", "o") + memberEnd());
        putFile("grp2.dat", memberRecord("Ann", "a") + memberEnd());
        QVERIFY(rv::memberFileExists(2));
        QCOMPARE(rv::read_members(2), QList<GroupMember>({{"Ann", "a"}}));
        QCOMPARE(rv::member_id_at(2, 1, true), QStringLiteral("a"));
        rv::write_members(2, {{"Bea", "b"}});
        QCOMPARE(workdirEntries(), QStringList({"ROTALIST.DAT", "grp1.dat", "grp2.dat"}));

        rv::remove_group_files(1, {"Sales", "Old", "Bea"});
        QCOMPARE(workdirEntries(), QStringList({"GRP1.DAT", "ROTALIST.DAT"}));
        QCOMPARE(rv::read_members(1), QList<GroupMember>({{"Bea", "b"}}));
    }

    // The row refresh reads an identifier by record number, past what 16 bits count too; without
    // a board group name it reads the first group's file.
    void memberIdAtReadsByRecordNumber() {
        rv::test::TempWorkdir dir;
        QCOMPARE(rv::member_id_at(0, 1, false), QString());
        rv::write_members(0, {{"Ann", "ann"}});
        rv::write_members(2, {{"Bob", "b1"}, {"Cat", "c2"}});
        QCOMPARE(rv::member_id_at(2, 2, true), QStringLiteral("c2"));
        QCOMPARE(rv::member_id_at(2, 3, true), QStringLiteral("XXX"));
        QCOMPARE(rv::member_id_at(2, 4, true), QString()); // past the end of the file
        QCOMPARE(rv::member_id_at(2, 0, true), QString());
        QCOMPARE(rv::member_id_at(2, 1, false), QStringLiteral("ann"));
        QCOMPARE(rv::member_id_at(7, 1, true), QString());

        QFile big("GRP3.DAT");
        QVERIFY(big.open(QIODevice::WriteOnly));
        for (const int record : {32767, 32768, 40000}) {
            QVERIFY(big.seek(qint64(record - 1) * 1932));
            big.write(memberRecord("Who", QByteArray::number(record)));
        }
        big.close();
        for (const int record : {32767, 32768, 40000})
            QCOMPARE(rv::member_id_at(3, record, true), QString::number(record));
    }

    // A file cut short ends the list where the last whole field ends; saving over it keeps the
    // bytes past the new records, as writing in place would.
    void cutShortFilesEndTheList_data() {
        QTest::addColumn<bool>("index");
        QTest::addColumn<int>("size");
        QTest::addColumn<QStringList>("expected"); // names, or name=id for members
        QTest::newRow("index without marker") << true << 52 << QStringList{"Sales"};
        QTest::newRow("index record cut") << true << 82 << QStringList{"Sales", "Support"};
        QTest::newRow("index marker cut") << true << 114 << QStringList{"Sales", "Support"};
        QTest::newRow("index empty") << true << 0 << QStringList{};
        QTest::newRow("members without marker")
            << false << 2 * 1932 << QStringList{"Ann=a1", "Bob=b123456"};
        QTest::newRow("member id cut") << false << 1932 + 205 << QStringList{"Ann=a1", "Bob=b12"};
        QTest::newRow("member cut before name") << false << 1932 + 2 << QStringList{"Ann=a1"};
    }
    void cutShortFilesEndTheList() {
        QFETCH(bool, index);
        QFETCH(int, size);
        QFETCH(QStringList, expected);
        rv::test::TempWorkdir dir;
        if (index) {
            putFile("Rotalist.dat",
                    (indexRecord("Sales", 0) + indexRecord("Support", 1) + indexEnd()).left(size));
            QCOMPARE(rv::read_group_index(), expected);
            return;
        }
        const QByteArray members = memberRecord("Ann", "a1") + memberRecord("Bob", "b123456");
        putFile("GRP0.DAT", members.left(size));
        QStringList read;
        for (const GroupMember& m : rv::read_members(0))
            read << m.name + QLatin1Char('=') + m.id;
        QCOMPARE(read, expected);
        QCOMPARE(rv::member_id_at(0, 2, true), expected.value(1).section(QLatin1Char('='), 1));
        QCOMPARE(rv::member_id_at(0, 3, true), QString());
        rv::write_members(0, {});
        QCOMPARE(fileBytes("GRP0.DAT"), memberEnd() + members.mid(1932, size - 1932));
    }

    // A save that fails (a full disk) leaves the old file whole, no temporary file behind, and
    // names the file in its message.
    void aFailingSaveLeavesTheOldFileWhole() {
        rv::test::TempWorkdir dir;
        rv::write_group_index({"Sales", "Support"});
        rv::write_members(0, {{"Ann", "ann"}});
        const FolderState before = folderState();
        {
            FileSizeLimit limit(100);
            QVERIFY_THROWS_EXCEPTION(rv::FileError,
                                     rv::write_group_index({"Sales", "Support", "Service"}));
            QVERIFY_THROWS_EXCEPTION(rv::FileError,
                                     rv::write_members(0, {{"Ann", "a"}, {"Bob", "b"}}));
            QVERIFY_THROWS_EXCEPTION(rv::FileError, rv::write_group_entry(0, {"Sales", "S"}));
            QVERIFY_THROWS_EXCEPTION(rv::FileError, rv::write_members(3, {{"Ann", "a"}}));
            FileSizeLimit smaller(10);
            expectFileError([] { rv::write_group_index({"Sales"}); }, {"Rotalist.dat"});
        }
        QCOMPARE(folderState(), before);
    }

    // An interrupted removal - a change refused part way (once, or from there on as when the
    // folder turns read-only), or the program ended between two changes - never leaves the index
    // and the member files disagreeing: a refusal is undone before the message, and the next
    // group operation undoes (or, when only clearing up was left, finishes) a removal cut short.
    void interruptedRemovalLeavesIndexAndFilesAgreeing_data() {
        QTest::addColumn<int>("change");
        QTest::addColumn<QString>("interruption");
        QTest::addColumn<bool>("removed");
        // The changes one removal makes, and the last one before it cannot be undone.
        int changes = 0;
        int pointOfNoReturn = 0;
        {
            rv::test::TempWorkdir dir;
            const QStringList groups = fiveGroups();
            ChangeHookGuard guard;
            rv::workdir::setChangeHook([&](const QString& change, const QString& name) {
                ++changes;
                if (change == QLatin1String("save") && name == QLatin1String("Rotalist.journal"))
                    pointOfNoReturn = changes;
            });
            rv::remove_group_files(1, groups);
        }
        for (const char* interruption : {"refused once", "refused from there on", "crash"})
            for (int change = 1; change <= changes; ++change)
                QTest::addRow("%s at change %d", interruption, change)
                    << change << QString::fromLatin1(interruption) << (change > pointOfNoReturn);
    }

    void interruptedRemovalLeavesIndexAndFilesAgreeing() {
        QFETCH(int, change);
        QFETCH(QString, interruption);
        QFETCH(bool, removed);
        FolderState after;
        {
            rv::test::TempWorkdir done;
            rv::remove_group_files(1, fiveGroups());
            after = folderState();
        }
        rv::test::TempWorkdir dir;
        const QStringList groups = fiveGroups();
        const FolderState before = folderState();
        QMap<QString, QList<GroupMember>> membersOf;
        for (int n = 0; n < groups.size(); ++n)
            membersOf.insert(groups.at(n), rv::read_members(n));

        int seen = 0;
        ChangeHookGuard guard;
        rv::workdir::setChangeHook([&](const QString& what, const QString& name) {
            ++seen;
            if (seen == change ||
                (interruption == QLatin1String("refused from there on") && seen > change)) {
                if (interruption == QLatin1String("crash"))
                    throw SimulatedCrash{};
                throw rv::FileError(
                    QStringLiteral("Could not %1 \"%2\": refused.").arg(what, name));
            }
        });
        QString message;
        try {
            rv::remove_group_files(1, groups);
        } catch (const rv::FileError& error) {
            message = error.message();
        } catch (const SimulatedCrash&) {
        }
        // A removal that failed says so, and one that was told as failed has been undone.
        const bool reported = !removed && interruption != QLatin1String("crash");
        QVERIFY2(message.isEmpty() != reported, qPrintable(message));
        if (reported)
            QVERIFY2(message.contains(QStringLiteral("was not removed")), qPrintable(message));
        if (interruption == QLatin1String("refused once") && reported)
            QCOMPARE(folderState(), before);
        rv::workdir::setChangeHook({});

        // The next start reads the groups.
        const QStringList names = rv::read_group_index();
        QCOMPARE(folderState(), removed ? after : before);
        for (int n = 0; n < names.size(); ++n)
            QCOMPARE(rv::read_members(n), membersOf.value(names.at(n)));
    }

    // A rename the file system refuses part way through a removal is undone before the message.
    void aRefusedRenameIsUndoneBeforeTheMessage() {
        rv::test::TempWorkdir dir;
        const QStringList groups = fiveGroups();
        // A folder where the last member file is moved out of the way to.
        QVERIFY(QDir().mkpath(QStringLiteral("GRP4.DAT.moving/inside")));
        const FolderState before = folderState();
        expectFileError([&] { rv::remove_group_files(1, groups); },
                        {"GRP4.DAT.moving", "was not removed"});
        QCOMPARE(folderState(), before);
        QCOMPARE(rv::read_group_index(), groups);
    }

    // A group file that is a symbolic link (to a file shared with others) is saved where the link
    // leads, and stays a link.
    void linkedGroupFilesAreSavedWhereTheyLead_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("absolute");
        QTest::addColumn<bool>("twoLinks");
        QTest::addColumn<bool>("targetThere");
        QTest::newRow("index, relative link") << "Rotalist.dat" << false << false << true;
        QTest::newRow("member file, absolute link") << "GRP0.DAT" << true << false << true;
        QTest::newRow("member file, link to a link") << "GRP0.DAT" << false << true << true;
        QTest::newRow("member file, link to no file yet") << "GRP0.DAT" << false << false << false;
    }

    void linkedGroupFilesAreSavedWhereTheyLead() {
        QFETCH(QString, name);
        QFETCH(bool, absolute);
        QFETCH(bool, twoLinks);
        QFETCH(bool, targetThere);
        rv::test::TempWorkdir dir;
        QVERIFY(QDir().mkpath(QStringLiteral("shared")));
        const QString target = QStringLiteral("shared/team.dat");
        if (targetThere)
            putFile(target, QByteArray("old"));
        QString linkTo = absolute ? dir.file(target) : target;
        if (twoLinks) {
            QVERIFY(QFile::link(QStringLiteral("team.dat"), QStringLiteral("shared/latest")));
            linkTo = QStringLiteral("shared/latest");
        }
        QVERIFY(QFile::link(linkTo, name));

        QByteArray expected;
        if (name == QLatin1String("Rotalist.dat")) {
            rv::write_group_index({"Sales"});
            expected = indexRecord("Sales", 0) + indexEnd();
            QCOMPARE(rv::read_group_index(), QStringList({"Sales"}));
        } else {
            rv::write_members(0, {{"Ann", "a"}});
            expected = memberRecord("Ann", "a") + memberEnd();
            QCOMPARE(rv::read_members(0), QList<GroupMember>({{"Ann", "a"}}));
        }
        QVERIFY(QFileInfo(name).isSymLink());
        QCOMPARE(fileBytes(target), expected);
        QCOMPARE(QDir(QStringLiteral("shared"))
                     .entryList(QDir::Files | QDir::System | QDir::Hidden, QDir::Name),
                 twoLinks ? QStringList({"latest", "team.dat"}) : QStringList({"team.dat"}));
    }

    // Temporary files that interrupted saves left behind go at the next save of their file; one
    // that a running save still holds stays.
    void leftOverTemporaryFilesGoAtTheNextSave() {
        rv::test::TempWorkdir dir;
        putFile(QStringLiteral(".Rotalist.dat.a1B2c3"), QByteArray(5000, 'x'));
        putFile(QStringLiteral(".Rotalist.dat.Zz9Yy8"), QByteArray(10, 'y'));
        putFile(QStringLiteral(".GRP0.DAT.q1w2e3"), QByteArray(10, 'z'));
        QFile held(QStringLiteral(".Rotalist.dat.Zz9Yy8"));
        QVERIFY(held.open(QIODevice::ReadOnly));
        QCOMPARE(::flock(held.handle(), LOCK_EX | LOCK_NB), 0);

        rv::write_group_index({"Sales"});
        QCOMPARE(workdirEntries(),
                 QStringList({".GRP0.DAT.q1w2e3", ".Rotalist.dat.Zz9Yy8", "Rotalist.dat"}));
        rv::write_members(0, {});
        QCOMPARE(workdirEntries(),
                 QStringList({".Rotalist.dat.Zz9Yy8", "GRP0.DAT", "Rotalist.dat"}));
    }
};

QTEST_MAIN(GroupFilesTest)
#include "group_files_test.moc"
