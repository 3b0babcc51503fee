#include "groups/group_files.h"
#include "support/file_size_limit.h"
#include "support/temp_workdir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTest>
#include <csignal>
#include <sys/file.h>
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

// Every entry of the working directory with its bytes.
using FolderState = QMap<QString, QByteArray>;
FolderState folderState() {
    FolderState state;
    for (const QString& name : workdirEntries())
        state.insert(name, fileBytes(name));
    return state;
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
        rv::write_group_index({"A", "B", "C", "D"});
        for (int n = 0; n <= 3; ++n)
            rv::write_members(n, {{QStringLiteral("m%1").arg(n), QStringLiteral("id%1").arg(n)}});
        rv::write_members(5, {{"stray", "s"}});
        const QByteArray grp0 = fileBytes(QStringLiteral("GRP0.DAT"));
        const QByteArray grp2 = fileBytes(QStringLiteral("GRP2.DAT"));
        const QByteArray grp3 = fileBytes(QStringLiteral("GRP3.DAT"));
        const QByteArray grp5 = fileBytes(QStringLiteral("GRP5.DAT"));

        rv::remove_group_files(1, {"A", "B", "C", "D"});
        QCOMPARE(workdirEntries(),
                 QStringList({"GRP0.DAT", "GRP1.DAT", "GRP2.DAT", "GRP5.DAT", "Rotalist.dat"}));
        QCOMPARE(rv::read_group_index(), QStringList({"A", "C", "D"}));
        QCOMPARE(fileBytes(QStringLiteral("GRP0.DAT")), grp0);
        QCOMPARE(fileBytes(QStringLiteral("GRP1.DAT")), grp2);
        QCOMPARE(fileBytes(QStringLiteral("GRP2.DAT")), grp3);
        QCOMPARE(fileBytes(QStringLiteral("GRP5.DAT")), grp5);

        // A group without a member file leaves a gap that the later files close.
        rv::test::TempWorkdir gap;
        rv::write_members(0, {{"a", "1"}});
        rv::write_members(3, {{"d", "4"}});
        rv::remove_group_files(1, {"A", "B", "C", "D"});
        QCOMPARE(workdirEntries(), QStringList({"GRP0.DAT", "GRP2.DAT", "Rotalist.dat"}));
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

        rv::remove_group_files(1, {"Sales", "Old", "Bea"});
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

        // Record numbers past what 16 bits count, read where they stand (the file has holes).
        QFile big(QStringLiteral("GRP3.DAT"));
        QVERIFY(big.open(QIODevice::WriteOnly));
        for (const int record : {32767, 32768, 40000}) {
            QVERIFY(big.seek(qint64(record - 1) * 1932));
            big.write(memberRecord("Who", QByteArray::number(record)));
        }
        big.close();
        for (const int record : {32767, 32768, 40000})
            QCOMPARE(rv::member_id_at(3, record, true), QString::number(record));
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
            rv::workdir::setChangeHook({});
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
        try {
            rv::remove_group_files(1, groups);
            QFAIL("the removal reported success");
        } catch (const rv::FileError& error) {
            QVERIFY2(error.message().contains(QStringLiteral("GRP4.DAT.moving")) &&
                         error.message().contains(QStringLiteral("was not removed")),
                     qPrintable(error.message()));
        }
        QCOMPARE(folderState(), before);
        QCOMPARE(rv::read_group_index(), groups);

        // A folder in the way of a saved file: the save fails and says which file.
        rv::test::TempWorkdir other;
        QVERIFY(QDir().mkpath(QStringLiteral("GRP1.DAT/inside")));
        try {
            rv::write_members(1, {{"Ann", "a"}});
            QFAIL("the save reported success");
        } catch (const rv::FileError& error) {
            QVERIFY2(error.message().contains(QStringLiteral("GRP1.DAT")),
                     qPrintable(error.message()));
        }
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
            expected = indexRecord("Sales", 0, 0) + indexRecord("XXX", 0x0F, 0x27);
            QCOMPARE(rv::read_group_index(), QStringList({"Sales"}));
        } else {
            rv::write_members(0, {{"Ann", "a"}});
            expected = memberRecord("Ann", "a") + memberRecord("XXX", "XXX");
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
