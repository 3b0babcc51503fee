// The day occupancy rule: booked minutes to a day category.

#include "days/day_occupancy.h"

#include <QTest>
#include <ctime>

using namespace rv;

namespace {

using Spans = std::vector<std::pair<QDateTime, QDateTime>>;

QDateTime at(int day, int hour, int minute = 0, int second = 0) {
    return QDateTime(QDate(2024, 3, day), QTime(hour, minute, second));
}

// March 2024: the 4th is a Monday, the 9th a Saturday, the 10th a Sunday; Europe changes to
// summer time on Sunday the 31st.
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

    void hoursToCategories() {
        QCOMPARE(on(4, {}), Free_All_day);
        QCOMPARE(on(9, {}), Weekend);
        QCOMPARE(on(10, {}), Weekend);
        QCOMPARE(on(4, {{at(4, 9), at(4, 13)}}), UpTo4);
        QCOMPARE(on(4, {{at(4, 9), at(4, 11)}, {at(4, 14), at(4, 16)}}), UpTo4);
        QCOMPARE(on(4, {{at(4, 9), at(4, 13, 1)}}), Between4And7);
        QCOMPARE(on(4, {{at(4, 9), at(4, 15, 59)}}), Between4And7);
        QCOMPARE(on(4, {{at(4, 9), at(4, 16)}}), MoreThan7);
        QCOMPARE(on(4, {{at(4, 0), at(5, 0)}}), Special_Event);
        QCOMPARE(on(4, {{at(4, 0), at(5, 0)}, {at(4, 0), at(5, 0)}}), MoreThan7);
        QCOMPARE(on(4, {{at(4, 0), at(4, 23, 59)}}), MoreThan7);
        QCOMPARE(on(4, {{at(4, 0), at(5, 0, 1)}}), MoreThan7);
        // The full day together with anything else is simply long.
        QCOMPARE(on(4, {{at(4, 0), at(5, 0)}, {at(4, 9), at(4, 9, 30)}}), MoreThan7);
        // Overlaps count twice.
        QCOMPARE(on(4, {{at(4, 9), at(4, 12)}, {at(4, 10), at(4, 13)}}), Between4And7);
        // Any booked time on a weekend shows its hours.
        QCOMPARE(on(10, {{at(10, 9), at(10, 9, 30)}}), UpTo4);
        QCOMPARE(on(9, {{at(9, 0), at(10, 0)}}), Special_Event);
        // An item ending before it starts subtracts; a negative total is "up to 4".
        QCOMPARE(on(4, {{at(4, 12), at(4, 10)}}), UpTo4);
        QCOMPARE(on(4, {{at(4, 9), at(4, 17)}, {at(4, 12), at(4, 10)}}), Between4And7);
        // Cancelling out to exactly zero is a free day.
        QCOMPARE(on(9, {{at(9, 9), at(9, 10)}, {at(9, 10), at(9, 9)}}), Weekend);
    }

    void minutesCountMinuteBoundaries() {
        // Minute boundaries crossed: seconds do not count.
        QCOMPARE(wholeMinutes(at(4, 9, 0, 59), at(4, 9, 1, 0)), 1);
        QCOMPARE(wholeMinutes(at(4, 9, 0, 0), at(4, 9, 0, 59)), 0);
        QCOMPARE(wholeMinutes(at(4, 9, 0, 30), at(4, 13, 0, 29)), 240);
        QCOMPARE(on(4, {{at(4, 9, 0, 30), at(4, 13, 0, 59)}}), UpTo4);
        QCOMPARE(wholeMinutes(at(4, 12), at(4, 10)), -120);
        // A whole day is 1440 minutes on the wall clock, also on the day of the change to
        // summer time (23 hours of elapsed time).
        QCOMPARE(wholeMinutes(at(31, 0), QDateTime(QDate(2024, 4, 1), QTime(0, 0))), 1440);
        QCOMPARE(on(31, {{at(31, 0), QDateTime(QDate(2024, 4, 1), QTime(0, 0))}}), Special_Event);
    }

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
