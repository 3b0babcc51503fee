#include "tools/store_generator.h"
#include "calendar/day_query.h"
#include "groups/group_files.h"
#include "calendar/connection/calendar_connection.h"
#include "calendar/person_calendar.h"
#include "calendar/service_profile.h"
#include "support/recording_desktop.h"
#include "support/scripted_prompts.h"
#include "support/temp_workdir.h"

#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QtTest>

using namespace rv;
using namespace rv::bench;

namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every file under folder, by relative path.
QMap<QString, QByteArray> filesUnder(const QString& folder) {
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(QDir(folder).relativeFilePath(path), readAll(path));
    }
    return files;
}

StoreOptions smallStore() {
    StoreOptions options;
    options.people = 12;
    options.eventsPerPerson = 400;
    options.seed = 7;
    options.today = QDate(2026, 3, 18);
    options.monthsBefore = 6;
    options.monthsAfter = 6;
    return options;
}

struct Day {
    QDate date;
    std::vector<std::unique_ptr<AppointmentItem>> items;
};

std::vector<Day> monthOf(CalendarFolder& folder, int month, int year) {
    std::vector<Day> days;
    for (int d = 1; d <= QDate(year, month, 1).daysInMonth(); ++d) {
        DayQueryResult result = query_day(folder, d, month, year);
        if (result.failure)
            qWarning() << "day query failed:" << result.failure->message();
        days.push_back({QDate(year, month, d), std::move(result.items)});
    }
    return days;
}

} // namespace

class StoreGeneratorTest : public QObject {
    Q_OBJECT

private slots:
    void sameOptionsGiveSameBytes() {
        QTemporaryDir first, second, otherSeed, otherDate;
        const StoreOptions options = smallStore();
        writeStore(first.path(), options);
        writeStore(second.path(), options);
        const QMap<QString, QByteArray> files = filesUnder(first.path());
        QVERIFY(files.contains(QStringLiteral("Rotalist.dat")));
        QVERIFY(files.contains(QStringLiteral("GRP0.DAT")));
        QVERIFY(files.contains(QStringLiteral("GRP1.DAT")));
        QVERIFY(files.contains(QStringLiteral("calendar-service.ini")));
        QVERIFY(files.contains(QStringLiteral("store/people.vcf")));
        QCOMPARE(files.keys(), filesUnder(second.path()).keys());
        for (auto it = files.cbegin(); it != files.cend(); ++it)
            QVERIFY2(it.value() == readAll(second.filePath(it.key())), qPrintable(it.key()));

        // Every calendar holds the number of events asked for, masters and overrides included.
        const QStringList calendars =
            QDir(first.filePath(QStringLiteral("store/calendars"))).entryList({"*.ics"});
        QCOMPARE(calendars.size(), options.people);
        for (const QString& name : calendars)
            QCOMPARE(
                files.value(QStringLiteral("store/calendars/") + name).count("BEGIN:VEVENT\r\n"),
                options.eventsPerPerson);

        StoreOptions seeded = options;
        seeded.seed = 8;
        writeStore(otherSeed.path(), seeded);
        QVERIFY(readAll(otherSeed.filePath("store/calendars/alice.ics")) !=
                files.value("store/calendars/alice.ics"));
        StoreOptions moved = options;
        moved.today = options.today.addMonths(1);
        writeStore(otherDate.path(), moved);
        QVERIFY(readAll(otherDate.filePath("store/calendars/alice.ics")) !=
                files.value("store/calendars/alice.ics"));
    }

