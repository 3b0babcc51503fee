// The day occupancy rule: booked minutes to a day category.

#include "days/day_occupancy.h"
#include "support/data_files.h"

#include <QTest>
#include <ctime>

using namespace rv;

namespace {

using Spans = std::vector<std::pair<QDateTime, QDateTime>>;

QDateTime at(int day, int hour, int minute = 0, int second = 0) {
    return QDateTime(QDate(2024, 3, day), QTime(hour, minute, second));
}

// A day of March 2024 (tests/data/days/categories.tsv says which days are what).
DayCategory on(int day, const Spans& spans) {
    return dayCategory(spans, day, 3, 2024);
}

class Item : public AppointmentItem {
public:
    Item(QDateTime start, QDateTime end) : start_(start), end_(end) {}
    QDateTime Start() const override { return start_; }
    QDateTime End() const override { return end_; }
    QString Subject() const override { return {}; }
    int Sensitivity() const override { return 0; }
    QString Location() const override { return {}; }

private:
    QDateTime start_, end_;
};

} // namespace

class DayOccupancyTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        qputenv("TZ", "Europe/Berlin");
        tzset();
    }

    // A day's booked minutes give its category: up to 4 hours, up to 7, more, exactly the whole
    // day a special event, nothing at all free or weekend; overlaps count twice and an item ending
    // before it starts subtracts.
    void hoursToCategories_data() {
        QTest::addColumn<QString>("day");
        QTest::addColumn<QString>("spans");
        QTest::addColumn<QString>("category");
        test::addDataRows(QStringLiteral("days/categories.tsv"));
    }
    void hoursToCategories() {
        QFETCH(QString, day);
        QFETCH(QString, spans);
        QFETCH(QString, category);
        const auto time = [](const QString& text) {
            const QStringList parts = text.split(QLatin1Char(' '));
            return QDateTime(QDate(2024, 3, 1).addDays(parts[0].toInt() - 1),
                             QTime::fromString(parts[1], Qt::ISODate));
        };
        Spans booked;
        for (const QString& span : spans.split(QLatin1Char(','), Qt::SkipEmptyParts))
            booked.push_back({time(span.section(QLatin1Char('-'), 0, 0)),
                              time(span.section(QLatin1Char('-'), 1, 1))});
        QCOMPARE(categoryKey(on(day.toInt(), booked)), category);
    }

    // Minutes are counted by the minute boundaries crossed on the wall clock: seconds do not
    // count, and a whole day is 1440 minutes also on the day of the change to summer time.
    void minutesCountMinuteBoundaries() {
        QCOMPARE(wholeMinutes(at(4, 9, 0, 59), at(4, 9, 1, 0)), 1);
        QCOMPARE(wholeMinutes(at(4, 9, 0, 0), at(4, 9, 0, 59)), 0);
        QCOMPARE(wholeMinutes(at(4, 9, 0, 30), at(4, 13, 0, 29)), 240);
        QCOMPARE(wholeMinutes(at(4, 12), at(4, 10)), -120);
        QCOMPARE(wholeMinutes(at(31, 0), QDateTime(QDate(2024, 4, 1), QTime(0, 0))), 1440);
    }

    // The items a day query hands out are counted together.
    void itemsOfTheDayQuery() {
        std::vector<std::unique_ptr<AppointmentItem>> items;
        items.push_back(std::make_unique<Item>(at(4, 9), at(4, 12)));
        items.push_back(std::make_unique<Item>(at(4, 13), at(4, 14, 30)));
        QCOMPARE(bookedMinutes(items), 270);
        QCOMPARE(dayCategory(items, 4, 3, 2024), Between4And7);
        items.clear();
        QCOMPARE(dayCategory(items, 9, 3, 2024), Weekend);
    }
};

QTEST_MAIN(DayOccupancyTest)
#include "day_occupancy_test.moc"
