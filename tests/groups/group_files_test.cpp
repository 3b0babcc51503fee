#include "groups/group_files.h"
#include "support/file_size_limit.h"
#include "support/temp_workdir.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTest>
#include <csignal>
#include <sys/resource.h>

using rv::test::FileSizeLimit;

using rv::GroupMember;

namespace {

QByteArray fileBytes(const QString& name) {
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return file.readAll();
}

void putFile(const QString& name, const QByteArray& bytes) {
    QFile file(name);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray blanks(int n) {
    return QByteArray(n, ' ');
}

QByteArray indexRecord(const QByteArray& name, char lo, char hi) {
    return name + blanks(50 - name.size()) + QByteArray(1, lo) + QByteArray(1, hi);
}

QByteArray memberRecord(const QByteArray& name, const QByteArray& id) {
    return QByteArray(2, '\0') + name + blanks(200 - name.size()) + id + blanks(200 - id.size()) +
           QByteArray(1530, '\0');
}

// An entry identifier of the shape the calendar backends hand out: 160 upper-case hex characters.
QString entryId(const QByteArray& key) {
    QByteArray raw = QByteArray(4, '\0') + QByteArray("RotaviewLocal") + QByteArray(3, '\0') + key;
    raw.append(80 - raw.size(), '\0');
    return QString::fromLatin1(raw.toHex().toUpper());
}

QStringList workdirEntries() {
    return QDir::current().entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                                     QDir::Name);
}

} // namespace

class GroupFilesTest : public QObject {
    Q_OBJECT
private slots:
    void indexForTwoGroupsIsByteExact() {
        rv::test::TempWorkdir dir;
        rv::write_group_index({QStringLiteral("Sales"), QStringLiteral("Support")});
        const QByteArray expected = indexRecord("Sales", 0x00, 0x00) +
                                    indexRecord("Support", 0x01, 0x00) +
                                    indexRecord("XXX", 0x0F, 0x27);
        QCOMPARE(expected.size(), 156);
        QCOMPARE(fileBytes(QStringLiteral("Rotalist.dat")), expected);
        QCOMPARE(rv::read_group_index(), QStringList({"Sales", "Support"}));
        QVERIFY(rv::groupIndexExists());
    }

    void memberFileForOneMemberIsByteExact() {
        rv::test::TempWorkdir dir;
        const QString id = entryId("alice");
        rv::write_members(0, {{QStringLiteral("Alice Archer"), id}});
        const QByteArray expected =
            memberRecord("Alice Archer", id.toLatin1()) + memberRecord("XXX", "XXX");
        QCOMPARE(expected.size(), 3864);
        QCOMPARE(fileBytes(QStringLiteral("GRP0.DAT")), expected);
        QCOMPARE(rv::read_members(0), QList<GroupMember>({{"Alice Archer", id}}));
        QCOMPARE(workdirEntries(), QStringList({"GRP0.DAT"}));
    }

    void emptyListsAreTheEndMarkerAlone() {
        rv::test::TempWorkdir dir;
        QVERIFY(!rv::groupIndexExists());
        QCOMPARE(rv::read_group_index(), QStringList());
        QCOMPARE(rv::read_members(4), QList<GroupMember>());
        QCOMPARE(rv::find_group_number(QStringLiteral("Sales")), QList<int>());

        rv::write_group_index({});
        QCOMPARE(fileBytes(QStringLiteral("Rotalist.dat")), indexRecord("XXX", 0x0F, 0x27));
        rv::write_members(4, {});
        QCOMPARE(fileBytes(QStringLiteral("GRP4.DAT")), memberRecord("XXX", "XXX"));
        QCOMPARE(rv::read_group_index(), QStringList());
        QCOMPARE(rv::read_members(4), QList<GroupMember>());
    }

