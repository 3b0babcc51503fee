#include "board/board_builder.h"
#include "board/day_texts.h"
#include "support/fake_calendar.h"

#include <QTest>

using namespace rv;
using namespace rv::test;

Q_DECLARE_METATYPE(PersonCalendar::Outcome)

namespace {

FakeCalendar::Item item(const QString& from, const QString& to, const QString& subject,
                        int sensitivity = kSensitivityNormal) {
    return {QDateTime::fromString(from, Qt::ISODate), QDateTime::fromString(to, Qt::ISODate),
            subject, sensitivity, QStringLiteral("Room 4")};
}

// alice has a normal and a private item on 2 March 2026, bob is denied to the connected user,
// carol does not resolve, dave's service is gone for look-ups, erin's while her days are read.
void fillTeam(FakeCalendar& calendar) {
    calendar.add(QStringLiteral("A"), QStringLiteral("Alice Archer")).items = {
        item(QStringLiteral("2026-03-02T09:00"), QStringLiteral("2026-03-02T10:30"),
             QStringLiteral("Budget")),
        item(QStringLiteral("2026-03-02T11:00"), QStringLiteral("2026-03-02T14:00"),
             QStringLiteral("Dentist"), kSensitivityPrivate)};
    calendar.add(QStringLiteral("B"), QStringLiteral("Bob Baker")).denied = true;
    calendar.add(QStringLiteral("C"), QStringLiteral("Carol Clark")).resolves = false;
    calendar.add(QStringLiteral("D"), QStringLiteral("Dave Dunn")).lookUpFails = true;
    calendar.add(QStringLiteral("E"), QStringLiteral("Erin Evans")).readFails = true;
}

} // namespace

// The board's rules without a window: who gets a row, what each day cell shows, and which
// failures the user hears of once after a build.
class BoardBuilderTest : public QObject {
    Q_OBJECT
private slots:
    // A member gets a row only when the service resolves them; an identifier the service does not
    // know is nobody, while a failing service is passed on and kept for the report.
    void memberName_data() {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("throws");
        QTest::newRow("resolves") << "A"
                                  << "Alice Archer" << false;
        QTest::newRow("denied calendar still a member") << "B"
                                                        << "Bob Baker" << false;
        QTest::newRow("does not resolve") << "C" << QString() << false;
        QTest::newRow("unknown identifier") << "XXX" << QString() << false;
        QTest::newRow("service gone") << "D" << QString() << true;
    }
    void memberName() {
        QFETCH(QString, id);
        QFETCH(QString, name);
        QFETCH(bool, throws);
        FakeCalendar calendar;
        fillTeam(calendar);
        BoardBuilder builder;
        builder.beginBuild();
        std::optional<QString> found;
        bool thrown = false;
        try {
            found = builder.memberName(calendar, id);
        } catch (const CalendarError& error) {
            thrown = true;
            QCOMPARE(error.code(), calendar_error::NotConnected);
        }
        QCOMPARE(thrown, throws);
        QCOMPARE(found.value_or(QString()), name);
        QCOMPARE(builder.lookUpFailure().has_value(), throws);
        QCOMPARE(builder.failureReport().isEmpty(), !throws);
    }

    // What opening a person's month gives for each kind of person.
    void openMonth_data() {
        QTest::addColumn<QString>("id");
        QTest::addColumn<PersonCalendar::Outcome>("outcome");
        QTest::newRow("readable") << "A" << PersonCalendar::Outcome::Opened;
        QTest::newRow("denied") << "B" << PersonCalendar::Outcome::Denied;
        QTest::newRow("not resolved") << "C" << PersonCalendar::Outcome::NotResolved;
        QTest::newRow("look-up fails") << "D" << PersonCalendar::Outcome::Failed;
        QTest::newRow("unknown identifier") << "XXX" << PersonCalendar::Outcome::Failed;
    }
    void openMonth() {
        QFETCH(QString, id);
        QFETCH(PersonCalendar::Outcome, outcome);
        FakeCalendar calendar;
        fillTeam(calendar);
        BoardBuilder builder;
        const PersonMonth month = builder.openMonth(calendar, id, PersonLookUp::ByEntryId, 2, 2026);
        QCOMPARE(month.calendar().outcome, outcome);
        QCOMPARE(month.readable(), outcome == PersonCalendar::Outcome::Opened);
        QCOMPARE(month.denied(), outcome == PersonCalendar::Outcome::Denied);
        QCOMPARE(month.days(), 28);
        // Only a denied person is named on the board without their days.
        QCOMPARE(month.calendar().recipient != nullptr,
                 outcome == PersonCalendar::Outcome::Opened ||
                     outcome == PersonCalendar::Outcome::Denied ||
                     outcome == PersonCalendar::Outcome::NotResolved);
    }

