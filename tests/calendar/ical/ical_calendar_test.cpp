// iCalendar reading and expansion, checked through the day query the board runs.

#include "calendar/day_query.h"
#include "calendar/ical/expanded_calendar.h"
#include "calendar/ical/ical_calendar.h"

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

QByteArray calendar(const QByteArray& body) {
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Rotaview tests//EN\r\n" + body +
           "END:VCALENDAR\r\n";
}

// Eastern time as Windows clients write it: a zone name the system does not know, defined by
// the VTIMEZONE alone (1998 rules: summer time from the first Sunday of April).
const QByteArray kEasternZone = "BEGIN:VTIMEZONE\r\n"
                                "TZID:Eastern Standard Time\r\n"
                                "BEGIN:STANDARD\r\n"
                                "DTSTART:16011025T020000\r\n"
                                "RRULE:FREQ=YEARLY;BYDAY=-1SU;BYMONTH=10\r\n"
                                "TZOFFSETFROM:-0400\r\n"
                                "TZOFFSETTO:-0500\r\n"
                                "END:STANDARD\r\n"
                                "BEGIN:DAYLIGHT\r\n"
                                "DTSTART:16010405T020000\r\n"
                                "RRULE:FREQ=YEARLY;BYDAY=1SU;BYMONTH=4\r\n"
                                "TZOFFSETFROM:-0500\r\n"
                                "TZOFFSETTO:-0400\r\n"
                                "END:DAYLIGHT\r\n"
                                "END:VTIMEZONE\r\n";

} // namespace

class IcalCalendarTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        qputenv("TZ", "Europe/Berlin");
        tzset();
    }

    void dayBoundaries() {
        ExpandedFolder folder(calendar("BEGIN:VEVENT\r\nUID:a\r\nSUMMARY:Meeting\r\n"
                                       "DTSTART:19980305T090000\r\nDTEND:19980305T100000\r\n"
                                       "END:VEVENT\r\n"
                                       "BEGIN:VEVENT\r\nUID:b\r\nSUMMARY:Late\r\n"
                                       "DTSTART:19980309T230000\r\nDTEND:19980310T000000\r\n"
                                       "END:VEVENT\r\n"
                                       "BEGIN:VEVENT\r\nUID:c\r\nSUMMARY:Overnight\r\n"
                                       "DTSTART:19980310T230000\r\nDTEND:19980311T010000\r\n"
                                       "END:VEVENT\r\n"
                                       "BEGIN:VEVENT\r\nUID:d\r\nSUMMARY:Holiday\r\n"
                                       "DTSTART;VALUE=DATE:19980312\r\n"
                                       "DTEND;VALUE=DATE:19980313\r\nEND:VEVENT\r\n"
                                       "BEGIN:VEVENT\r\nUID:e\r\nSUMMARY:Trip\r\n"
                                       "DTSTART;VALUE=DATE:19980330\r\n"
                                       "DTEND;VALUE=DATE:19980402\r\nEND:VEVENT\r\n"));
        // Floating times are local wall time, not UTC.
        QCOMPARE(describe(folder, 5, 3, 1998), QStringList{"Meeting 05/03 09:00-05/03 10:00"});
        QCOMPARE(describe(folder, 4, 3, 1998), QStringList{});
        // Ending exactly at midnight does not touch the next day; running past it does.
        QCOMPARE(describe(folder, 9, 3, 1998), QStringList{"Late 09/03 23:00-10/03 00:00"});
        QCOMPARE(describe(folder, 10, 3, 1998), QStringList{"Overnight 10/03 23:00-11/03 01:00"});
        QCOMPARE(describe(folder, 11, 3, 1998), QStringList{"Overnight 10/03 23:00-11/03 01:00"});
        // An all-day date is the local day, on its own day only.
        QCOMPARE(describe(folder, 12, 3, 1998), QStringList{"Holiday 12/03 00:00-13/03 00:00"});
        QCOMPARE(describe(folder, 11, 3, 1998).size(), 1);
        QCOMPARE(describe(folder, 13, 3, 1998), QStringList{});
        // Several days, over a month's end and the change to summer time: every day touched.
        for (int day : {30, 31})
            QCOMPARE(describe(folder, day, 3, 1998), QStringList{"Trip 30/03 00:00-02/04 00:00"});
        QCOMPARE(describe(folder, 1, 4, 1998), QStringList{"Trip 30/03 00:00-02/04 00:00"});
        QCOMPARE(describe(folder, 2, 4, 1998), QStringList{});
    }

    void recurrencesExceptionsAndOverrides() {
        ExpandedFolder folder(
            calendar("BEGIN:VEVENT\r\nUID:weekly\r\nSUMMARY:Team\r\n"
                     "DTSTART;TZID=Europe/Berlin:19980302T140000\r\n"
                     "DTEND;TZID=Europe/Berlin:19980302T150000\r\n"
                     "RRULE:FREQ=WEEKLY;COUNT=6\r\n"
                     "EXDATE;TZID=Europe/Berlin:19980316T140000\r\nEND:VEVENT\r\n"
                     // Moved from Monday 23rd to Tuesday 24th, named with its zone.
                     "BEGIN:VEVENT\r\nUID:weekly\r\nSUMMARY:Team (moved)\r\n"
                     "RECURRENCE-ID;TZID=Europe/Berlin:19980323T140000\r\n"
                     "DTSTART;TZID=Europe/Berlin:19980324T160000\r\n"
                     "DTEND;TZID=Europe/Berlin:19980324T170000\r\nEND:VEVENT\r\n"
                     // Cancelled on the 30th, named in UTC.
                     "BEGIN:VEVENT\r\nUID:weekly\r\nSUMMARY:Team\r\nSTATUS:CANCELLED\r\n"
                     "RECURRENCE-ID:19980330T120000Z\r\n"
                     "DTSTART;TZID=Europe/Berlin:19980330T140000\r\n"
                     "DTEND;TZID=Europe/Berlin:19980330T150000\r\nEND:VEVENT\r\n"
                     // Extra dates: a whole period and an all-day date of an all-day series.
                     "BEGIN:VEVENT\r\nUID:review\r\nSUMMARY:Review\r\n"
                     "DTSTART:19980303T090000Z\r\nDTEND:19980303T100000Z\r\n"
                     "RDATE;VALUE=PERIOD:19980318T100000Z/19980318T113000Z\r\nEND:VEVENT\r\n"
                     "BEGIN:VEVENT\r\nUID:course\r\nSUMMARY:Course\r\n"
                     "DTSTART;VALUE=DATE:19980304\r\nDTEND;VALUE=DATE:19980305\r\n"
                     "RDATE;VALUE=DATE:19980306,19980319\r\nEXDATE;VALUE=DATE:19980306\r\n"
                     "END:VEVENT\r\n"
                     "BEGIN:VEVENT\r\nUID:gone\r\nSUMMARY:Called off\r\nSTATUS:CANCELLED\r\n"
                     "DTSTART:19980305T080000\r\nDTEND:19980305T083000\r\nEND:VEVENT\r\n"));
        QCOMPARE(describe(folder, 2, 3, 1998), QStringList{"Team 02/03 14:00-02/03 15:00"});
        QCOMPARE(describe(folder, 9, 3, 1998), QStringList{"Team 09/03 14:00-09/03 15:00"});
        QCOMPARE(describe(folder, 16, 3, 1998), QStringList{});
        QCOMPARE(describe(folder, 23, 3, 1998), QStringList{});
        QCOMPARE(describe(folder, 24, 3, 1998),
                 QStringList{"Team (moved) 24/03 16:00-24/03 17:00"});
        QCOMPARE(describe(folder, 30, 3, 1998), QStringList{});
        // After the change to summer time the series stays at 14:00 Berlin time.
        QCOMPARE(describe(folder, 6, 4, 1998), QStringList{"Team 06/04 14:00-06/04 15:00"});
        QCOMPARE(describe(folder, 13, 4, 1998), QStringList{});

        QCOMPARE(describe(folder, 3, 3, 1998), QStringList{"Review 03/03 10:00-03/03 11:00"});
        QCOMPARE(describe(folder, 18, 3, 1998), QStringList{"Review 18/03 11:00-18/03 12:30"});
        QCOMPARE(describe(folder, 4, 3, 1998), QStringList{"Course 04/03 00:00-05/03 00:00"});
        QCOMPARE(describe(folder, 6, 3, 1998), QStringList{});
        QCOMPARE(describe(folder, 19, 3, 1998), QStringList{"Course 19/03 00:00-20/03 00:00"});
        QCOMPARE(describe(folder, 5, 3, 1998), QStringList{});
        // The month was expanded once for all its days.
        QCOMPARE(folder.calendar().expandedMonths(), 2);

        // Without recurrences a series is one item, at its first occurrence.
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
        ExpandedFolder folder(calendar(body));
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
        ExpandedFolder folder(calendar(body));
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

    void zonesAndUtc() {
        ExpandedFolder folder(calendar(
            kEasternZone + "BEGIN:VEVENT\r\nUID:ny\r\nSUMMARY:Call New York\r\n"
                           "DTSTART;TZID=America/New_York:19980320T090000\r\n"
                           "DTEND;TZID=America/New_York:19980320T100000\r\nEND:VEVENT\r\n"
                           "BEGIN:VEVENT\r\nUID:win\r\nSUMMARY:Call Boston\r\n"
                           "DTSTART;TZID=Eastern Standard Time:19980320T110000\r\n"
                           "DTEND;TZID=Eastern Standard Time:19980320T113000\r\n"
                           "RRULE:FREQ=WEEKLY;COUNT=3\r\nEND:VEVENT\r\n"
                           "BEGIN:VEVENT\r\nUID:utc\r\nSUMMARY:Standup\r\n"
                           "DTSTART:19980325T080000Z\r\nDTEND:19980325T081500Z\r\nEND:VEVENT\r\n"
                           "BEGIN:VEVENT\r\nUID:tokyo\r\nSUMMARY:Tokyo\r\n"
                           "DTSTART;TZID=Asia/Tokyo:19980321T080000\r\n"
                           "DURATION:PT2H\r\nEND:VEVENT\r\n"));
        // New York is 6 hours behind Berlin in March 1998 (neither on summer time yet).
        const QStringList day20 = describe(folder, 20, 3, 1998);
        QCOMPARE(day20, (QStringList{"Call New York 20/03 15:00-20/03 16:00",
                                     "Call Boston 20/03 17:00-20/03 17:30"}));
        // After Europe's change to summer time (29 March), before America's (5 April).
        QCOMPARE(describe(folder, 3, 4, 1998), QStringList{"Call Boston 03/04 18:00-03/04 18:30"});
        QCOMPARE(describe(folder, 25, 3, 1998), QStringList{"Standup 25/03 09:00-25/03 09:15"});
        // Tokyo 08:00 is 00:00 in Berlin.
        QCOMPARE(describe(folder, 21, 3, 1998), QStringList{"Tokyo 21/03 00:00-21/03 02:00"});
    }

    void zonedTimesAfterLibicalsLastYearAreWallClock() {
        ExpandedFolder folder(calendar("BEGIN:VEVENT\r\nUID:late\r\nSUMMARY:Late\r\n"
                                       "DTSTART;TZID=America/New_York:25820120T090000\r\n"
                                       "DTEND;TZID=America/New_York:25820120T100000\r\n"
                                       "END:VEVENT\r\n"
                                       "BEGIN:VEVENT\r\nUID:later\r\nSUMMARY:Later\r\n"
                                       "DTSTART;TZID=America/New_York:25830120T090000\r\n"
                                       "DTEND;TZID=America/New_York:25830120T100000\r\n"
                                       "END:VEVENT\r\n"));
        // Still converted in 2582 (New York six hours behind Berlin in January)...
        QCOMPARE(describe(folder, 20, 1, 2582), QStringList{"Late 20/01 15:00-20/01 16:00"});
        // ...and read as written a year later.
        QCOMPARE(describe(folder, 20, 1, 2583), QStringList{"Later 20/01 09:00-20/01 10:00"});
    }

    void sensitivityFromClassAndCategories() {
        ExpandedFolder folder(calendar("BEGIN:VEVENT\r\nUID:1\r\nSUMMARY:Open\r\n"
                                       "DTSTART:19980305T080000\r\nDTEND:19980305T090000\r\n"
                                       "END:VEVENT\r\n"
                                       "BEGIN:VEVENT\r\nUID:2\r\nSUMMARY:Public\r\nCLASS:PUBLIC\r\n"
                                       "DTSTART:19980305T090000\r\nDTEND:19980305T100000\r\n"
                                       "END:VEVENT\r\n"
                                       "BEGIN:VEVENT\r\nUID:3\r\nSUMMARY:Dentist\r\n"
                                       "CATEGORIES:Health,Personal\r\n"
                                       "DTSTART:19980305T100000\r\nDTEND:19980305T110000\r\n"
                                       "END:VEVENT\r\n"
                                       "BEGIN:VEVENT\r\nUID:4\r\nSUMMARY:Bank\r\n"
                                       "X-ROTAVIEW-PERSONAL:TRUE\r\n"
                                       "DTSTART:19980305T110000\r\nDTEND:19980305T120000\r\n"
                                       "END:VEVENT\r\n"
                                       "BEGIN:VEVENT\r\nUID:5\r\nSUMMARY:Interview\r\n"
                                       "CLASS:PRIVATE\r\n"
                                       "DTSTART:19980305T120000\r\nDTEND:19980305T130000\r\n"
                                       "END:VEVENT\r\n"
                                       "BEGIN:VEVENT\r\nUID:6\r\nSUMMARY:Merger\r\n"
                                       "CLASS:CONFIDENTIAL\r\n"
                                       "DTSTART:19980305T130000\r\nDTEND:19980305T140000\r\n"
                                       "END:VEVENT\r\n"));
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
        const QByteArray damaged = calendar(
            "BEGIN:VEVENT\r\nUID:x\r\nDTSTART:not a date\r\nSUMMARY:Broken\r\nEND:VEVENT\r\n"
            "BEGIN:VEVENT\r\nUID:y\r\nSUMMARY:No start\r\nEND:VEVENT\r\n"
            "BEGIN:VEVENT\r\nUID:z\r\nSUMMARY:Bad rule\r\nDTSTART:19980305T070000\r\n"
            "DTEND:19980305T073000\r\nRRULE:FREQ=SOMETIMES;COUNT=x\r\nEND:VEVENT\r\n"
            "BEGIN:VEVENT\r\nUID:w\r\nSUMMARY:Orphan move\r\n"
            "RECURRENCE-ID:garbage\r\nEND:VEVENT\r\n"
            "THIS LINE IS NOT ICALENDAR\r\n"
            "BEGIN:VEVENT\r\nUID:ok\r\nSUMMARY:Good\r\nDTSTART:19980305T090000\r\n"
            "DTEND:19980305T100000\r\nEND:VEVENT\r\n"
            "BEGIN:VEVENT\r\nUID:cut\r\nSUMMARY:Cut off\r\nDTSTART:1998");
        ExpandedFolder folder(damaged);
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