    void shrunkListsLeaveOldRecordsBehindTheMarker() {
        rv::test::TempWorkdir dir;
        rv::write_group_index({"A", "B", "C", "D", "E"});
        const QByteArray five = fileBytes(QStringLiteral("Rotalist.dat"));
        QCOMPARE(five.size(), 6 * 52);

        rv::write_group_index({"P", "Q", "R"});
        const QByteArray three = fileBytes(QStringLiteral("Rotalist.dat"));
        QCOMPARE(three.size(), 6 * 52);
        QCOMPARE(three.left(4 * 52), indexRecord("P", 0, 0) + indexRecord("Q", 1, 0) +
                                         indexRecord("R", 2, 0) + indexRecord("XXX", 0x0F, 0x27));
        QCOMPARE(three.mid(4 * 52), five.mid(4 * 52)); // records 5 and 6: "E" and the old marker
        QCOMPARE(three.mid(4 * 52, 52), indexRecord("E", 4, 0));
        QCOMPARE(rv::read_group_index(), QStringList({"P", "Q", "R"}));
        QCOMPARE(rv::find_group_number(QStringLiteral("E")), QList<int>());

        rv::write_members(1, {{"m1", "i1"}, {"m2", "i2"}, {"m3", "i3"}});
        rv::write_members(1, {{"n1", "j1"}});
        const QByteArray members = fileBytes(QStringLiteral("GRP1.DAT"));
        QCOMPARE(members.size(), 4 * 1932);
        QCOMPARE(members.left(2 * 1932), memberRecord("n1", "j1") + memberRecord("XXX", "XXX"));
        QCOMPARE(members.mid(2 * 1932), memberRecord("m3", "i3") + memberRecord("XXX", "XXX"));
        QCOMPARE(rv::read_members(1), QList<GroupMember>({{"n1", "j1"}}));
        // The row refresh reads by record number and does not look for the marker.
        QCOMPARE(rv::member_id_at(1, 1, true), QStringLiteral("j1"));
        QCOMPARE(rv::member_id_at(1, 3, true), QStringLiteral("i3"));
    }

    void writeGroupEntryTouchesOneRecordAndTheMarker() {
        rv::test::TempWorkdir dir;
        rv::write_group_index({"A", "B", "C"});
        const QByteArray before = fileBytes(QStringLiteral("Rotalist.dat"));

        rv::write_group_entry(1, {"A", "Bee", "C"});
        QByteArray expected = before;
        expected.replace(52, 52, indexRecord("Bee", 1, 0));
        QCOMPARE(fileBytes(QStringLiteral("Rotalist.dat")), expected);

        // The list has shrunk to two: record 3 becomes the marker, record 4 keeps the old one.
        rv::write_group_entry(1, {"A", "Bee"});
        expected.replace(104, 52, indexRecord("XXX", 0x0F, 0x27));
        QCOMPARE(fileBytes(QStringLiteral("Rotalist.dat")), expected);
        QCOMPARE(rv::read_group_index(), QStringList({"A", "Bee"}));

        // A position past the list is overwritten by the marker written after it.
        rv::write_group_entry(1, {"A"});
        rv::write_group_entry(1, {"A"});
        expected.replace(52, 52, indexRecord("XXX", 0x0F, 0x27));
        QCOMPARE(fileBytes(QStringLiteral("Rotalist.dat")), expected);
        QCOMPARE(rv::read_group_index(), QStringList({"A"}));

        // Written into a missing index, the records before it are zero bytes and end nothing.
        rv::test::TempWorkdir empty;
        rv::write_group_entry(1, {"A", "B"});
        QCOMPARE(fileBytes(QStringLiteral("Rotalist.dat")),
                 QByteArray(52, '\0') + indexRecord("B", 1, 0) + indexRecord("XXX", 0x0F, 0x27));
        QCOMPARE(rv::read_group_index(), QStringList({QString(50, QChar(0)), QStringLiteral("B")}));
    }

    void endMarkerNameEndsTheListForEveryReader() {
        rv::test::TempWorkdir dir;
        rv::write_group_index({"A", "  XXX ", "B"});
        QCOMPARE(rv::read_group_index(), QStringList({"A"}));
        QCOMPARE(rv::find_group_number(QStringLiteral("B")), QList<int>());
        QCOMPARE(rv::find_group_number(QStringLiteral("A")), QList<int>({0}));

        // Lower case is an ordinary name, and a zero byte is part of the name, not a blank.
        putFile(QStringLiteral("Rotalist.dat"), indexRecord("xxx", 0, 0) +
                                                    indexRecord(QByteArray("XXX\0", 4), 1, 0) +
                                                    indexRecord("XXX", 0x0F, 0x27));
        QCOMPARE(rv::read_group_index(),
                 QStringList({QStringLiteral("xxx"), QString::fromLatin1("XXX\0", 4)}));

        rv::write_members(0, {{"Ann", "a"}, {"XXX", "b"}, {"Bob", "c"}});
        QCOMPARE(rv::read_members(0), QList<GroupMember>({{"Ann", "a"}}));
    }

