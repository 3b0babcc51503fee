// Reading a month with the events that cannot touch it left out before the parse gives every day
// of the month exactly the items reading the whole calendar gives, for hand-written edge cases,
// every calendar of the test data, the fuzz corpus and a generated store's calendar.

#include "calendar/day_query.h"
#include "calendar/ical/expanded_calendar.h"
#include "calendar/ical/month_prefilter.h"
#include "tools/store_generator.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <ctime>
#include <set>

using namespace rv;

namespace {

class SourceFolder : public CalendarFolder {
public:
    explicit SourceFolder(std::shared_ptr<OccurrenceSource> source) : source_(std::move(source)) {}
    std::unique_ptr<CalendarItems> Items() override {
        return std::make_unique<OccurrenceItems>(source_);
    }
    void Display() override {}

private:
    std::shared_ptr<OccurrenceSource> source_;
};

QStringList dayList(CalendarFolder& folder, const QDate& day) {
    const DayQueryResult result = query_day(folder, day.day(), day.month(), day.year());
    QStringList out;
    if (result.failure)
        out << QStringLiteral("failed: ") + result.failure->message();
    for (const auto& item : result.items)
        out << QString::number(item->Start().toMSecsSinceEpoch()) + QLatin1Char('|') +
                   QString::number(item->End().toMSecsSinceEpoch()) + QLatin1Char('|') +
                   item->Subject() + QLatin1Char('|') + QString::number(item->Sensitivity()) +
                   QLatin1Char('|') + item->Location();
    return out;
}

// The month the fuzz seeds are written for and the month the text's first event starts in (as the
// fuzz target asks them), with the month either side of each.
std::set<QDate> monthsOf(const QByteArray& text) {
    static const QRegularExpression start(QStringLiteral("DTSTART[^:\\n]*:(\\d{4})(\\d{2})"),
                                          QRegularExpression::CaseInsensitiveOption);
    std::set<QDate> named{QDate(2024, 3, 1)};
    const auto m = start.match(QString::fromLatin1(text));
    const QDate first(m.captured(1).toInt(), m.captured(2).toInt(), 1);
    if (m.hasMatch() && first.isValid() && first.year() >= 1900 && first.year() <= 2100)
        named.insert(first);
    std::set<QDate> months;
    for (const QDate& m : named)
        months.insert({m.addMonths(-1), m, m.addMonths(1)});
    return months;
}

} // namespace

class MonthPrefilterTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() {
        qputenv("TZ", "Europe/Berlin");
        tzset();
    }

    // The rule above, over the edge cases and every calendar of the test data and fuzz corpus.
    void sameDaysAsReadingEverything_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<bool>("leavesOut");
        // The test data also where the machine's clock is furthest ahead of UTC and behind it;
        // the fuzz corpus where its target runs.
        const QString source = QStringLiteral(ROTAVIEW_SOURCE_DIR);
        for (const auto& [folder, zones] :
             {std::pair{QStringLiteral("/tests/data/ical"),
                        QByteArrayList{"Europe/Berlin", "Pacific/Kiritimati", "Pacific/Pago_Pago"}},
              std::pair{QStringLiteral("/fuzz/corpus/ical_day_query"),
                        QByteArrayList{"Europe/Berlin"}}}) {
            QDirIterator it(source + folder, QDir::Files, QDirIterator::Subdirectories);
            QStringList files;
            while (it.hasNext())
                files << it.next();
            files.sort();
            for (const QString& file : files) {
                QFile f(file);
                QVERIFY(f.open(QIODevice::ReadOnly));
                const QByteArray text = f.readAll();
                for (const QByteArray& zone : zones)
                    QTest::addRow("%s in %s", qPrintable(QDir(source).relativeFilePath(file)),
                                  zone.constData())
                        << text << zone << file.contains(QLatin1String("month_edges"));
            }
        }
        bench::StoreOptions options;
        options.people = 2;
        options.eventsPerPerson = 600;
        options.today = QDate(2024, 3, 15);
        QTest::newRow("generated store") << bench::calendarText(bench::planStore(options), 0)
                                         << QByteArray("Europe/Berlin") << true;
    }

    void sameDaysAsReadingEverything() {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, zone);
        QFETCH(bool, leavesOut);
        qputenv("TZ", zone);
        tzset();
        SourceFolder whole(std::make_shared<ExpandedCalendar>(IcalCalendar::parse(text)));
        SourceFolder prefiltered(
            std::make_shared<ExpandedCalendar>([&](const std::optional<TimeWindow>& window) {
                return IcalCalendar::parse(window ? textForWindow(text, *window).text : text);
            }));
        int leftOut = 0;
        for (const QDate& month : monthsOf(text)) {
            leftOut += textForWindow(text, monthWindow(month.year(), month.month())).eventsLeftOut;
            for (QDate day = month; day.month() == month.month(); day = day.addDays(1))
                QCOMPARE(dayList(prefiltered, day), dayList(whole, day));
        }
        if (leavesOut)
            QVERIFY(leftOut > 0);
    }
};

QTEST_MAIN(MonthPrefilterTest)
#include "month_prefilter_test.moc"
