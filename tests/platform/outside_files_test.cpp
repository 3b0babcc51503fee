// Every file the program reads from outside - the group files, the local store's address book,
// readers lists and calendars, ~/.netrc, the settings file - is refused with a message naming it
// unless it is a regular file of a sane size: a FIFO or a device in its place never makes the
// program wait (a test that hangs here is stopped by the suite's time-out), and a file of
// gigabytes is never read into memory.

#include "calendar/caldav/netrc.h"
#include "calendar/day_query.h"
#include "groups/group_files.h"
#include "platform/qsettings_store.h"
#include "support/local_store_fixture.h"
#include "support/temp_workdir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

using namespace rv;

namespace {

// Puts something that is not a regular file at path: a FIFO nobody writes to, a link to the
// endless /dev/zero, a folder, or a file of 3 GB with nothing written in it.
void putInPlace(const QString& kind, const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    if (kind == QLatin1String("FIFO")) {
        QCOMPARE(::mkfifo(native.constData(), 0600), 0);
    } else if (kind == QLatin1String("/dev/zero link")) {
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
    } else if (kind == QLatin1String("folder")) {
        QVERIFY(QDir().mkpath(path + QStringLiteral("/inside")));
    } else {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(qint64(3) << 30));
        file.close();
        QCOMPARE(::chmod(native.constData(), 0600), 0);
    }
}

// What the program makes of the file: the message it throws or tells.
QString readingOf(const QString& file, test::LocalStoreFixture& store) {
    try {
        if (file == QLatin1String("Rotalist.dat")) {
            read_group_index();
        } else if (file == QLatin1String("GRP0.DAT")) {
            read_members(0);
        } else if (file == QLatin1String("people.vcf")) {
            store.openNamespace()->CreateRecipient(QStringLiteral("alice"))->Resolve();
        } else if (file == QLatin1String("bob.readers")) {
            auto ns = store.openNamespace();
            auto bob = ns->CreateRecipient(QStringLiteral("bob"));
            bob->Resolve();
            ns->GetSharedDefaultFolder(*bob, kFolderCalendar);
        } else if (file == QLatin1String("alice.ics")) {
            auto ns = store.openNamespace();
            auto alice = ns->CreateRecipient(QStringLiteral("alice"));
            alice->Resolve();
            auto folder = ns->GetSharedDefaultFolder(*alice, kFolderCalendar);
            const DayQueryResult day = query_day(*folder, 1, 3, 2021);
            return day.failure ? day.failure->message() : QStringLiteral("read");
        } else if (file == QLatin1String(".netrc")) {
            caldav::netrcPassword(QDir::current().filePath(file), QStringLiteral("cal.example.org"),
                                  QStringLiteral("alice"));
        } else if (file == QLatin1String("Vantrel.ini")) {
            QSettingsStore settings;
            QStringList told;
            settings.setFailureListener([&](const QString& message) { told << message; });
            if (settings.GetSetting(QStringLiteral("Color"), QStringLiteral("Weekend"),
                                    QStringLiteral("none")) != QLatin1String("none"))
                return QStringLiteral("read");
            settings.SaveSetting(QStringLiteral("Settings"), QStringLiteral("Month"),
                                 QStringLiteral("3"));
            return told.join(QLatin1Char('|'));
        }
    } catch (const Error& error) {
        return error.message();
    }
    return QStringLiteral("read");
}

QString placeOf(const QString& file, const test::LocalStoreFixture& store) {
    if (file == QLatin1String("people.vcf"))
        return store.folder() + QLatin1Char('/') + file;
    if (file.endsWith(QLatin1String(".readers")) || file.endsWith(QLatin1String(".ics")))
        return store.folder() + QStringLiteral("/calendars/") + file;
    if (file == QLatin1String("Vantrel.ini"))
        return QSettingsStore::filePath();
    return QDir::current().filePath(file);
}

} // namespace

class OutsideFilesTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        // The settings file in a folder of the test's own.
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config_.path()));
    }

    // Each outside file, as each kind of file that is no regular file of a sane size.
    void refusedUnlessRegular_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("kind");
        for (const char* file : {"Rotalist.dat", "GRP0.DAT", "people.vcf", "bob.readers",
                                 "alice.ics", ".netrc", "Vantrel.ini"})
            for (const char* kind : {"FIFO", "/dev/zero link", "folder", "3 GB file"})
                QTest::addRow("%s as a %s", file, kind)
                    << QString::fromLatin1(file) << QString::fromLatin1(kind);
    }

    void refusedUnlessRegular() {
        QFETCH(QString, file);
        QFETCH(QString, kind);
        test::TempWorkdir workdir;
        test::LocalStoreFixture store(QStringLiteral("alice"));
        store.addPerson(QStringLiteral("alice"), QStringLiteral("Alice Archer"));
        store.addPerson(QStringLiteral("bob"), QStringLiteral("Bob Baker"));
        store.setEvents(QStringLiteral("alice"), {});
        store.setEvents(QStringLiteral("bob"), {});
        write_group_index({QStringLiteral("Team")});
        QFile::remove(placeOf(file, store));
        QDir(config_.path()).removeRecursively();
        putInPlace(kind, placeOf(file, store));

        const QString message = readingOf(file, store);
        QVERIFY2(message.contains(file) && message != QLatin1String("read"), qPrintable(message));

        // A group file that cannot be read is not saved over either.
        if (file == QLatin1String("Rotalist.dat"))
            QVERIFY_THROWS_EXCEPTION(FileError, write_group_index({QStringLiteral("Other")}));
        if (file == QLatin1String("GRP0.DAT"))
            QVERIFY_THROWS_EXCEPTION(FileError, write_members(0, {}));
        if (kind == QLatin1String("3 GB file"))
            QCOMPARE(QFileInfo(placeOf(file, store)).size(), qint64(3) << 30);
    }

    // Settings that cannot be stored are told once, not at every choice, and again only after a
    // store has worked in between.
    void unstorableSettingsAreToldOnce() {
        QDir(config_.path()).removeRecursively();
        // A file where the settings folder would go: nothing can be written into it.
        const QString configHome = QFileInfo(QSettingsStore::filePath()).path();
        QVERIFY(QDir().mkpath(QFileInfo(configHome).path()));
        {
            QFile blocker(configHome);
            QVERIFY(blocker.open(QIODevice::WriteOnly));
        }
        QSettingsStore settings;
        QStringList told;
        settings.setFailureListener([&](const QString& message) { told << message; });
        for (const char* month : {"3", "4", "5"})
            settings.SaveSetting(QStringLiteral("Settings"), QStringLiteral("Month"),
                                 QString::fromLatin1(month));
        QCOMPARE(told.size(), 1);
        QVERIFY2(told.first().contains(QStringLiteral("Vantrel.ini")), qPrintable(told.first()));

        QVERIFY(QFile::remove(configHome));
        settings.SaveSetting(QStringLiteral("Settings"), QStringLiteral("Month"),
                             QStringLiteral("6"));
        QCOMPARE(settings.GetSetting(QStringLiteral("Settings"), QStringLiteral("Month"),
                                     QStringLiteral("99")),
                 QStringLiteral("6"));
        QCOMPARE(told.size(), 1);
    }

private:
    QTemporaryDir config_;
};

QTEST_MAIN(OutsideFilesTest)
#include "outside_files_test.moc"