    void longNamesAreCutToTheirFields() {
        rv::test::TempWorkdir dir;
        const QString sixty = QStringLiteral("G").repeated(40) + QStringLiteral("h").repeated(20);
        rv::write_group_index({sixty});
        QCOMPARE(fileBytes(QStringLiteral("Rotalist.dat")).left(52),
                 sixty.left(50).toLatin1() + QByteArray(2, '\0'));
        QCOMPARE(rv::read_group_index(), QStringList({sixty.left(50)}));
        QCOMPARE(rv::find_group_number(sixty), QList<int>());
        QCOMPARE(rv::find_group_number(sixty.left(50)), QList<int>({0}));

        const QString longName = QStringLiteral("n").repeated(250);
        rv::write_members(0, {{longName, "id"}});
        QCOMPARE(rv::read_members(0), QList<GroupMember>({{longName.left(200), "id"}}));
    }

    void textIsWindows1252() {
        rv::test::TempWorkdir dir;
        rv::write_group_index({QStringLiteral("Caf\u00e9 \u20ac\u2019")});
        QCOMPARE(fileBytes(QStringLiteral("Rotalist.dat")).left(8),
                 QByteArray("Caf\xe9 \x80\x92 "));
        QCOMPARE(rv::read_group_index(), QStringList({QStringLiteral("Caf\u00e9 \u20ac\u2019")}));

        // A name from the calendar service with characters the code page lacks: "?" each.
        rv::write_members(0, {{QStringLiteral("\u6797 \U0001F600 Zo\u00eb"), "id"}});
        QCOMPARE(rv::read_members(0).value(0).name, QStringLiteral("? ? Zo\u00eb"));

        // Every byte reads back and writes again unchanged, the undefined ones included.
        QByteArray all;
        for (int b = 1; b < 256; ++b)
            if (b != ' ')
                all.append(char(b));
        putFile(QStringLiteral("GRP1.DAT"),
                memberRecord(all.left(200), all.mid(200)) + memberRecord("XXX", "XXX"));
        const QByteArray original = fileBytes(QStringLiteral("GRP1.DAT"));
        rv::write_members(1, rv::read_members(1));
        QCOMPARE(fileBytes(QStringLiteral("GRP1.DAT")), original);
    }

    void namesDifferingInCaseAreDifferentGroups() {
        rv::test::TempWorkdir dir;
        rv::write_group_index({"Sales", "sales", "Support", "Sales"});
        QCOMPARE(rv::find_group_number(QStringLiteral("Sales")), QList<int>({0, 3}));
        QCOMPARE(rv::find_group_number(QStringLiteral("sales")), QList<int>({1}));
        QCOMPARE(rv::find_group_number(QStringLiteral("SALES")), QList<int>());
    }

    void removingAGroupRenumbersTheLaterFiles() {
        rv::test::TempWorkdir dir;
        for (int n = 0; n <= 3; ++n)
            rv::write_members(n, {{QStringLiteral("m%1").arg(n), QStringLiteral("id%1").arg(n)}});
        rv::write_members(5, {{"stray", "s"}});
        const QByteArray grp0 = fileBytes(QStringLiteral("GRP0.DAT"));
        const QByteArray grp2 = fileBytes(QStringLiteral("GRP2.DAT"));
        const QByteArray grp3 = fileBytes(QStringLiteral("GRP3.DAT"));
        const QByteArray grp5 = fileBytes(QStringLiteral("GRP5.DAT"));

        rv::remove_group_files(1, 3);
        QCOMPARE(workdirEntries(), QStringList({"GRP0.DAT", "GRP1.DAT", "GRP2.DAT", "GRP5.DAT"}));
        QCOMPARE(fileBytes(QStringLiteral("GRP0.DAT")), grp0);
        QCOMPARE(fileBytes(QStringLiteral("GRP1.DAT")), grp2);
        QCOMPARE(fileBytes(QStringLiteral("GRP2.DAT")), grp3);
        QCOMPARE(fileBytes(QStringLiteral("GRP5.DAT")), grp5);

        // A group without a member file leaves a gap that the later files close.
        rv::test::TempWorkdir gap;
        rv::write_members(0, {{"a", "1"}});
        rv::write_members(3, {{"d", "4"}});
        rv::remove_group_files(1, 3);
        QCOMPARE(workdirEntries(), QStringList({"GRP0.DAT", "GRP2.DAT"}));
        QCOMPARE(rv::read_members(2), QList<GroupMember>({{"d", "4"}}));
        QCOMPARE(rv::read_members(1), QList<GroupMember>());
    }

