// The local calendar store behind the calendar-service seam: address book, access, entry
// identifiers, and calendars read from files that change under it.

#include "calendar/connection/calendar_connection.h"
#include "calendar/day_query.h"
#include "calendar/ical/entry_id.h"
#include "calendar/local/calendar_file_cache.h"
#include "calendar/person_calendar.h"
#include "calendar/service_profile.h"
#include "support/data_files.h"
#include "support/recording_desktop.h"
#include "support/scripted_prompts.h"
#include "tools/store_generator.h"

#include <QCryptographicHash>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

using namespace rv;

namespace {

// tests/data/local/people.vcf is written by hand the way a team would: folded lines, a group
// prefix, properties this program does not use, a card without a UID.
const QByteArray kPeople = test::dataFile(QStringLiteral("local/people.vcf"));

QByteArray oneEvent(const QByteArray& start, const QByteArray& end, const QByteArray& subject) {
    return "BEGIN:VEVENT\r\nUID:" + subject + "\r\nSUMMARY:" + subject + "\r\nDTSTART:" + start +
           "\r\nDTEND:" + end + "\r\nEND:VEVENT\r\n";
}

QByteArray calendarOf(const QByteArray& events) {
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Rotaview tests//EN\r\n" + events +
           "END:VCALENDAR\r\n";
}

const QByteArray kMeeting = oneEvent("19980305T090000", "19980305T100000", "Meeting");

class Store {
public:
    Store() { QDir(dir.path()).mkpath(QStringLiteral("calendars")); }

    void write(const QString& name, const QByteArray& text) {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }

    std::shared_ptr<CalendarNamespace> open(const QString& user, const QString& folder = {}) {
        ServiceProfile profile;
        profile.backend = QStringLiteral("local");
        profile.folder = folder.isEmpty() ? dir.path() : folder;
        profile.user = user;
        application = openCalendarApplication(profile, CalendarServiceContext{prompts, desktop});
        return application->GetNamespace(QStringLiteral("MAPI"));
    }

    QTemporaryDir dir;
    test::ScriptedPrompts prompts;
    test::RecordingDesktop desktop;
    std::unique_ptr<CalendarApplication> application;
};

std::uint32_t openFailure(CalendarNamespace& ns, const QString& name, int kind = kFolderCalendar) {
    auto recipient = ns.CreateRecipient(name);
    recipient->Resolve();
    try {
        ns.GetSharedDefaultFolder(*recipient, kind);
    } catch (const CalendarError& error) {
        return error.code();
    }
    return 0;
}

// Every day of a month of every person, as a build reads them.
QStringList monthOfEveryone(CalendarNamespace& ns, const QStringList& ids, int month, int year) {
    QStringList out;
    for (const QString& id : ids) {
        const PersonCalendar person = openPersonCalendar(ns, id);
        out << QStringLiteral("person %1").arg(int(person.outcome));
        if (!person.opened())
            continue;
        for (int day = 1; day <= QDate(year, month, 1).daysInMonth(); ++day)
            for (const auto& item : query_day(*person.folder, day, month, year).items)
                out << QStringLiteral("%1 %2-%3 %4")
                           .arg(day)
                           .arg(item->Start().toString(Qt::ISODate),
                                item->End().toString(Qt::ISODate), item->Subject());
    }
    return out;
}

// A cache file's bytes after a change, with its checksum made right again.
QByteArray withChecksum(QByteArray bytes) {
    bytes.chop(20);
    return bytes + QCryptographicHash::hash(bytes, QCryptographicHash::Sha1);
}

QStringList subjectsOn(CalendarFolder& folder, int day, int month, int year) {
    DayQueryResult result = query_day(folder, day, month, year);
    QStringList out;
    if (result.failure)
        out << QStringLiteral("failed %1").arg(result.failure->code(), 0, 16);
    for (const auto& item : result.items)
        out << item->Subject();
    return out;
}

} // namespace

class LocalStoreTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        qputenv("TZ", "Europe/Berlin");
        tzset();
    }

    // A typed name finds the one person whose display name, e-mail or user name it equals, or
    // whose display name or e-mail alone begins with it, case ignored either way.
    void resolvesByTheAddressBookRule_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("found"); // empty: nobody
        test::addDataRows(QStringLiteral("local/names.tsv"));
    }

    void resolvesByTheAddressBookRule() {
        QFETCH(QString, typed);
        QFETCH(QString, found);
        Store store;
        store.write("people.vcf", kPeople);
        auto r = store.open("dave")->CreateRecipient(typed);
        QCOMPARE(r->Resolve(), !found.isEmpty());
        QCOMPARE(r->Resolved(), !found.isEmpty());
        if (!found.isEmpty())
            QCOMPARE(r->Name(), found);
        else
            QVERIFY(r->EntryID().isEmpty());
    }

    // Without an address book nobody resolves and nothing fails; without a store folder the
    // service still opens and every calendar is missing.
    void missingAddressBookOrStore() {
        Store empty;
        QVERIFY(!empty.open("dave")->CreateRecipient("Alice Archer")->Resolve());
        auto ns = empty.open("dave", empty.dir.filePath("no/such/store"));
        QVERIFY(!ns->CreateRecipient("dave")->Resolve());
        QCOMPARE(openFailure(*ns, "dave"), calendar_error::CalendarDenied);
    }

    // A person's entry identifier is long upper-case text that gives the person back in every
    // run; text that is no identifier is refused, and one of somebody gone resolves to nobody.
    void entryIdsRoundTrip() {
        Store store;
        store.write("people.vcf", kPeople);
        auto ns = store.open("dave");
        auto alice = ns->CreateRecipient("Alice Archer");
        QVERIFY(alice->Resolve());
        const QString id = alice->EntryID();
        QVERIFY(id.size() >= 151 && id.size() <= 200);
        QCOMPARE(id, id.toUpper());

        auto again = ns->GetRecipientFromID(id);
        QVERIFY(again->Resolve());
        QVERIFY(again->Resolved());
        QCOMPARE(again->Name(), QStringLiteral("Alice Archer"));
        QCOMPARE(again->EntryID(), id);
        // Stable across runs: a new service over the same store gives the same identifier.
        auto ns2 = store.open("carol");
        auto alice2 = ns2->CreateRecipient("alice@example.org");
        QVERIFY(alice2->Resolve());
        QCOMPARE(alice2->EntryID(), id);

        for (const QString& bad :
             {QStringLiteral("XXX"), QString(), QStringLiteral("0123"),
              QString(160, QLatin1Char('F')), QStringLiteral("Alice Archer")}) {
            try {
                ns2->GetRecipientFromID(bad);
                QFAIL(qPrintable("accepted " + bad));
            } catch (const CalendarError& error) {
                QCOMPARE(error.code(), calendar_error::UnknownEntry);
            }
        }

        // Alice leaves the address book: her identifier gives a recipient that does not resolve.
        QByteArray withoutAlice = kPeople;
        withoutAlice.remove(0, withoutAlice.indexOf("BEGIN:VCARD", 10));
        store.write("people.vcf", withoutAlice);
        auto gone = ns2->GetRecipientFromID(id);
        QVERIFY(!gone->Resolved());
        QVERIFY(!gone->Resolve());
        QCOMPARE(openFailure(*ns2, "Alice Archer"), calendar_error::CalendarDenied);
    }

    // A calendar opens for its owner and for whom its readers list names (by user name or e-mail,
    // "*" for everyone, no list for everyone); others, and a missing or unreadable file, are
    // denied.
    void accessFollowsTheReaderLists() {
        Store store;
        store.write("people.vcf", kPeople);
        const QByteArray ics = calendarOf(kMeeting);
        for (const char* user : {"alice", "bob", "bobby", "carol", "dave"})
            store.write(QStringLiteral("calendars/%1.ics").arg(user), ics);
        store.write("calendars/bob.readers", "# the team leads\nalice\n\n  DAVE@example.org  \n");
        store.write("calendars/carol.readers", "alice\nbob@example.org\n");
        store.write("calendars/bobby.readers", "*\n");
        store.write("calendars/dave.readers", "alice\n");
        auto ns = store.open("Dave Dunn");

        QCOMPARE(openFailure(*ns, "alice"), 0u);        // no list: everyone
        QCOMPARE(openFailure(*ns, "Bob Baker"), 0u);    // named by e-mail
        QCOMPARE(openFailure(*ns, "Bobby Tables"), 0u); // "*"
        QCOMPARE(openFailure(*ns, "dave"), 0u);         // one's own calendar
        QCOMPARE(openFailure(*ns, "Carol Cole"), calendar_error::CalendarDenied);
        QCOMPARE(openFailure(*ns, "Zed"), calendar_error::CalendarDenied);
        QCOMPARE(openFailure(*ns, "alice", kFolderInbox), calendar_error::NotSupported);

        // Carol herself may read it, and so may Alice.
        QCOMPARE(openFailure(*store.open("carol"), "Carol Cole"), 0u);
        QCOMPARE(openFailure(*store.open("alice@example.org"), "Carol Cole"), 0u);

        // A calendar that is missing.
        QFile::remove(store.dir.filePath("calendars/alice.ics"));
        QCOMPARE(openFailure(*ns, "alice"), calendar_error::CalendarDenied);
        // A calendar whose file cannot be read (permissions do not bind the superuser).
        if (geteuid() != 0) {
            QFile::setPermissions(store.dir.filePath("calendars/bobby.ics"),
                                  QFileDevice::WriteOwner);
            QCOMPARE(openFailure(*ns, "Bobby Tables"), calendar_error::CalendarDenied);
        }

        // The inbox is the mail folder; the own calendar folder is the connected user's.
        auto inbox = ns->GetDefaultFolder(kFolderInbox);
        QVERIFY(inbox->Items()->Add(QStringLiteral("IPM.Note")) != nullptr);
        auto own = ns->GetDefaultFolder(kFolderCalendar);
        QCOMPARE(subjectsOn(*own, 5, 3, 1998), QStringList{"Meeting"});
    }

    // A calendar folder answers the items of each day, shows its file on the desktop, holds no
    // mail and refuses a filter it cannot read with its own code.
    void folderShowsItsFileAndAnswersDays() {
        Store store;
        store.write("people.vcf", kPeople);
        store.write("calendars/alice.ics",
                    calendarOf(kMeeting + oneEvent("19980305T140000", "19980305T150000", "Later") +
                               oneEvent("19980304T230000", "19980305T000000", "Evening")));
        auto ns = store.open("dave");
        auto alice = ns->CreateRecipient("alice");
        QVERIFY(alice->Resolve());
        auto folder = ns->GetSharedDefaultFolder(*alice, kFolderCalendar);
        QCOMPARE(subjectsOn(*folder, 5, 3, 1998), (QStringList{"Meeting", "Later"}));
        QCOMPARE(subjectsOn(*folder, 4, 3, 1998), QStringList{"Evening"});
        QCOMPARE(subjectsOn(*folder, 6, 3, 1998), QStringList{});

        folder->Display();
        QCOMPARE(store.desktop.openedUrls.size(), 1);
        QCOMPARE(store.desktop.openedUrls.first(),
                 QUrl::fromLocalFile(store.dir.filePath("calendars/alice.ics")));
        store.desktop.acceptUrls = false;
        QVERIFY_THROWS_EXCEPTION(CalendarError, folder->Display());

        // A calendar holds no mail.
        QVERIFY_THROWS_EXCEPTION(CalendarError, folder->Items()->Add(QStringLiteral("IPM.Note")));
        // A filter it cannot read fails with its own code; the day query counts the day empty.
        auto items = folder->Items();
        items->SetIncludeRecurrences(true);
        try {
            items->Find(QStringLiteral("[Start] >= 'tomorrow'"));
            QFAIL("a malformed filter was accepted");
        } catch (const CalendarError& error) {
            QCOMPARE(error.code(), calendar_error::BadFilter);
        }
    }

    // A calendar file that changes is read again at the next query; garbage answers nothing and a
    // removed file fails as a calendar that cannot be opened.
    void changedFilesAreSeenAtTheNextQuery() {
        Store store;
        store.write("people.vcf", kPeople);
        store.write("calendars/alice.ics", calendarOf(kMeeting));
        auto ns = store.open("dave");
        auto alice = ns->CreateRecipient("alice");
        QVERIFY(alice->Resolve());
        auto folder = ns->GetSharedDefaultFolder(*alice, kFolderCalendar);
        QCOMPARE(subjectsOn(*folder, 5, 3, 1998), QStringList{"Meeting"});

        store.write("calendars/alice.ics",
                    calendarOf(kMeeting + oneEvent("19980305T140000", "19980305T150000", "Added")));
        QCOMPARE(subjectsOn(*folder, 5, 3, 1998), (QStringList{"Meeting", "Added"}));

        // A garbage file: the folder still answers, with nothing.
        store.write("calendars/alice.ics", QByteArray("\x01\x02 this is not a calendar \xff"));
        QCOMPARE(subjectsOn(*folder, 5, 3, 1998), QStringList{});
        auto again = ns->GetSharedDefaultFolder(*alice, kFolderCalendar);
        QCOMPARE(subjectsOn(*again, 5, 3, 1998), QStringList{});

        // Removed: the query fails as a calendar that cannot be opened.
        QFile::remove(store.dir.filePath("calendars/alice.ics"));
        QCOMPARE(subjectsOn(*folder, 5, 3, 1998), QStringList{"failed 8004010f"});
    }

    // A calendar file replaced by another of the same size and modification time is read again:
    // one renamed over it (rsync -t) is another file, one written in place (cp -p) has another
    // change time.
    void sameSizeSameTimeReplacementIsSeen_data() {
        QTest::addColumn<bool>("inPlace");
        QTest::newRow("renamed over it (rsync -t)") << false;
        QTest::newRow("written in place (cp -p)") << true;
    }
    void sameSizeSameTimeReplacementIsSeen() {
        QFETCH(bool, inPlace);
        Store store;
        store.write("people.vcf", kPeople);
        store.write("calendars/alice.ics", calendarOf(kMeeting));
        const QString path = store.dir.filePath("calendars/alice.ics");
        const QByteArray native = QFile::encodeName(path);
        auto ns = store.open("dave");
        auto alice = ns->CreateRecipient("alice");
        QVERIFY(alice->Resolve());
        auto folder = ns->GetSharedDefaultFolder(*alice, kFolderCalendar);
        QCOMPARE(subjectsOn(*folder, 5, 3, 1998), QStringList{"Meeting"});

        struct stat first {};
        QCOMPARE(::stat(native.constData(), &first), 0);
        const timespec times[2] = {first.st_atim, first.st_mtim};
        const QByteArray other =
            calendarOf(oneEvent("19980305T090000", "19980305T100000", "Meetup!"));
        QCOMPARE(other.size(), calendarOf(kMeeting).size());
        if (inPlace) {
            // Until the clock the change time is taken from has moved on from the first write.
            struct stat now = first;
            for (int tries = 0; tries < 1000 && now.st_ctim.tv_sec == first.st_ctim.tv_sec &&
                                now.st_ctim.tv_nsec == first.st_ctim.tv_nsec;
                 ++tries) {
                QThread::msleep(1);
                store.write("calendars/alice.ics", other);
                QCOMPARE(::utimensat(AT_FDCWD, native.constData(), times, 0), 0);
                QCOMPARE(::stat(native.constData(), &now), 0);
            }
        } else {
            store.write("calendars/alice.ics.part", other);
            const QByteArray part = native + ".part";
            QCOMPARE(::utimensat(AT_FDCWD, part.constData(), times, 0), 0);
            QCOMPARE(::rename(part.constData(), native.constData()), 0);
        }
        struct stat second {};
        QCOMPARE(::stat(native.constData(), &second), 0);
        QCOMPARE(second.st_size, first.st_size);
        QCOMPARE(second.st_mtim.tv_sec, first.st_mtim.tv_sec);
        QCOMPARE(second.st_mtim.tv_nsec, first.st_mtim.tv_nsec);
        QCOMPARE(subjectsOn(*folder, 5, 3, 1998), QStringList{"Meetup!"});
    }

    // A month read once is kept on disk for the next run and used while the calendar keeps its
    // stamp; a changed calendar is read again, and a cache file that is damaged, cut short or of
    // another format or program version is ignored and written anew. Only the user can read it.
    void monthsAreKeptBetweenRuns_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QStringList>("subjects");
        QTest::addColumn<int>("parses");
        const QStringList meeting{"Meeting"};
        QTest::newRow("nothing changed") << "" << meeting << 0;
        QTest::newRow("calendar rewritten") << "calendar" << QStringList{"Meetup"} << 1;
        QTest::newRow("a byte damaged") << "damage" << meeting << 1;
        QTest::newRow("cut short") << "cut" << meeting << 1;
        QTest::newRow("empty") << "empty" << meeting << 1;
        QTest::newRow("another format") << "format" << meeting << 1;
        QTest::newRow("another program version") << "version" << meeting << 1;
    }
    void monthsAreKeptBetweenRuns() {
        QFETCH(QString, change);
        QFETCH(QStringList, subjects);
        QFETCH(int, parses);
        Store store;
        QTemporaryDir cacheHome;
        qputenv("XDG_CACHE_HOME", QFile::encodeName(cacheHome.path()));
        const auto disk = std::make_shared<const MonthCache>(MonthCache::defaultFolder());
        const QString path = store.dir.filePath("calendars/alice.ics");
        store.write("calendars/alice.ics", calendarOf(kMeeting));
        const int march = ExpandedCalendar::monthIndex(1998, 3);
        const auto monthSubjects = [&](CalendarFileCache& cache) {
            QStringList out;
            for (const Occurrence& o :
                 *cache.current(path)->occurrences(ExpandedCalendar::windowOfMonth(march)))
                out << o.subject;
            return out;
        };
        {
            CalendarFileCache firstRun(disk);
            QCOMPARE(monthSubjects(firstRun), QStringList{"Meeting"});
            QCOMPARE(firstRun.parseCount(), 1);
        }
        const QString file = disk->fileOf(path, march);
        struct stat status {};
        QCOMPARE(::stat(QFile::encodeName(file).constData(), &status), 0);
        QCOMPARE(status.st_mode & 0777, 0600u);
        for (const char* folder : {"Vantrel", "Vantrel/months"}) {
            QCOMPARE(::stat(QFile::encodeName(cacheHome.filePath(folder)).constData(), &status), 0);
            QCOMPARE(status.st_mode & 0777, 0700u);
        }

        QFile cached(file);
        QVERIFY(cached.open(QIODevice::ReadOnly));
        QByteArray bytes = cached.readAll();
        cached.close();
        if (change == "calendar") {
            store.write("calendars/alice.ics",
                        calendarOf(oneEvent("19980305T090000", "19980305T100000", "Meetup")));
        } else if (change == "damage") {
            bytes[bytes.size() / 2] = char(bytes[bytes.size() / 2] ^ 0x20);
        } else if (change == "cut") {
            bytes.truncate(bytes.size() / 2);
        } else if (change == "empty") {
            bytes.clear();
        } else if (change == "format" || change == "version") {
            // After the magic and the kind: the format number, then the version's length and text.
            const int at = change == "format" ? 15 : 20;
            bytes[at] = char(bytes[at] + 1);
            bytes = withChecksum(bytes);
        }
        if (change != "calendar" && !change.isEmpty()) {
            QVERIFY(cached.open(QIODevice::WriteOnly | QIODevice::Truncate));
            cached.write(bytes);
            cached.close();
        }

        CalendarFileCache secondRun(disk);
        QCOMPARE(monthSubjects(secondRun), subjects);
        QCOMPARE(secondRun.parseCount(), parses);
        // What was read again was written again.
        CalendarFileCache thirdRun(disk);
        QCOMPARE(monthSubjects(thirdRun), subjects);
        QCOMPARE(thirdRun.parseCount(), 0);
        qunsetenv("XDG_CACHE_HOME");
    }

    // Months read ahead on every core answer exactly as reading each person in turn does, also
    // when a calendar changes or goes after it was read ahead.
    void readAheadAnswersAsReadingInTurn_data() {
        QTest::addColumn<QString>("change");
        QTest::newRow("nothing changed") << "";
        QTest::newRow("a calendar rewritten after it was read ahead") << "rewritten";
        QTest::newRow("a calendar removed after it was read ahead") << "removed";
    }
    void readAheadAnswersAsReadingInTurn() {
        QFETCH(QString, change);
        QTemporaryDir workspace;
        bench::StoreOptions options;
        options.people = 8;
        options.eventsPerPerson = 300;
        options.today = QDate(2024, 3, 15);
        const bench::StorePlan plan = bench::writeStore(workspace.path(), options);
        QStringList ids;
        for (const bench::StorePerson& p : plan.people + QList{plan.formerMember})
            ids << makeEntryId(kLocalProviderTag, p.user);
        const auto open = [&] {
            ServiceProfile profile = readServiceProfile(
                QDir(workspace.path()).filePath(QStringLiteral("calendar-service.ini")));
            test::ScriptedPrompts prompts;
            test::RecordingDesktop desktop;
            return openCalendarApplication(profile, CalendarServiceContext{prompts, desktop});
        };
        QTemporaryDir aheadCache;
        qputenv("XDG_CACHE_HOME", QFile::encodeName(aheadCache.path()));
        auto ahead = open();
        auto aheadNs = ahead->GetNamespace(QStringLiteral("MAPI"));
        aheadNs->prefetchMonths(ids, 3, 2024);
        // Most likely read ahead by now: what changes is then seen over what was read.
        QThread::msleep(300);
        const QString second =
            QDir(workspace.path()).filePath("store/calendars/" + plan.people[1].user + ".ics");
        if (change == "rewritten") {
            QFile file(second);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(bench::calendarText(plan, 2));
        } else if (change == "removed") {
            QVERIFY(QFile::remove(second));
        }
        const QStringList readAhead = monthOfEveryone(*aheadNs, ids, 3, 2024);

        QTemporaryDir inTurnCache;
        qputenv("XDG_CACHE_HOME", QFile::encodeName(inTurnCache.path()));
        auto inTurn = open();
        QCOMPARE(readAhead,
                 monthOfEveryone(*inTurn->GetNamespace(QStringLiteral("MAPI")), ids, 3, 2024));
        QVERIFY(readAhead.size() > 200);
        qunsetenv("XDG_CACHE_HOME");
    }

    // An unchanged file is parsed once for all the days of a month, again for another month, and
    // again once its modification time moves.
    void unchangedFilesAreParsedOncePerMonth() {
        Store store;
        const QString path = store.dir.filePath("calendars/alice.ics");
        store.write("calendars/alice.ics", calendarOf(kMeeting));
        const auto wallDay = [](int y, int m, int d) {
            return QDate(1970, 1, 1).daysTo(QDate(y, m, d)) * 1440;
        };
        const TimeWindow march5{wallDay(1998, 3, 5), wallDay(1998, 3, 6) - 1};
        const TimeWindow april1{wallDay(1998, 4, 1), wallDay(1998, 4, 2) - 1};
        CalendarFileCache cache;
        auto first = cache.current(path);
        QCOMPARE(cache.parseCount(), 0);
        for (int i = 0; i < 31; ++i) {
            QCOMPARE(cache.current(path), first);
            QCOMPARE(int(cache.current(path)->occurrences(march5)->size()), 1);
        }
        QCOMPARE(cache.parseCount(), 1);
        // Only the expanded months are kept: another month reads the file again.
        QCOMPARE(int(first->occurrences(april1)->size()), 0);
        QCOMPARE(cache.parseCount(), 2);
        QCOMPARE(int(first->occurrences(march5)->size()), 1);
        QCOMPARE(cache.parseCount(), 2);
        std::filesystem::last_write_time(path.toStdString(),
                                         std::filesystem::file_time_type::clock::now() +
                                             std::chrono::seconds(10));
        QVERIFY(cache.current(path) != first);
        QCOMPARE(int(cache.current(path)->occurrences(march5)->size()), 1);
        QCOMPARE(cache.parseCount(), 3);
    }
};

QTEST_MAIN(LocalStoreTest)
#include "local_store_test.moc"
