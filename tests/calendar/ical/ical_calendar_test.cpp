// iCalendar reading and expansion, checked through the day query the board runs.

#include "calendar/day_query.h"
#include "calendar/ical/expanded_calendar.h"
#include "calendar/ical/ical_calendar.h"

#include "support/data_files.h"
#include "support/hostile_calendars.h"

#include <QTest>
#include <ctime>
#include <libical/ical.h>

using namespace rv;

namespace {

// A folder over one parsed calendar, the way every backend hands its items out.
class ExpandedFolder : public CalendarFolder {
public:
    explicit ExpandedFolder(const QByteArray& ics)
        : calendar_(std::make_shared<ExpandedCalendar>(IcalCalendar::parse(ics))) {}
    std::unique_ptr<CalendarItems> Items() override {
        return std::make_unique<OccurrenceItems>(calendar_);
    }
    void Display() override {}
    ExpandedCalendar& calendar() { return *calendar_; }

private:
    std::shared_ptr<ExpandedCalendar> calendar_;
};

QByteArray readData(const QString& name) {
    return test::dataFile(QStringLiteral("ical/") + name);
}

QStringList describe(CalendarFolder& folder, int day, int month, int year) {
    DayQueryResult result = query_day(folder, day, month, year);
    if (result.failure)
        return {QStringLiteral("failed: ") + result.failure->message()};
    QStringList out;
    for (const auto& item : result.items)
        out << QStringLiteral("%1 %2-%3")
                   .arg(item->Subject(), item->Start().toString(QStringLiteral("dd/MM hh:mm")),
                        item->End().toString(QStringLiteral("dd/MM hh:mm")));
    return out;
}

// Minutes since 1970 on the wall clock of a time written "yyyy-MM-ddTHH:mm".
qint64 wallMinuteOf(const QString& text) {
    const QDateTime t = QDateTime::fromString(text, Qt::ISODate);
    return QDate(1970, 1, 1).daysTo(t.date()) * 1440 + t.time().hour() * 60 + t.time().minute();
}

QString itemLine(const QString& start, const QString& end, const QString& subject, qint64 minutes) {
    return QStringLiteral("%1 %2 %3 (%4 min)").arg(start, end, subject).arg(minutes);
}

} // namespace

class IcalCalendarTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        qputenv("TZ", "Europe/Berlin");
        tzset();
    }

    // Every day of a month shows exactly the occurrences of the calendar that touch it, with their
    // times in local time and their real length, as the calendar's author meant them: revisions
    // and versions of overrides read newest only, THISANDFUTURE, excluded overrides, Windows zone
    // names, RDATE periods, several rules, ends before starts, days the clocks change, and files
    // other calendar programs wrote.
    void dayItemsAsExpected_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QDate>("month");
        QTest::addColumn<QStringList>("occurrences"); // start, end, subject, minutes
        QList<std::tuple<QString, QDate, QStringList>> rows;
        for (const QStringList& f : test::dataTable(QStringLiteral("ical/expected.tsv"))) {
            QCOMPARE(f.size(), 7);
            const QDate month(f[1].toInt(), f[2].toInt(), 1);
            if (rows.isEmpty() || std::get<0>(rows.last()) != f[0] ||
                std::get<1>(rows.last()) != month)
                rows.append({f[0], month, {}});
            std::get<2>(rows.last()) << f.mid(3).join(QLatin1Char('\t'));
        }
        for (const auto& [file, month, occurrences] : rows)
            QTest::addRow("%s %s", qPrintable(file),
                          qPrintable(month.toString(QStringLiteral("yyyy-MM"))))
                << file << month << occurrences;
    }

    void dayItemsAsExpected() {
        QFETCH(QString, file);
        QFETCH(QDate, month);
        QFETCH(QStringList, occurrences);
        ExpandedFolder folder(readData(file));
        const QString format = QStringLiteral("yyyy-MM-ddThh:mm");
        QStringList found;
        QStringList expected;
        for (QDate day = month; day.month() == month.month(); day = day.addDays(1)) {
            const QString prefix = day.toString(Qt::ISODate) + QStringLiteral(": ");
            DayQueryResult result = query_day(folder, day.day(), day.month(), day.year());
            QVERIFY(!result.failure);
            for (const auto& item : result.items)
                found << prefix + itemLine(item->Start().toString(format),
                                           item->End().toString(format), item->Subject(),
                                           item->Start().secsTo(item->End()) / 60);
            // The day filter: starting within the day, or running into it from before.
            const qint64 first = QDate(1970, 1, 1).daysTo(day) * 1440;
            for (const QString& occurrence : occurrences) {
                const QStringList f = occurrence.split(QLatin1Char('\t'));
                const qint64 start = wallMinuteOf(f[0]);
                if ((start >= first && start <= first + 1439) ||
                    (start <= first && wallMinuteOf(f[1]) >= first + 1))
                    expected << prefix + itemLine(f[0], f[1], f[2], f[3].toLongLong());
            }
        }
        QCOMPARE(found, expected);
    }

    // A month is expanded once for all its days; without recurrences a series is one item, at its
    // first occurrence.
    void monthExpandedOnceAndSeriesAsOneItem() {
        ExpandedFolder folder(readData(QStringLiteral("moved_and_cancelled.ics")));
        for (int day = 1; day <= 31; ++day)
            query_day(folder, day, 3, 1998);
        QCOMPARE(folder.calendar().expandedMonths(), 1);

        auto items = folder.Items();
        items->SetIncludeRecurrences(false);
        QStringList series;
        for (auto item = items->Find(QStringLiteral("[Subject] = 'team'")); item;
             item = items->FindNext())
            series << item->Start().toString(QStringLiteral("dd/MM hh:mm"));
        QCOMPARE(series, QStringList{"02/03 14:00"});
    }

    // Recurrence rules, worked out on the calendar's arithmetic from the window asked for, give
    // the starts libical's own iterator gives walking them from the series' first start.
    void rulesGiveWhatLibicalGives_data() {
        QTest::addColumn<QByteArray>("rule");
        QTest::addColumn<QByteArray>("start");
        for (const QStringList& f : test::dataTable(QStringLiteral("ical/rules.tsv"))) {
            QCOMPARE(f.size(), 2);
            QTest::addRow("%s from %s", qPrintable(f[0]), qPrintable(f[1]))
                << f[0].toLatin1() << f[1].toLatin1();
        }
    }

    void rulesGiveWhatLibicalGives() {
        QFETCH(QByteArray, rule);
        QFETCH(QByteArray, start);
        const QDate first(1998, 1, 1);
        const QDate last(2001, 12, 31);
        const qint64 firstMinute = QDate(1970, 1, 1).daysTo(first) * 1440;
        const qint64 lastMinute = QDate(1970, 1, 1).daysTo(last) * 1440 + 1439;
        const bool allDay = !start.contains('T');
        const QByteArray end = allDay ? QByteArray() : "\r\nDURATION:PT15M";
        const auto calendar = IcalCalendar::parse(
            "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nUID:r\r\nSUMMARY:r\r\nDTSTART" +
            QByteArray(allDay ? ";VALUE=DATE:" : ":") + start + end + "\r\nRRULE:" + rule +
            "\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n");
        QList<qint64> ours;
        for (const Occurrence& o : calendar->expand(firstMinute, lastMinute))
            if (o.startMinute >= firstMinute)
                ours << o.startMinute;

        // Floating times: libical's wall clock is the local one.
        QList<qint64> libicals;
        icalrecur_iterator* it = icalrecur_iterator_new(icalrecurrencetype_from_string(rule),
                                                        icaltime_from_string(start.constData()));
        QVERIFY(it);
        for (icaltimetype t = icalrecur_iterator_next(it); !icaltime_is_null_time(t);
             t = icalrecur_iterator_next(it)) {
            const qint64 minute = QDate(1970, 1, 1).daysTo(QDate(t.year, t.month, t.day)) * 1440 +
                                  (t.is_date ? 0 : t.hour * 60 + t.minute);
            if (minute > lastMinute)
                break;
            if (minute >= firstMinute)
                libicals << minute;
        }
        icalrecur_iterator_free(it);
        QVERIFY(!libicals.isEmpty());
        QCOMPARE(ours, libicals);
    }

    // A series repeating within the day is expanded from the month asked for and gives the times
    // walking it from its first start gives: the same six-hourly series from 1990 without COUNT
    // (expanded from the window) and with one (walked from 1990) agree.
    void subDailySeriesStartAtTheWindow() {
        ExpandedFolder folder(readData(QStringLiteral("six_hourly_since_1990.ics")));
        for (const int day : {5, 28, 29, 30}) {
            const QStringList found = describe(folder, day, 3, 1998);
            QVERIFY2(found.size() >= 6 && found.size() % 2 == 0,
                     qPrintable(found.join(QLatin1Char('|'))));
            for (int i = 0; i < found.size(); i += 2)
                QCOMPARE(found[i], found[i + 1]);
        }
        QCOMPARE(describe(folder, 5, 3, 1998),
                 QStringList({"Watch 05/03 02:00-05/03 03:00", "Watch 05/03 02:00-05/03 03:00",
                              "Watch 05/03 08:00-05/03 09:00", "Watch 05/03 08:00-05/03 09:00",
                              "Watch 05/03 14:00-05/03 15:00", "Watch 05/03 14:00-05/03 15:00",
                              "Watch 05/03 20:00-05/03 21:00", "Watch 05/03 20:00-05/03 21:00"}));
    }

    // Sensitivity comes from CLASS and the categories calendar programs use for it, and the
    // subject of a personal, private or confidential item is masked.
    void sensitivityFromClassAndCategories() {
        ExpandedFolder folder(readData(QStringLiteral("sensitivity.ics")));
        DayQueryResult result = query_day(folder, 5, 3, 1998);
        QCOMPARE(result.items.size(), size_t(6));
        QList<int> sensitivities;
        QStringList shown;
        for (const auto& item : result.items) {
            sensitivities << item->Sensitivity();
            shown << mask_subject(*item);
        }
        QCOMPARE(sensitivities, (QList<int>{0, 0, 1, 1, 2, 3}));
        QCOMPARE(shown,
                 (QStringList{"Open", "Public", "Personal Appointment", "Personal Appointment",
                              "Private Appointment", "Confidential Appointment"}));
    }

    // Hostile calendars are read in bounded work, and the rest of each calendar is intact:
    // nesting past what the parser takes, zones changing every minute or never, rules no date
    // satisfies, counts past what libical holds, series repeating every second, excluded and extra
    // dates by the hundred thousand, a series changed thousands of times. The day shows exactly
    // these items.
    void hostileCalendarsAnswered_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("day");
        QTest::addColumn<QStringList>("items");
        const QString ordinary = QStringLiteral("Ordinary 05/03 09:00-05/03 10:00");
        for (const QStringList& row : test::dataTable(QStringLiteral("ical/hostile/expected.tsv")))
            QTest::newRow(qPrintable(row[0])) << readData(QStringLiteral("hostile/") + row[1])
                                              << row[2].toInt() << row[3].split(QLatin1Char(';'));
        QTest::newRow("300,000 components nested, never closed")
            << test::deeplyNestedCalendar(300000, false) << 5 << QStringList{ordinary};
        QTest::newRow("300,000 components nested and closed")
            << test::deeplyNestedCalendar(300000, true) << 5 << QStringList{ordinary};
        QTest::newRow("40 series every second, a series beside them")
            << test::secondlySeriesCalendar(40) << 5
            << QStringList{ordinary, "Weekly 05/03 10:00-05/03 11:00"};
        QTest::newRow("40 series every second, late in the month")
            << test::secondlySeriesCalendar(40) << 26
            << QStringList{"Weekly 26/03 10:00-26/03 11:00"};
        QStringList hourly;
        for (int hour = 0; hour < 24; ++hour) {
            hourly << QStringLiteral("Hourly 05/03 %1:00-05/03 %1:01").arg(hour, 2, 10, QChar('0'));
            if (hour == 9)
                hourly << ordinary;
        }
        QTest::newRow("100,000 excluded dates")
            << test::manyExclusionsCalendar(100000) << 5 << hourly;
        QTest::newRow("20,000 changes to all later occurrences")
            << test::manyFutureChangesCalendar(20000) << 5 << QStringList{ordinary};
        QTest::newRow("100,000 extra dates")
            << test::manyExtraDatesCalendar(100000) << 5 << QStringList{ordinary};
    }

    void hostileCalendarsAnswered() {
        QFETCH(QByteArray, text);
        QFETCH(int, day);
        QFETCH(QStringList, items);
        ExpandedFolder folder(text);
        QCOMPARE(describe(folder, day, 3, 2024), items);
    }

    // Damaged events and lines around a good event leave the good one read, and text that is no
    // calendar at all gives an empty one.
    void malformedTextIsSkipped() {
        ExpandedFolder folder(readData(QStringLiteral("damaged.ics")));
        const QStringList day = describe(folder, 5, 3, 1998);
        QVERIFY2(day.contains("Good 05/03 09:00-05/03 10:00"),
                 qPrintable(day.join(QLatin1Char('|'))));
        QVERIFY(!day.join(QLatin1Char('|')).contains("Broken"));

        for (const QByteArray& junk :
             {QByteArray(), QByteArray("\x00\xff\xfe garbage\r\n\r\nEND:VCALENDAR", 27),
              QByteArray("BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nBEGIN:VEVENT\r\n"),
              QByteArray(5000, 'A')}) {
            ExpandedFolder empty(junk);
            QCOMPARE(describe(empty, 5, 3, 1998), QStringList{});
        }
    }
};

QTEST_MAIN(IcalCalendarTest)
#include "ical_calendar_test.moc"