    void fileNamesIgnoreLetterCase() {
        rv::test::TempWorkdir dir;
        putFile(QStringLiteral("ROTALIST.DAT"), indexRecord("Sales", 0, 0) +
                                                    indexRecord("Support", 1, 0) +
                                                    indexRecord("XXX", 0x0F, 0x27));
        QVERIFY(rv::groupIndexExists());
        QCOMPARE(rv::read_group_index(), QStringList({"Sales", "Support"}));
        rv::write_group_index({"Sales"});
        QCOMPARE(workdirEntries(), QStringList({"ROTALIST.DAT"}));
        QCOMPARE(rv::read_group_index(), QStringList({"Sales"}));

        putFile(QStringLiteral("grp1.dat"), memberRecord("Old", "o") + memberRecord("XXX", "XXX"));
        putFile(QStringLiteral("grp2.dat"), memberRecord("Ann", "a") + memberRecord("XXX", "XXX"));
        QVERIFY(rv::memberFileExists(2));
        QCOMPARE(rv::read_members(2), QList<GroupMember>({{"Ann", "a"}}));
        QCOMPARE(rv::member_id_at(2, 1, true), QStringLiteral("a"));
        rv::write_members(2, {{"Bea", "b"}});
        QCOMPARE(workdirEntries(), QStringList({"ROTALIST.DAT", "grp1.dat", "grp2.dat"}));

        rv::remove_group_files(1, 2);
        QCOMPARE(workdirEntries(), QStringList({"GRP1.DAT", "ROTALIST.DAT"}));
        QCOMPARE(rv::read_members(1), QList<GroupMember>({{"Bea", "b"}}));
    }

    void memberIdAtReadsByRecordNumber() {
        rv::test::TempWorkdir dir;
        QCOMPARE(rv::member_id_at(0, 1, false), QString());
        rv::write_members(0, {{"Ann", entryId("ann")}});
        rv::write_members(2, {{"Bob", "b1"}, {"Cat", "c2"}});
        QCOMPARE(rv::member_id_at(2, 2, true), QStringLiteral("c2"));
        QCOMPARE(rv::member_id_at(2, 3, true), QStringLiteral("XXX"));
        QCOMPARE(rv::member_id_at(2, 4, true), QString()); // past the end of the file
        QCOMPARE(rv::member_id_at(2, 0, true), QString());
        // Without a board group name the first group's file is read, whatever the number.
        QCOMPARE(rv::member_id_at(2, 1, false), entryId("ann"));
        QCOMPARE(rv::member_id_at(7, 1, true), QString());
    }

    void cutShortFilesEndTheList() {
        rv::test::TempWorkdir dir;
        const QByteArray index = indexRecord("Sales", 0, 0) + indexRecord("Support", 1, 0) +
                                 indexRecord("XXX", 0x0F, 0x27);
        putFile(QStringLiteral("Rotalist.dat"), index.left(52)); // no marker at all
        QCOMPARE(rv::read_group_index(), QStringList({"Sales"}));
        putFile(QStringLiteral("Rotalist.dat"), index.left(52 + 30)); // second record cut short
        QCOMPARE(rv::read_group_index(), QStringList({"Sales", "Support"}));
        QCOMPARE(rv::find_group_number(QStringLiteral("Support")), QList<int>({1}));
        putFile(QStringLiteral("Rotalist.dat"), index.left(52 + 52 + 10)); // marker cut short
        QCOMPARE(rv::read_group_index(), QStringList({"Sales", "Support"}));
        putFile(QStringLiteral("Rotalist.dat"), QByteArray());
        QCOMPARE(rv::read_group_index(), QStringList());

        const QByteArray members = memberRecord("Ann", "a1") + memberRecord("Bob", "b123456");
        putFile(QStringLiteral("GRP0.DAT"), members); // no marker
        QCOMPARE(rv::read_members(0), QList<GroupMember>({{"Ann", "a1"}, {"Bob", "b123456"}}));
        putFile(QStringLiteral("GRP0.DAT"), members.left(1932 + 205)); // id cut after 3 bytes
        QCOMPARE(rv::read_members(0), QList<GroupMember>({{"Ann", "a1"}, {"Bob", "b12"}}));
        QCOMPARE(rv::member_id_at(0, 2, true), QStringLiteral("b12"));
        putFile(QStringLiteral("GRP0.DAT"), members.left(1932 + 2)); // cut before the name
        QCOMPARE(rv::read_members(0), QList<GroupMember>({{"Ann", "a1"}}));
        QCOMPARE(rv::member_id_at(0, 2, true), QString());
        QCOMPARE(rv::member_id_at(0, 3, true), QString());

        // Saving over a cut file keeps its bytes past the new records, as writing in place would.
        rv::write_members(0, {});
        QCOMPARE(fileBytes(QStringLiteral("GRP0.DAT")),
                 memberRecord("XXX", "XXX") + members.mid(1932, 2));
    }