    void storeOpensAndGroupMembersResolve() {
        test::TempWorkdir workdir;
        const StoreOptions options = smallStore();
        const StorePlan plan = writeStore(workdir.path(), options);

        test::ScriptedPrompts prompts;
        test::RecordingDesktop desktop;
        const ServiceProfile profile = loadServiceProfile();
        QCOMPARE(profile.path, workdir.file(QStringLiteral("calendar-service.ini")));
        QCOMPARE(profile.user, plan.connectedUser);
        auto application = openCalendarApplication(profile, {prompts, desktop});
        auto ns = application->GetNamespace(QStringLiteral("MAPI"));
        QVERIFY(ns);

        QCOMPARE(read_group_index(),
                 (QStringList{QStringLiteral("Design"), QStringLiteral("Support")}));
        int resolved = 0;
        int unresolved = 0;
        for (int g = 0; g < 2; ++g) {
            const QList<GroupMember> members = read_members(g);
            QVERIFY(members == plan.groups[g].members);
            for (const GroupMember& member : members) {
                const PersonCalendar calendar = openPersonCalendar(*ns, member.id);
                const bool isFormer = member.name == plan.formerMember.displayName;
                if (isFormer) {
                    QCOMPARE(calendar.outcome, PersonCalendar::Outcome::NotResolved);
                    ++unresolved;
                    continue;
                }
                ++resolved;
                QVERIFY(calendar.recipient);
                QCOMPARE(calendar.recipient->Name(), member.name);
                QCOMPARE(calendar.recipient->EntryID(), member.id);
                const QString user = [&] {
                    for (const StorePerson& p : plan.people)
                        if (p.displayName == member.name)
                            return p.user;
                    return QString();
                }();
                // Shared with everyone, by "*", or by the connected user's e-mail address; the
                // unshared one is denied.
                QCOMPARE(calendar.outcome, user == plan.unsharedUser
                                               ? PersonCalendar::Outcome::Denied
                                               : PersonCalendar::Outcome::Opened);
            }
        }
        QCOMPARE(resolved, options.people);
        QCOMPARE(unresolved, 1);
    }

    void recurrencesExpandAroundTheDate() {
        QTemporaryDir dir;
        const StoreOptions options = smallStore();
        const StorePlan plan = writeStore(dir.path(), options);
        test::ScriptedPrompts prompts;
        test::RecordingDesktop desktop;
        auto application = openCalendarApplication(
            readServiceProfile(dir.filePath(QStringLiteral("calendar-service.ini"))),
            {prompts, desktop});
        auto ns = application->GetNamespace(QStringLiteral("MAPI"));

        const auto folderOf = [&](const QString& user) {
            const PersonCalendar calendar =
                openPersonCalendar(*ns, user, PersonLookUp::ByNameWhenShort);
            if (!calendar.opened())
                qFatal("%s has no calendar to read", qPrintable(user));
            return calendar.folder;
        };

        // The connected user's month: a stand-up at 09:15 on every working day, moved to 11:30
        // on one of them, none at weekends nor on a day away (all day, leave, a trip), and at
        // most two cancelled.
        const int month = options.today.month();
        const int year = options.today.year();
        const std::vector<Day> days = monthOf(*folderOf(plan.connectedUser), month, year);
        int standUps = 0;
        int movedStandUps = 0;
        int missing = 0;
        int sensitive[4] = {0, 0, 0, 0};
        int allDay = 0;
        for (const Day& day : days) {
            bool regular = false;
            bool moved = false;
            bool away = false;
            for (const auto& item : day.items) {
                if (item->Sensitivity() >= 0 && item->Sensitivity() <= 3)
                    ++sensitive[item->Sensitivity()];
                if (item->Start().secsTo(item->End()) >= 24 * 3600)
                    away = true;
                if (item->Start().time() == QTime(0, 0) && item->End().time() == QTime(0, 0))
                    ++allDay;
                if (item->Subject() == QLatin1String("Design stand-up")) {
                    QCOMPARE(item->Start().time(), QTime(9, 15));
                    QCOMPARE(item->Start().secsTo(item->End()), 15 * 60);
                    regular = true;
                }
                if (item->Subject() == QLatin1String("Design stand-up (moved)")) {
                    QCOMPARE(item->Start().time(), QTime(11, 30));
                    moved = true;
                }
            }
            QVERIFY2(!(regular && moved), qPrintable(day.date.toString()));
            if (day.date.dayOfWeek() > 5 || away)
                QVERIFY2(!regular, qPrintable(day.date.toString()));
            if (day.date.dayOfWeek() <= 5 && !away && !regular && !moved)
                ++missing;
            standUps += regular ? 1 : 0;
            movedStandUps += moved ? 1 : 0;
        }
        QCOMPARE(movedStandUps, 1);
        QVERIFY2(missing <= 2, qPrintable(QString::number(missing)));
        QVERIFY2(standUps >= 10, qPrintable(QString::number(standUps)));
        QVERIFY(allDay >= 1);
        QVERIFY(sensitive[0] > 0);

        // Private, confidential and personal items over the whole covered year.
        auto folder = folderOf(plan.connectedUser);
        for (QDate m = plan.firstDay; m <= plan.lastDay; m = m.addMonths(1))
            for (const Day& day : monthOf(*folder, m.month(), m.year()))
                for (const auto& item : day.items)
                    if (item->Sensitivity() >= 0 && item->Sensitivity() <= 3)
                        ++sensitive[item->Sensitivity()];
        QVERIFY(sensitive[1] > 0);
        QVERIFY(sensitive[2] > 0);
        QVERIFY(sensitive[3] > 0);

        // Someone in New York: the stand-up at 09:15 there, shown in the machine's time.
        const QString newYorker = [&] {
            for (const StorePerson& p : plan.people)
                if (p.timeZone == QLatin1String("America/New_York") && p.team == 0)
                    return p.user;
            return QString();
        }();
        QVERIFY(!newYorker.isEmpty());
        int zoned = 0;
        for (const Day& day : monthOf(*folderOf(newYorker), month, year))
            for (const auto& item : day.items)
                if (item->Subject() == QLatin1String("Design stand-up")) {
                    const QDateTime there =
                        item->Start().toTimeZone(QTimeZone(QByteArrayLiteral("America/New_York")));
                    QCOMPARE(there.time(), QTime(9, 15));
                    ++zoned;
                }
        QVERIFY(zoned >= 12);
    }

