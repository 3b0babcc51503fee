#include "calendar/day_query.h"

#include <QTest>

class DayQueryTest : public QObject {
    Q_OBJECT
private slots:
    void filterIsDayFirstToTheCharacter() {
        QCOMPARE(rv::build_day_filter(5, 3, 1998),
                 QStringLiteral("([Start]>='05/03/1998 12:00 AM' and [start]<= '05/03/1998 11:59 "
                                "PM') or ([Start]<='05/03/1998 12:00 AM' and [end]>= '05/03/1998 "
                                "12:01 AM')"));
        QCOMPARE(rv::day_text(12, 11, 1998), QStringLiteral("12/11/1998"));
    }
    void masksByStrictSensitivity() {
        QCOMPARE(rv::mask_subject(0, QStringLiteral("Budget")), QStringLiteral("Budget"));
        QCOMPARE(rv::mask_subject(1, QStringLiteral("Budget")), QStringLiteral("Personal Appointment"));
        QCOMPARE(rv::mask_subject(2, QStringLiteral("Budget")), QStringLiteral("Private Appointment"));
        QCOMPARE(rv::mask_subject(3, QStringLiteral("Budget")),
                 QStringLiteral("Confidential Appointment"));
        QCOMPARE(rv::mask_subject(5, QStringLiteral("Budget")), QStringLiteral("Budget"));
    }
};

QTEST_MAIN(DayQueryTest)
#include "day_query_test.moc"