    // Each day of a readable month: category by booked hours, masked subjects joined by ":".
    void dayCellsOfAReadableMonth() {
        FakeCalendar calendar;
        fillTeam(calendar);
        BoardBuilder builder;
        builder.beginBuild();
        PersonMonth month =
            builder.openMonth(calendar, QStringLiteral("A"), PersonLookUp::ByEntryId, 3, 2026);
        QCOMPARE(month.days(), 31);
        const DayCell busy = month.readDay(2);
        QCOMPARE(busy.day, 2);
        QVERIFY(!busy.unread);
        QCOMPARE(busy.category, Between4And7); // 1 h 30 + 3 h
        QCOMPARE(busy.text, QStringLiteral("Budget:Private Appointment"));
        const DayCell free = month.readDay(3);
        QCOMPARE(free.category, Free_All_day);
        QVERIFY(free.text.isEmpty());
        QCOMPARE(month.readDay(1).category, Weekend); // a Sunday
        QVERIFY(builder.failureReport().isEmpty());
    }

    // A service that fails while days are read leaves those cells alone and is told once, with
    // its message, however many days and people it hit; the next build starts clean.
    void serviceFailureWhileReadingIsToldOnce() {
        FakeCalendar calendar;
        fillTeam(calendar);
        calendar.add(QStringLiteral("F"), QStringLiteral("Fay Ford")).readFails = true;
        BoardBuilder builder;
        builder.beginBuild();
        for (const QString& id : {QStringLiteral("E"), QStringLiteral("F")}) {
            PersonMonth month = builder.openMonth(calendar, id, PersonLookUp::ByEntryId, 3, 2026);
            QVERIFY(month.readable());
            for (int d = 1; d <= month.days(); ++d)
                QVERIFY(month.readDay(d).unread);
        }
        const QString report = builder.failureReport();
        QVERIFY(report.contains(QStringLiteral("could not be read")));
        QCOMPARE(report.count(QStringLiteral("service gone")), 1);
        QVERIFY(!report.contains(QStringLiteral("looked up")));
        builder.beginBuild();
        QVERIFY(builder.failureReport().isEmpty());
    }

    // The details of a selected day: the person's name, one line per item, masked where private.
    void cellDetails() {
        FakeCalendar calendar;
        fillTeam(calendar);
        const CellDetails busy =
            BoardBuilder::cellDetails(calendar, QStringLiteral("A"), 2, 3, 2026);
        QCOMPARE(busy.outcome, PersonCalendar::Outcome::Opened);
        QCOMPARE(busy.name, QStringLiteral("Alice Archer"));
        QCOMPARE(busy.text, QStringLiteral("02 09:00 AM ->02 10:30 AM  Budget Room 4\r"
                                           "11:00 AM ->02:00 PM  Private Appointment\r"));
        QVERIFY(
            BoardBuilder::cellDetails(calendar, QStringLiteral("A"), 3, 3, 2026).text.isEmpty());
        const CellDetails denied =
            BoardBuilder::cellDetails(calendar, QStringLiteral("B"), 2, 3, 2026);
        QCOMPARE(denied.outcome, PersonCalendar::Outcome::Denied);
        QCOMPARE(denied.name, QStringLiteral("Bob Baker"));
        QVERIFY(denied.text.isEmpty());
    }

    // Texts from a calendar are cut, with an ellipsis, to what a cell and a box can show: a
    // subject of megabytes must not take the board minutes to lay out.
    void hugeTextsAreCutWithAnEllipsis_data() {
        QTest::addColumn<int>("subjectLength");
        QTest::addColumn<int>("locationLength");
        QTest::addColumn<int>("items");
        QTest::addColumn<bool>("cellCut"); // a cell shows no location
        QTest::newRow("a 10 MB subject") << 10'000'000 << 6 << 1 << true;
        QTest::newRow("a 10 MB location") << 6 << 10'000'000 << 1 << false;
        QTest::newRow("5,000 items in a day") << 20 << 6 << 5000 << true;
    }
    void hugeTextsAreCutWithAnEllipsis() {
        QFETCH(int, subjectLength);
        QFETCH(int, locationLength);
        QFETCH(int, items);
        QFETCH(bool, cellCut);
        FakeCalendar calendar;
        FakeCalendar::Person& person = calendar.add(QStringLiteral("H"), QString(5'000'000, 'N'));
        for (int i = 0; i < items; ++i) {
            person.items.push_back(item(QStringLiteral("2026-03-02T09:00"),
                                        QStringLiteral("2026-03-02T10:00"),
                                        QString(subjectLength, QLatin1Char('s'))));
            person.items.back().location = QString(locationLength, QLatin1Char('l'));
        }
        const QChar ellipsis(0x2026);
        BoardBuilder builder;
        builder.beginBuild();
        const QString name = builder.memberName(calendar, QStringLiteral("H")).value();
        QCOMPARE(name.size(), kMaxItemText);
        QVERIFY(name.endsWith(ellipsis));

        PersonMonth month =
            builder.openMonth(calendar, QStringLiteral("H"), PersonLookUp::ByEntryId, 3, 2026);
        const QString cell = month.readDay(2).text;
        QVERIFY(cell.size() <= kMaxCellText);
        QCOMPARE(cell.endsWith(ellipsis), cellCut);

        const CellDetails details =
            BoardBuilder::cellDetails(calendar, QStringLiteral("H"), 2, 3, 2026);
        QVERIFY(details.text.size() <= kMaxDetailsText + 2);
        QVERIFY(details.text.contains(ellipsis));
        QVERIFY(details.text.endsWith(QChar(13)));
        QVERIFY(details.name.size() <= kMaxItemText);
    }
};

QTEST_GUILESS_MAIN(BoardBuilderTest)
#include "board_builder_test.moc"