    void workspaceIsNeverOverwritten() {
        QTemporaryDir parent;
        const QString folder = parent.filePath(QStringLiteral("demo"));
        const StoreOptions options = smallStore();
        createWorkspace(folder, options);
        QVERIFY(QFile::exists(folder + QStringLiteral("/GRP0.DAT")));
        QVERIFY(!QFileInfo::exists(folder + QStringLiteral(".part")));

        // The user's own changes survive a second run, through the library and the tool.
        QFile profile(folder + QStringLiteral("/calendar-service.ini"));
        QVERIFY(profile.open(QIODevice::Append));
        profile.write("; changed by the user\n");
        profile.close();
        QVERIFY(QFile::remove(folder + QStringLiteral("/GRP1.DAT")));
        const QMap<QString, QByteArray> before = filesUnder(folder);
        QVERIFY_THROWS_EXCEPTION(WorkspaceExists, createWorkspace(folder, options));

        QTemporaryDir home;
        QProcess tool;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral(".config")));
        tool.setProcessEnvironment(env);
        const QString program = QStringLiteral(ROTAVIEW_BINARY_DIR "/bin/rotaview-demo-store");
        tool.start(program, {QStringLiteral("--default-group"), QStringLiteral("Design"), folder});
        QVERIFY(tool.waitForFinished(60000));
        QCOMPARE(tool.exitCode(), 3);
        QVERIFY(filesUnder(folder) == before);
        QVERIFY(!QFileInfo::exists(home.filePath(QStringLiteral(".config/Vantrel.ini"))));

        // An empty folder is taken; the board's starting group is set only where none is.
        const QString fresh = parent.filePath(QStringLiteral("fresh"));
        QVERIFY(QDir().mkpath(fresh));
        tool.start(program, {QStringLiteral("--people"), QStringLiteral("4"),
                             QStringLiteral("--events"), QStringLiteral("60"),
                             QStringLiteral("--default-group"), QStringLiteral("Design"), fresh});
        QVERIFY(tool.waitForFinished(60000));
        QCOMPARE(tool.exitCode(), 0);
        QVERIFY(QFile::exists(fresh + QStringLiteral("/Rotalist.dat")));
        const QString ini = home.filePath(QStringLiteral(".config/Vantrel.ini"));
        QCOMPARE(QSettings(ini, QSettings::IniFormat).value("Settings/DefaultGrp").toString(),
                 QStringLiteral("Design"));
        {
            QSettings settings(ini, QSettings::IniFormat);
            settings.setValue("Settings/DefaultGrp", QStringLiteral("Support"));
        }
        tool.start(program, {QStringLiteral("--default-group"), QStringLiteral("Design"),
                             parent.filePath(QStringLiteral("third"))});
        QVERIFY(tool.waitForFinished(60000));
        QCOMPARE(tool.exitCode(), 0);
        QCOMPARE(QSettings(ini, QSettings::IniFormat).value("Settings/DefaultGrp").toString(),
                 QStringLiteral("Support"));
    }
};

QTEST_MAIN(StoreGeneratorTest)
#include "store_generator_test.moc"
