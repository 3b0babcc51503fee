// The restriction language Find reads.

#include "calendar/calendar_service.h"
#include "calendar/day_query.h"
#include "calendar/ical/restriction.h"
#include "support/data_files.h"

#include <QTest>
#include <ctime>

using namespace rv;

class RestrictionTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        qputenv("TZ", "Europe/Berlin");
        tzset();
    }

    // A filter matches an item by its fields (date-times read day first and to the minute, texts
    // without regard to case; not binds tighter than and, and than or); text it cannot read is
    // refused.
    void filtersMatchAsWritten_data() {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("item"); // start, end, subject, sensitivity, location
        QTest::addColumn<QString>("answer");   // match, no, bad
        for (QStringList row : test::dataTable(QStringLiteral("ical/filters.tsv"))) {
            const QString answer = row.takeLast();
            QString filter = row.takeFirst();
            if (filter.startsWith(QLatin1String("day "))) {
                const QStringList date = filter.mid(4).split(QLatin1Char('/'));
                filter = build_day_filter(date[0].toInt(), date[1].toInt(), date[2].toInt());
            }
            QTest::addRow("%s: %s %s", qPrintable(answer), qPrintable(filter.left(60)),
                          qPrintable(row.join(QLatin1Char(' ')).simplified()))
                << filter << row << answer;
        }
        QTest::newRow("bad: 300 parentheses")
            << QString(300, QLatin1Char('(')) << QStringList() << "bad";
        QTest::newRow("bad: 300 nots")
            << QStringLiteral("not ").repeated(300) + "[Subject] = 'a'" << QStringList() << "bad";
    }
    void filtersMatchAsWritten() {
        QFETCH(QString, filter);
        QFETCH(QStringList, item);
        QFETCH(QString, answer);
        if (answer == QLatin1String("bad")) {
            try {
                Restriction::parse(filter);
                QFAIL("an unreadable filter was accepted");
            } catch (const CalendarError& error) {
                QCOMPARE(error.code(), calendar_error::BadFilter);
                QVERIFY(!error.message().isEmpty());
            }
            return;
        }
        Occurrence o;
        const QString format = QStringLiteral("yyyy-MM-dd hh:mm:ss");
        setOccurrenceTimes(o, QDateTime::fromString(item[0], format),
                           QDateTime::fromString(item[1], format));
        o.subject = item[2];
        o.sensitivity = item[3].toInt();
        o.location = item[4];
        QCOMPARE(Restriction::parse(filter).matches(o), answer == QLatin1String("match"));
    }

    // The window a backend expands is the day of a day filter, and nothing when a negation or
    // an alternative leaves the times unbounded.
    void windowOnlyWhenTheTimesAreBounded() {
        const std::optional<TimeWindow> w =
            Restriction::parse(build_day_filter(5, 3, 1998)).window();
        QVERIFY(w.has_value());
        QCOMPARE(fromWallMinute(w->fromMinute), QDateTime(QDate(1998, 3, 5), QTime(0, 0)));
        QCOMPARE(fromWallMinute(w->toMinute), QDateTime(QDate(1998, 3, 5), QTime(23, 59)));
        QVERIFY(!Restriction::parse("not [Start] < '05/03/1998 12:00 AM'").window());
        QVERIFY(!Restriction::parse("[Subject] = 'a'").window());
        QVERIFY(!Restriction::parse("[Start] >= '05/03/1998' or [Subject] = 'a'").window());
    }
};

QTEST_MAIN(RestrictionTest)
#include "restriction_test.moc"
