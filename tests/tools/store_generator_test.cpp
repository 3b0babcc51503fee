#include "calendar/connection/calendar_connection.h"
#include "calendar/person_calendar.h"
#include "calendar/service_profile.h"
#include "groups/group_files.h"
#include "support/recording_desktop.h"
#include "support/scripted_prompts.h"
#include "support/temp_workdir.h"
#include "tools/store_generator.h"

#include <QDirIterator>
#include <QTemporaryDir>
#include <QtTest>

using namespace rv;
using namespace rv::bench;

namespace {

// Every file under folder, by relative path.
QMap<QString, QByteArray> filesUnder(const QString& folder) {
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        if (file.open(QIODevice::ReadOnly))
            files.insert(QDir(folder).relativeFilePath(file.fileName()), file.readAll());
    }
    return files;
}

StoreOptions smallStore() {
    StoreOptions options;
    options.people = 12;
    options.eventsPerPerson = 100;
    options.seed = 7;
    options.today = QDate(2026, 3, 18);
    return options;
}

} // namespace

class StoreGeneratorTest : public QObject {
    Q_OBJECT

private slots:
    // The same options give the same bytes; another seed gives other calendars.
    void sameOptionsGiveSameBytes() {
        QTemporaryDir first, second, otherSeed;
        StoreOptions options = smallStore();
        writeStore(first.path(), options);
        writeStore(second.path(), options);
        const QMap<QString, QByteArray> files = filesUnder(first.path());
        QVERIFY(files.contains(QStringLiteral("store/people.vcf")));
        QVERIFY(files == filesUnder(second.path()));
        options.seed = 8;
        writeStore(otherSeed.path(), options);
        QVERIFY(filesUnder(otherSeed.path()).value("store/calendars/alice.ics") !=
                files.value("store/calendars/alice.ics"));
    }

    // The program opens the generated store through its profile (its folders relative to the
    // profile, not the current folder) and finds every demo person in the groups, by identifier
    // and by user name; the former member no longer resolves, the unshared calendar is denied.
    void storeOpensAndGroupMembersResolve() {
        test::TempWorkdir workdir;
        const StorePlan plan = writeStore(workdir.path(), smallStore());
        QCOMPARE(read_group_index(), (QStringList{"Design", "Support"}));
        const QList<QList<GroupMember>> groups{read_members(0), read_members(1)};
        test::TempWorkdir elsewhere;
        test::ScriptedPrompts prompts;
        test::RecordingDesktop desktop;
        auto application = openCalendarApplication(
            readServiceProfile(workdir.file(QStringLiteral("calendar-service.ini"))),
            {prompts, desktop});
        auto ns = application->GetNamespace(QStringLiteral("MAPI"));
        QSet<QString> resolved;
        for (int g = 0; g < 2; ++g) {
            QVERIFY(groups[g] == plan.groups[g].members);
            for (const GroupMember& member : groups[g]) {
                const PersonCalendar calendar = openPersonCalendar(*ns, member.id);
                if (member.name == plan.formerMember.displayName) {
                    QCOMPARE(calendar.outcome, PersonCalendar::Outcome::NotResolved);
                    continue;
                }
                QCOMPARE(calendar.recipient->Name(), member.name);
                QCOMPARE(calendar.recipient->EntryID(), member.id);
                resolved << member.name;
            }
        }
        QCOMPARE(resolved.size(), plan.people.size());
        for (const StorePerson& p : plan.people)
            QCOMPARE(openPersonCalendar(*ns, p.user, PersonLookUp::ByNameWhenShort).outcome,
                     p.user == plan.unsharedUser ? PersonCalendar::Outcome::Denied
                                                 : PersonCalendar::Outcome::Opened);
    }

    // A folder that already holds something is never overwritten.
    void workspaceIsNeverOverwritten() {
        QTemporaryDir parent;
        const QString folder = parent.filePath(QStringLiteral("demo"));
        createWorkspace(folder, smallStore());
        QVERIFY(QFile::remove(folder + QStringLiteral("/GRP1.DAT")));
        const QMap<QString, QByteArray> before = filesUnder(folder);
        QVERIFY_THROWS_EXCEPTION(WorkspaceExists, createWorkspace(folder, smallStore()));
        QVERIFY(filesUnder(folder) == before);
    }
};

QTEST_MAIN(StoreGeneratorTest)
#include "store_generator_test.moc"