    void garbageReadsWithoutACrash() {
        rv::test::TempWorkdir dir;
        auto* random = QRandomGenerator::global();
        for (const int size : {1, 2, 51, 53, 1931, 1933, 5000, 200000}) {
            QByteArray garbage(size, '\0');
            for (auto& byte : garbage)
                byte = char(random->bounded(256));
            putFile(QStringLiteral("Rotalist.dat"), garbage);
            putFile(QStringLiteral("GRP0.DAT"), garbage);
            const QStringList names = rv::read_group_index();
            QVERIFY(names.size() <= size / 52 + 1);
            rv::find_group_number(QStringLiteral("Sales"));
            QVERIFY(rv::read_members(0).size() <= size / 1932 + 1);
            for (int r = 1; r <= size / 1932 + 2; ++r)
                QVERIFY(rv::member_id_at(0, r, false).size() <= 200);
        }
        // Zero bytes throughout: every record is an entry with a name of zero bytes.
        putFile(QStringLiteral("Rotalist.dat"), QByteArray(52 * 3, '\0'));
        QCOMPARE(rv::read_group_index().size(), 3);
    }

    void aFailingSaveLeavesTheOldFileWhole() {
        rv::test::TempWorkdir dir;
        rv::write_group_index({"Sales", "Support"});
        rv::write_members(0, {{"Ann", entryId("ann")}});
        const QByteArray index = fileBytes(QStringLiteral("Rotalist.dat"));
        const QByteArray members = fileBytes(QStringLiteral("GRP0.DAT"));
        {
            // The disk fills up after 100 bytes of the new file.
            FileSizeLimit limit(100);
            QVERIFY_THROWS_EXCEPTION(rv::FileError,
                                     rv::write_group_index({"Sales", "Support", "Service"}));
            QVERIFY_THROWS_EXCEPTION(rv::FileError,
                                     rv::write_members(0, {{"Ann", "a"}, {"Bob", "b"}}));
            QVERIFY_THROWS_EXCEPTION(rv::FileError, rv::write_group_entry(0, {"Sales", "S"}));
            QVERIFY_THROWS_EXCEPTION(rv::FileError, rv::write_members(3, {{"Ann", "a"}}));
        }
        QCOMPARE(fileBytes(QStringLiteral("Rotalist.dat")), index);
        QCOMPARE(fileBytes(QStringLiteral("GRP0.DAT")), members);
        QCOMPARE(workdirEntries(), QStringList({"GRP0.DAT", "Rotalist.dat"})); // no leftovers

        // The message names the file.
        try {
            FileSizeLimit limit(10);
            rv::write_group_index({"Sales"});
            QFAIL("the save reported success");
        } catch (const rv::FileError& error) {
            QVERIFY2(error.message().contains(QStringLiteral("Rotalist.dat")),
                     qPrintable(error.message()));
        }
        QCOMPARE(fileBytes(QStringLiteral("Rotalist.dat")), index);
    }

    void aFailingRenameIsReported() {
        rv::test::TempWorkdir dir;
        // A folder in the way of the new file: the final rename fails.
        QVERIFY(QDir().mkpath(QStringLiteral("Rotalist.dat/inside")));
        QVERIFY(!rv::groupIndexExists());
        QVERIFY_THROWS_EXCEPTION(rv::FileError, rv::write_group_index({"Sales"}));
        QCOMPARE(workdirEntries(), QStringList({"Rotalist.dat"}));

        rv::write_members(2, {{"Ann", "a"}});
        const QByteArray grp2 = fileBytes(QStringLiteral("GRP2.DAT"));
        QVERIFY(QDir().mkpath(QStringLiteral("GRP1.DAT/inside")));
        QVERIFY_THROWS_EXCEPTION(rv::FileError, rv::remove_group_files(1, 2));
        QCOMPARE(fileBytes(QStringLiteral("GRP2.DAT")), grp2);

        // Two spellings of one name: the rename refuses to replace the other file.
        rv::test::TempWorkdir twice;
        rv::write_members(2, {{"Ann", "a"}});
        putFile(QStringLiteral("grp1.dat"), memberRecord("Bob", "b") + memberRecord("XXX", "XXX"));
        putFile(QStringLiteral("GRP1.DAT"), memberRecord("Cat", "c") + memberRecord("XXX", "XXX"));
        QVERIFY_THROWS_EXCEPTION(rv::FileError, rv::remove_group_files(1, 2));
        QCOMPARE(rv::read_members(2), QList<GroupMember>({{"Ann", "a"}}));
        QCOMPARE(rv::read_members(1), QList<GroupMember>({{"Bob", "b"}}));
    }
};

QTEST_MAIN(GroupFilesTest)
#include "group_files_test.moc"
