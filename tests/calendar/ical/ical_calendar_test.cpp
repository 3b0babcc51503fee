// iCalendar reading and expansion, checked through the day query the board runs.

#include "calendar/day_query.h"
#include "calendar/ical/expanded_calendar.h"
#include "calendar/ical/ical_calendar.h"

#include <QFile>
#include <QTest>
#include <ctime>

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

QString dataPath(const QString& name) {
    return QStringLiteral(ROTAVIEW_SOURCE_DIR "/tests/data/ical/") + name;
}

QByteArray readData(const QString& name) {
    QFile file(dataPath(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(file.fileName()));
    return file.readAll();
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
        QFile table(dataPath(QStringLiteral("expected.tsv")));
        QVERIFY(table.open(QIODevice::ReadOnly | QIODevice::Text));
        QList<std::tuple<QString, QDate, QStringList>> rows;
        while (!table.atEnd()) {
            const QString line = QString::fromUtf8(table.readLine()).chopped(1);
            if (line.startsWith(QLatin1Char('#')) || line.isEmpty())
                continue;
            const QStringList f = line.split(QLatin1Char('\t'));
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

    void steppedSeriesMatchLibicalIteration() {
        // Each rule twice: as written (stepped straight to the month asked for) and with a
        // redundant BYHOUR that sends it through libical's iterator. Both must give the same days.
        const QList<QByteArray> rules = {
            "FREQ=WEEKLY;INTERVAL=2;UNTIL=19980901T120000Z",
            "FREQ=DAILY;INTERVAL=3;COUNT=40",
            "FREQ=WEEKLY;BYDAY=MO;UNTIL=19980831",
            "FREQ=DAILY;UNTIL=19980315T140000",
            "FREQ=WEEKLY",
        };
        QByteArray body;
        for (int i = 0; i < rules.size(); ++i) {
            for (const QByteArray& variant : {QByteArray(), QByteArray(";BYHOUR=14")}) {
                body += "BEGIN:VEVENT\r\nUID:r" + QByteArray::number(i) + variant +
                        "\r\nSUMMARY:" + QByteArray::number(i) +
                        "\r\nDTSTART;TZID=Europe/Berlin:19980302T140000\r\n"
                        "DTEND;TZID=Europe/Berlin:19980302T150000\r\nRRULE:" +
                        rules[i] + variant + "\r\nEND:VEVENT\r\n";
            }
        }
        ExpandedFolder folder("BEGIN:VCALENDAR\r\nVERSION:2.0\r\n" + body + "END:VCALENDAR\r\n");
        QMap<QString, int> perRule;
        for (int month = 1; month <= 12; ++month) {
            for (int day = 1; day <= QDate(1998, month, 1).daysInMonth(); ++day) {
                QStringList found = describe(folder, day, month, 1998);
                QVERIFY2(found.size() % 2 == 0, qPrintable(found.join(QLatin1Char('|'))));
                for (int i = 0; i < found.size(); i += 2) {
                    QCOMPARE(found[i], found[i + 1]);
                    ++perRule[found[i].section(QLatin1Char(' '), 0, 0)];
                }
            }
        }
        QCOMPARE(perRule.value("0"), 14); // 2 Mar .. 31 Aug, every other week
        QCOMPARE(perRule.value("1"), 40);
        QCOMPARE(perRule.value("2"), 26); // Mondays 2 Mar .. 24 Aug: a date UNTIL is its midnight
        QCOMPARE(perRule.value("3"), 14); // 2 .. 15 Mar, UNTIL included
        QCOMPARE(perRule.value("4"), 44); // every Monday from 2 Mar to the end of the year
    }

    void subDailySeriesStartAtTheWindow() {
        // The same six-hourly series from 1990 twice: without COUNT the expansion starts at the
        // month asked for, with COUNT it is walked from 1990. Both must give the same times.
        QByteArray body;
        for (const QByteArray& rule : {QByteArray("FREQ=HOURLY;INTERVAL=6"),
                                       QByteArray("FREQ=HOURLY;INTERVAL=6;COUNT=100000")}) {
            body += "BEGIN:VEVENT\r\nUID:" + rule +
                    "\r\nSUMMARY:Watch\r\nDTSTART;TZID=Europe/Berlin:19900302T140000\r\n"
                    "DTEND;TZID=Europe/Berlin:19900302T150000\r\nRRULE:" +
                    rule + "\r\nEND:VEVENT\r\n";
        }
        ExpandedFolder folder("BEGIN:VCALENDAR\r\nVERSION:2.0\r\n" + body + "END:VCALENDAR\r\n");
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

    void malformedTextIsSkipped() {
        // Damaged events and lines around one good event: the good one is read.
        ExpandedFolder folder(readData(QStringLiteral("damaged.ics")));
        const QStringList day = describe(folder, 5, 3, 1998);
        QVERIFY2(day.contains("Good 05/03 09:00-05/03 10:00"),
                 qPrintable(day.join(QLatin1Char('|'))));
        QVERIFY(!day.join(QLatin1Char('|')).contains("Broken"));

        // Text that is no calendar at all gives an empty one.
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
