// The restriction language Find reads.

#include "calendar/day_query.h"
#include "calendar/ical/restriction.h"
#include "calendar/calendar_service.h"

#include <QTest>
#include <ctime>

using namespace rv;

namespace {

Occurrence item(const QString& start, const QString& end, const QString& subject = {},
                int sensitivity = 0, const QString& location = {}) {
    Occurrence o;
    const QString format = QStringLiteral("yyyy-MM-dd hh:mm:ss");
    setOccurrenceTimes(o, QDateTime::fromString(start, format), QDateTime::fromString(end, format));
    o.subject = subject;
    o.sensitivity = sensitivity;
    o.location = location;
    return o;
}

bool matches(const QString& filter, const Occurrence& o) {
    return Restriction::parse(filter).matches(o);
}

} // namespace

class RestrictionTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        qputenv("TZ", "Europe/Berlin");
        tzset();
    }

    void dayFilterSelectsTheDay() {
        const QString filter = build_day_filter(5, 3, 1998);
        const Restriction r = Restriction::parse(filter);
        QVERIFY(r.matches(item("1998-03-05 09:00:00", "1998-03-05 10:00:00")));
        QVERIFY(r.matches(item("1998-03-05 00:00:00", "1998-03-06 00:00:00")));
        QVERIFY(r.matches(item("1998-03-05 23:59:00", "1998-03-06 01:00:00")));
        QVERIFY(r.matches(item("1998-03-04 23:00:00", "1998-03-05 01:00:00")));
        QVERIFY(r.matches(item("1998-03-01 10:00:00", "1998-03-09 10:00:00")));
        QVERIFY(!r.matches(item("1998-03-04 23:00:00", "1998-03-05 00:00:00")));
        QVERIFY(!r.matches(item("1998-03-04 00:00:00", "1998-03-05 00:00:00")));
        QVERIFY(!r.matches(item("1998-03-06 00:00:00", "1998-03-06 01:00:00")));
        // Seconds do not count: 00:00:59 is still the minute 12:00 AM.
        QVERIFY(!r.matches(item("1998-03-04 23:00:00", "1998-03-05 00:00:59")));
        // Day first: 12/11/1998 is the 12th of November.
        const Restriction november = Restriction::parse(build_day_filter(12, 11, 1998));
        QVERIFY(november.matches(item("1998-11-12 09:00:00", "1998-11-12 10:00:00")));
        QVERIFY(!november.matches(item("1998-12-11 09:00:00", "1998-12-11 10:00:00")));

        // The window a backend expands: the day itself.
        const std::optional<TimeWindow> w = r.window();
        QVERIFY(w.has_value());
        QCOMPARE(fromWallMinute(w->fromMinute), QDateTime(QDate(1998, 3, 5), QTime(0, 0)));
        QCOMPARE(fromWallMinute(w->toMinute), QDateTime(QDate(1998, 3, 5), QTime(23, 59)));
    }

    void dateTimesAndFields() {
        const Occurrence o =
            item("1998-03-05 12:30:30", "1998-03-05 13:45:00", "Budget Review", 2, "Room 4");
        QVERIFY(matches("[Start] = '05/03/1998 12:30 PM'", o));
        QVERIFY(matches("[start] >= '5/3/1998 12:30'", o));
        QVERIFY(matches("[START] < '05/03/1998 12:31 pm'", o));
        QVERIFY(!matches("[Start] < '05/03/1998 12:30 PM'", o));
        QVERIFY(matches("[End] <= '05/03/1998 1:45 PM' and [End] > '05/03/1998 01:44 PM'", o));
        QVERIFY(matches("[Start] > '04/03/1998'", o));
        QVERIFY(matches("[Subject] = 'budget review'", o));
        QVERIFY(matches("[Subject] <> 'Other'", o));
        QVERIFY(matches("[Location] = 'Room 4' and [Sensitivity] = 2", o));
        QVERIFY(matches("[Sensitivity] >= '2'", o));
        QVERIFY(!matches("[Sensitivity] <> 2", o));
        QVERIFY(matches("[Subject] = \"Budget Review\"", o));
        QVERIFY(matches("[Subject] <> 'It''s'", o));
        // 12:00 AM is midnight, 12:00 PM noon.
        const Occurrence midnight = item("1998-03-05 00:00:00", "1998-03-05 12:00:00");
        QVERIFY(
            matches("[Start] = '05/03/1998 12:00 AM' and [End] = '05/03/1998 12:00 PM'", midnight));
    }

    void precedenceAndParentheses() {
        const Occurrence a = item("1998-03-05 09:00:00", "1998-03-05 10:00:00", "a", 0, "x");
        const Occurrence b = item("1998-03-05 09:00:00", "1998-03-05 10:00:00", "b", 0, "y");
        // and binds tighter than or.
        QVERIFY(matches("[Subject] = 'a' or [Subject] = 'b' and [Location] = 'x'", a));
        QVERIFY(!matches("[Subject] = 'a' or [Subject] = 'b' and [Location] = 'x'", b));
        QVERIFY(!matches("([Subject] = 'a' or [Subject] = 'b') and [Location] = 'x'", b));
        // not binds tighter than and.
        QVERIFY(matches("not [Subject] = 'a' and [Location] = 'y'", b));
        QVERIFY(!matches("not ([Subject] = 'b' and [Location] = 'y')", b));
        QVERIFY(matches("NOT NOT [Subject] = 'b'", b));
        QVERIFY(matches("(([Subject] = 'a')) OR ([Subject] = 'b')", b));
        // No window can be told from a negation: the backend looks at everything.
        QVERIFY(!Restriction::parse("not [Start] < '05/03/1998 12:00 AM'").window());
        QVERIFY(!Restriction::parse("[Subject] = 'a'").window());
        QVERIFY(!Restriction::parse("[Start] >= '05/03/1998' or [Subject] = 'a'").window());
    }

    void unreadableFiltersFail() {
        const QStringList bad = {
            QString(),
            "garbage",
            "[Start] >= ",
            "[Start] >= '05/03/1998 12:00 AM' and",
            "([Start] >= '05/03/1998 12:00 AM'",
            "[Start] >= '05/03/1998 12:00 AM')",
            "[Nope] = 'x'",
            "[Start = 'x'",
            "[Start] => '05/03/1998'",
            "[Start] = '31/02/1998 12:00 AM'",
            "[Start] = '05/03/1998 13:00 AM'",
            "[Start] = '05/03/1998 12:60 PM'",
            "[Start] = '1998-03-05'",
            "[Start] = 05/03/1998",
            "[Sensitivity] = 'high'",
            "[Subject] = 'unclosed",
            "[Subject] 'a'",
            "[Subject] = 'a' [Subject] = 'b'",
            QString(300, QLatin1Char('(')),
            QStringLiteral("not ").repeated(300) + "[Subject] = 'a'",
        };
        for (const QString& filter : bad) {
            try {
                Restriction::parse(filter);
                QFAIL(qPrintable(QStringLiteral("accepted: ") + filter.left(60)));
            } catch (const CalendarError& error) {
                QCOMPARE(error.code(), calendar_error::BadFilter);
                QVERIFY(!error.message().isEmpty());
            }
        }
    }
};

QTEST_MAIN(RestrictionTest)
#include "restriction_test.moc"
