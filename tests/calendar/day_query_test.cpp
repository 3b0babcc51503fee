#include "calendar/day_query.h"

#include <QTest>
#include <deque>

namespace {

// A calendar folder that plays back a scripted walk and records the calls made on it.
class ScriptedFolder : public rv::CalendarFolder {
public:
    struct Item : rv::AppointmentItem {
        explicit Item(QString subject) : subject_(std::move(subject)) {}
        QDateTime Start() const override { return {}; }
        QDateTime End() const override { return {}; }
        QString Subject() const override { return subject_; }
        int Sensitivity() const override { return 0; }
        QString Location() const override { return {}; }
        QString subject_;
    };
    // One step of the walk: a subject, "" for nothing more, or "!" for a failing call.
    std::deque<QString> steps;
    QStringList calls;

    std::unique_ptr<rv::CalendarItems> Items() override {
        calls << QStringLiteral("Items");
        return std::make_unique<Collection>(*this);
    }
    void Display() override {}

private:
    struct Collection : rv::CalendarItems {
        explicit Collection(ScriptedFolder& folder) : folder_(folder) {}
        void SetIncludeRecurrences(bool include) override {
            folder_.calls << QStringLiteral("IncludeRecurrences=%1").arg(include);
        }
        std::unique_ptr<rv::AppointmentItem> Find(const QString& filter) override {
            folder_.calls << QStringLiteral("Find ") + filter;
            return next();
        }
        std::unique_ptr<rv::AppointmentItem> FindNext() override {
            folder_.calls << QStringLiteral("FindNext");
            return next();
        }
        std::unique_ptr<rv::MailItem> Add(const QString&) override { return nullptr; }
        std::unique_ptr<rv::AppointmentItem> next() {
            const QString step = folder_.steps.empty() ? QString() : folder_.steps.front();
            if (!folder_.steps.empty())
                folder_.steps.pop_front();
            if (step == QLatin1String("!"))
                throw rv::CalendarError(rv::calendar_error::ServerError, QStringLiteral("gone"));
            if (step.isEmpty())
                return nullptr;
            return std::make_unique<Item>(step);
        }
        ScriptedFolder& folder_;
    };
};

QStringList subjects(const rv::DayQueryResult& result) {
    QStringList out;
    for (const auto& item : result.items)
        out << item->Subject();
    return out;
}

} // namespace

class DayQueryTest : public QObject {
    Q_OBJECT
private slots:
    // The day filter is written day first, to the character, as every calendar service reads it.
    void filterIsDayFirstToTheCharacter() {
        QCOMPARE(rv::build_day_filter(5, 3, 1998),
                 QStringLiteral("([Start]>='05/03/1998 12:00 AM' and [start]<= '05/03/1998 11:59 "
                                "PM') or ([Start]<='05/03/1998 12:00 AM' and [end]>= '05/03/1998 "
                                "12:01 AM')"));
        QCOMPARE(rv::dayText(12, 11, 1998), QStringLiteral("12/11/1998"));
    }
    // A day is read from a fresh item collection, with recurrences, by Find with the day filter
    // and then FindNext until nothing more.
    void walksFindThenFindNext() {
        ScriptedFolder folder;
        folder.steps = {QStringLiteral("a"), QStringLiteral("b"), QString()};
        const rv::DayQueryResult result = rv::query_day(folder, 5, 3, 1998);
        QCOMPARE(subjects(result), (QStringList{"a", "b"}));
        QVERIFY(!result.failure);
        QCOMPARE(folder.calls,
                 (QStringList{"Items", "IncludeRecurrences=1",
                              "Find " + rv::build_day_filter(5, 3, 1998), "FindNext", "FindNext"}));
    }
    // A failing call ends the day with the items read so far and the failure; a month that is no
    // date asks nothing of the service.
    void failuresEndTheWalk() {
        ScriptedFolder folder;
        // FindNext fails after two items: both are kept, none is handed over twice.
        folder.steps = {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("!"),
                        QStringLiteral("c")};
        rv::DayQueryResult result = rv::query_day(folder, 5, 3, 1998);
        QCOMPARE(subjects(result), (QStringList{"a", "b"}));
        QVERIFY(result.failure);
        QCOMPARE(result.failure->code(), rv::calendar_error::ServerError);

        // A failed Find: the day counts as empty.
        folder.steps = {QStringLiteral("!")};
        result = rv::query_day(folder, 5, 3, 1998);
        QVERIFY(result.items.empty());
        QVERIFY(result.failure);

        // No month selected: not a date, so nothing is asked of the service.
        folder.calls.clear();
        result = rv::query_day(folder, 5, 0, 1998);
        QVERIFY(result.items.empty());
        QVERIFY(result.failure);
        QVERIFY(folder.calls.isEmpty());
    }
};

QTEST_MAIN(DayQueryTest)
#include "day_query_test.moc"
