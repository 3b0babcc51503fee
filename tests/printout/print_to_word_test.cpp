#include "platform/text_document_word.h"
#include "printout/print_to_word.h"
#include "support/document_windows.h"
#include "support/fake_calendar.h"
#include "support/local_store_fixture.h"
#include "support/odt_reader.h"
#include "support/recording_desktop.h"
#include "support/scripted_prompts.h"

#include <QApplication>
#include <QFile>
#include <QPointer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QTextEdit>

using namespace rv;
using test::closeDocumentWindows;
using test::documentWindows;
using test::OdtParagraph;

namespace {

test::FakeCalendar::Item item(int year, int month, int day, QTime from, QTime to,
                              const QString& subject, int sensitivity = kSensitivityNormal) {
    return {QDateTime(QDate(year, month, day), from), QDateTime(QDate(year, month, day), to),
            subject, sensitivity, QStringLiteral("Room 1")};
}

// A board of person rows over a calendar held in memory, printed with the program's own word
// processor and saved to an .odt through its document window.
struct Printing {
    test::FakeCalendar calendar;
    test::ScriptedPrompts prompts;
    test::RecordingDesktop desktop;
    QTemporaryDir dir;
    QStringList rowIds; // the stored identifier of row 1, 2, ...
    QList<int> selectedRows;
    int month = 3;
    int year = 2024;
    // Another calendar service to print from instead of the one in memory.
    CalendarNamespace* service = nullptr;

    PrintBoard board() {
        return PrintBoard{static_cast<int>(rowIds.size()),
                          [this](int row) { return rowIds.value(row - 1); },
                          [this](int row) { selectedRows << row; },
                          service ? *service : calendar,
                          month,
                          year,
                          QDate(year, month, 1).daysInMonth()};
    }

    // Runs the printout; the document window it leaves on screen, whose file chooser answers
    // `path`.
    DocumentWindow* printOnScreen(const QString& path) {
        DocumentWindowServices services{
            desktop, prompts,
            [path](QWidget*, const QString&, const QString&, const QString&) { return path; }};
        print_to_word(board(), textDocumentWordFactory(services), prompts, nullptr);
        const QList<DocumentWindow*> windows = documentWindows();
        if (windows.size() != 1 || !windows.first()->isVisible()) {
            QTest::qFail("the printout left no document on screen", __FILE__, __LINE__);
            return nullptr;
        }
        return windows.first();
    }

    // Runs the printout; the paragraphs of the document it leaves on screen.
    QList<OdtParagraph> print() {
        const QString path = dir.filePath(QStringLiteral("printout.odt"));
        DocumentWindow* window = printOnScreen(path);
        if (!window)
            return {};
        if (!window->saveAsOpenDocument()) {
            QTest::qFail("the document could not be saved", __FILE__, __LINE__);
            return {};
        }
        closeDocumentWindows();
        return test::readOdt(path);
    }
};

// Every person's page ends with a page break, so the document ends on an empty page of its own.
bool endsWithPageBreak(const QList<OdtParagraph>& paragraphs) {
    return !paragraphs.isEmpty() && paragraphs.last().breakBefore &&
           paragraphs.last().text.isEmpty();
}

bool allEmpty(const QList<OdtParagraph>& paragraphs) {
    for (const OdtParagraph& p : paragraphs)
        if (!p.text.isEmpty())
            return false;
    return true;
}

// A word processor that records every step it is asked for, and can fail from a given step on.
// The log outlives the application object, which the printout releases at its end.
struct WordLog {
    QStringList steps;
    int selections = 0;
    int failFromStep = -1;
};

class RecordingWord : public WordApplication, public WordSelection {
public:
    explicit RecordingWord(WordLog& log) : log_(log) {}

    void SetVisible(bool visible) override { record(QStringLiteral("Visible %1").arg(visible)); }
    void DocumentsAdd() override { record(QStringLiteral("DocumentsAdd")); }
    WordSelection& Selection() override {
        ++log_.selections;
        return *this;
    }
    void SetBold(bool bold) override { record(QStringLiteral("Bold %1").arg(bold)); }
    void SetItalic(bool italic) override { record(QStringLiteral("Italic %1").arg(italic)); }
    void SetAlignment(int alignment) override {
        record(QStringLiteral("Alignment %1").arg(alignment));
    }
    void TypeText(const QString& text) override { record(QStringLiteral("Text ") + text); }
    void TypeParagraph() override { record(QStringLiteral("Paragraph")); }
    void InsertBreak(int kind) override { record(QStringLiteral("Break %1").arg(kind)); }

private:
    void record(const QString& step) {
        if (log_.failFromStep >= 0 && log_.steps.size() >= log_.failFromStep)
            throw WordProcessorError(QStringLiteral("the word processor went away"));
        log_.steps << step;
    }
    WordLog& log_;
};

WordApplicationFactory recordingWord(WordLog& log) {
    return [&log]() -> std::unique_ptr<WordApplication> {
        return std::make_unique<RecordingWord>(log);
    };
}

} // namespace

class PrintToWordTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { closeDocumentWindows(); }

    void boardWithOnlyTheHeadingRow() {
        Printing printing;
        const QList<OdtParagraph> document = printing.print();
        QVERIFY(allEmpty(document));
        for (const OdtParagraph& p : document)
            QVERIFY(!p.breakBefore);
        QVERIFY(printing.calendar.lookedUp.isEmpty());
        QVERIFY(printing.selectedRows.isEmpty());
        QVERIFY(printing.prompts.shown.empty());
    }

    void personWithoutItemsGetsANamePage() {
        Printing printing;
        printing.calendar.add(QStringLiteral("ID-ALICE"), QStringLiteral("Alice Archer"));
        printing.rowIds = {QStringLiteral("ID-ALICE")};
        const QList<OdtParagraph> document = printing.print();

        const auto pages = test::pagesOf(document);
        QCOMPARE(pages.size(), 2);
        QCOMPARE(test::textsOf(pages[0]), (QStringList{"Alice Archer", "", ""}));
        QVERIFY(pages[0][0].centred());
        QCOMPARE(pages[0][0].spans.size(), 1);
        QVERIFY(pages[0][0].spans[0].bold);
        QVERIFY(!pages[0][0].spans[0].italic);
        QVERIFY(pages[0][2].left());
        QVERIFY(allEmpty(pages[1]));
        QVERIFY(endsWithPageBreak(document));
        // Every day of the month was asked for, each with a fresh item collection.
        QCOMPARE(printing.calendar.itemsTaken, 31);
        QCOMPARE(printing.calendar.filters.size(), 31);
        QCOMPARE(printing.selectedRows, QList<int>{1});
        QVERIFY(printing.prompts.shown.empty());
    }

    void itemsUnderTheirDayInServiceOrderWithMasking() {
        Printing printing;
        auto& alice = printing.calendar.add(QStringLiteral("ID-ALICE"), QStringLiteral("Alice"));
        // The service hands the later item out first; the printout keeps its order.
        alice.items = {
            item(2024, 3, 4, QTime(14, 0), QTime(15, 30), QStringLiteral("Review")),
            item(2024, 3, 4, QTime(9, 0), QTime(10, 0), QStringLiteral("Stand-up")),
            item(2024, 3, 4, QTime(11, 0), QTime(12, 0), QStringLiteral("Doctor"),
                 kSensitivityPrivate),
            item(2024, 3, 12, QTime(8, 15), QTime(9, 0), QStringLiteral("Dentist"),
                 kSensitivityPersonal),
            item(2024, 3, 12, QTime(13, 0), QTime(14, 0), QStringLiteral("Merger"),
                 kSensitivityConfidential),
            item(2024, 3, 12, QTime(16, 0), QTime(17, 0), QStringLiteral("Odd one"), 5),
            // A subject of megabytes is cut as the board cuts it, or the document would take
            // minutes to lay out.
            item(2024, 3, 12, QTime(17, 0), QTime(18, 0), QString(2000000, QLatin1Char('x'))),
        };
        printing.rowIds = {QStringLiteral("ID-ALICE")};
        const QList<OdtParagraph> document = printing.print();

        const auto pages = test::pagesOf(document);
        QCOMPARE(pages.size(), 2);
        const QStringList expected{
            "Alice",
            "",
            "",
            "04/03/2024",
            "04/03/2024 02:00 PM\t04/03/2024 03:30 PM\tReview",
            "04/03/2024 09:00 AM\t04/03/2024 10:00 AM\tStand-up",
            "04/03/2024 11:00 AM\t04/03/2024 12:00 PM\tPrivate Appointment",
            "",
            "12/03/2024",
            "12/03/2024 08:15 AM\t12/03/2024 09:00 AM\tPersonal Appointment",
            "12/03/2024 01:00 PM\t12/03/2024 02:00 PM\tConfidential Appointment",
            "12/03/2024 04:00 PM\t12/03/2024 05:00 PM\tOdd one",
            "12/03/2024 05:00 PM\t12/03/2024 06:00 PM\t" + QString(255, QLatin1Char('x')) +
                QChar(0x2026),
            "",
        };
        QCOMPARE(test::textsOf(pages[0]), expected);
        for (int heading : {3, 8}) {
            QCOMPARE(pages[0][heading].spans.size(), 1);
            QVERIFY(pages[0][heading].spans[0].bold);
            QVERIFY(pages[0][heading].spans[0].italic);
            QVERIFY(pages[0][heading].left());
        }
        for (int line : {4, 5, 6, 9, 10, 11, 12}) {
            QCOMPARE(pages[0][line].spans.size(), 1);
            QVERIFY(!pages[0][line].spans[0].bold);
            QVERIFY(!pages[0][line].spans[0].italic);
            QVERIFY(pages[0][line].left());
        }
        QVERIFY(endsWithPageBreak(document));
    }

    void unresolvedPeopleGetAnEmptyPage() {
        Printing printing;
        printing.calendar.add(QStringLiteral("ID-BOB"), QStringLiteral("Bob")).resolves = false;
        auto& carol = printing.calendar.add(QStringLiteral("ID-CAROL"), QStringLiteral("Carol"));
        carol.items = {item(2024, 3, 1, QTime(9, 0), QTime(17, 0), QStringLiteral("Training"))};
        // An identifier the service does not know, one it knows but cannot resolve, then Carol.
        printing.rowIds = {QStringLiteral("ID-GONE"), QStringLiteral("ID-BOB"),
                           QStringLiteral("ID-CAROL")};
        const QList<OdtParagraph> document = printing.print();

        const auto pages = test::pagesOf(document);
        QCOMPARE(pages.size(), 4);
        QVERIFY(allEmpty(pages[0]));
        QVERIFY(allEmpty(pages[1]));
        QCOMPARE(test::textsOf(pages[2]),
                 (QStringList{"Carol", "", "", "01/03/2024",
                              "01/03/2024 09:00 AM\t01/03/2024 05:00 PM\tTraining", ""}));
        QVERIFY(pages[2][0].centred());
        QVERIFY(allEmpty(pages[3]));
        QVERIFY(endsWithPageBreak(document));
        QCOMPARE(printing.calendar.lookedUp, (QStringList{"ID-GONE", "ID-BOB", "ID-CAROL"}));
        QCOMPARE(printing.calendar.foldersOpened, QStringList{QStringLiteral("Carol")});
        QCOMPARE(printing.selectedRows, (QList<int>{1, 2, 3}));
        QVERIFY(printing.prompts.shown.empty());
    }

    void deniedCalendarGetsAnEmptyPage() {
        Printing printing;
        auto& dan = printing.calendar.add(QStringLiteral("ID-DAN"), QStringLiteral("Dan"));
        dan.denied = true;
        dan.items = {item(2024, 3, 5, QTime(9, 0), QTime(10, 0), QStringLiteral("Secret"))};
        auto& carol = printing.calendar.add(QStringLiteral("ID-CAROL"), QStringLiteral("Carol"));
        carol.items = {item(2024, 3, 5, QTime(9, 0), QTime(10, 0), QStringLiteral("Visible"))};
        printing.rowIds = {QStringLiteral("ID-DAN"), QStringLiteral("ID-CAROL")};
        const QList<OdtParagraph> document = printing.print();

        const auto pages = test::pagesOf(document);
        QCOMPARE(pages.size(), 3);
        QVERIFY(allEmpty(pages[0]));
        QCOMPARE(test::textsOf(pages[1]).first(), QStringLiteral("Carol"));
        QCOMPARE(test::textsOf(pages[1]).at(4),
                 QStringLiteral("05/03/2024 09:00 AM\t05/03/2024 10:00 AM\tVisible"));
        QVERIFY(allEmpty(pages[2]));
        QCOMPARE(printing.calendar.foldersOpened, (QStringList{"Dan", "Carol"}));
        // Only Carol's calendar was read.
        QCOMPARE(printing.calendar.itemsTaken, 31);
        QVERIFY(printing.prompts.shown.empty());
    }

    void leapFebruaryListsTwentyNineDays() {
        Printing printing;
        printing.month = 2;
        printing.year = 2024;
        auto& alice = printing.calendar.add(QStringLiteral("ID-ALICE"), QStringLiteral("Alice"));
        for (int day = 1; day <= 29; ++day)
            alice.items.push_back(
                item(2024, 2, day, QTime(10, 0), QTime(11, 0), QStringLiteral("Day %1").arg(day)));
        printing.rowIds = {QStringLiteral("ID-ALICE")};
        const QList<OdtParagraph> document = printing.print();

        QStringList headings;
        QStringList lines;
        for (const OdtParagraph& p : document) {
            if (p.spans.size() == 1 && p.spans[0].italic)
                headings << p.text;
            else if (p.text.contains(QLatin1Char('\t')))
                lines << p.text.section(QLatin1Char('\t'), 2);
        }
        QStringList expectedHeadings;
        QStringList expectedLines;
        for (int day = 1; day <= 29; ++day) {
            expectedHeadings << dayTextForTest(day);
            expectedLines << QStringLiteral("Day %1").arg(day);
        }
        QCOMPARE(headings, expectedHeadings);
        QCOMPARE(lines, expectedLines);
        QCOMPARE(printing.calendar.itemsTaken, 29);
        QVERIFY(printing.calendar.filters.last().contains(QStringLiteral("29/02/2024")));
        QCOMPARE(test::pagesOf(document).size(), 2);
        QVERIFY(endsWithPageBreak(document));
    }

    void printoutFromTheLocalStore() {
        using Store = test::LocalStoreFixture;
        Store store;
        store.addPerson(QStringLiteral("alice"), QStringLiteral("Alice Archer"));
        store.addPerson(QStringLiteral("bob"), QStringLiteral("Bob Baker"));
        store.addPerson(QStringLiteral("dan"), QStringLiteral("Dan Dale"));
        store.addPerson(QStringLiteral("carol"), QStringLiteral("Carol Cole"));
        store.setEvents(
            QStringLiteral("alice"),
            {Store::event("2024-02-06T09:00", "2024-02-06T10:00", "Planning"),
             Store::event("2024-02-06T11:00", "2024-02-06T12:00", "Doctor", "CLASS:PRIVATE\r\n"),
             Store::event("2024-02-07T13:00", "2024-02-07T14:00", "Merger",
                          "CLASS:CONFIDENTIAL\r\n"),
             Store::event("2024-02-07T15:00", "2024-02-07T16:00", "Dentist",
                          "X-ROTAVIEW-PERSONAL:TRUE\r\n")});
        store.setEvents(QStringLiteral("dan"),
                        {Store::event("2024-02-06T09:00", "2024-02-06T10:00", "Hidden")});
        store.setReaders(QStringLiteral("dan"), {QStringLiteral("alice")});
        // A daily series: one item of its own on every day of the leap February.
        store.setEvents(QStringLiteral("carol"),
                        {Store::event("2024-01-31T08:00", "2024-01-31T08:30", "Stand-up",
                                      "RRULE:FREQ=DAILY;COUNT=40\r\n")});
        const QString alice = store.entryIdOf(QStringLiteral("alice"));
        const QString bob = store.entryIdOf(QStringLiteral("bob"));
        const QString dan = store.entryIdOf(QStringLiteral("dan"));
        const QString carol = store.entryIdOf(QStringLiteral("carol"));
        store.removePerson(QStringLiteral("bob")); // his identifier no longer resolves

        Printing printing;
        auto ns = store.openNamespace();
        printing.service = ns.get();
        printing.month = 2;
        printing.year = 2024;
        printing.rowIds = {alice, QStringLiteral("XXX"), bob, dan, carol};
        const QList<OdtParagraph> document = printing.print();

        const auto pages = test::pagesOf(document);
        QCOMPARE(pages.size(), 6);
        QCOMPARE(
            test::textsOf(pages[0]),
            (QStringList{"Alice Archer", "", "", "06/02/2024",
                         "06/02/2024 09:00 AM\t06/02/2024 10:00 AM\tPlanning",
                         "06/02/2024 11:00 AM\t06/02/2024 12:00 PM\tPrivate Appointment", "",
                         "07/02/2024",
                         "07/02/2024 01:00 PM\t07/02/2024 02:00 PM\tConfidential Appointment",
                         "07/02/2024 03:00 PM\t07/02/2024 04:00 PM\tPersonal Appointment", ""}));
        QVERIFY(allEmpty(pages[1])); // "XXX": not an identifier of the store
        QVERIFY(allEmpty(pages[2])); // Bob: no longer in the address book
        QVERIFY(allEmpty(pages[3])); // Dan: his calendar may not be read
        QCOMPARE(pages[4].first().text, QStringLiteral("Carol Cole"));
        QStringList headings;
        for (const OdtParagraph& p : pages[4])
            if (!p.spans.isEmpty() && p.spans[0].italic)
                headings << p.text;
        QCOMPARE(headings.size(), 29);
        QCOMPARE(headings.first(), QStringLiteral("01/02/2024"));
        QCOMPARE(headings.last(), QStringLiteral("29/02/2024"));
        QVERIFY(allEmpty(pages[5]));
        QVERIFY(endsWithPageBreak(document));
        QVERIFY(printing.prompts.shown.empty());
    }

    void wordProcessorStepsInOrder() {
        test::FakeCalendar calendar;
        calendar.add(QStringLiteral("ID-ALICE"), QStringLiteral("Alice")).items = {
            item(2024, 3, 5, QTime(9, 0), QTime(10, 0), QStringLiteral("Plan"))};
        calendar.add(QStringLiteral("ID-BOB"), QStringLiteral("Bob")).resolves = false;
        test::ScriptedPrompts prompts;
        WordLog log;
        const QStringList ids{QStringLiteral("ID-ALICE"), QStringLiteral("ID-BOB")};
        PrintBoard board{2, [&](int row) { return ids.value(row - 1); }, {}, calendar, 3, 2024, 31};
        print_to_word(board, recordingWord(log), prompts, nullptr);

        const QStringList expected{
            "Visible 1", "DocumentsAdd", "Bold 1", "Alignment 1", "Text Alice", "Bold 0",
            "Paragraph", "Paragraph", "Alignment 0",
            // the day heading
            "Paragraph", "Bold 1", "Italic 1", "Text 05/03/2024", "Paragraph", "Bold 0", "Italic 0",
            // the item line
            "Text 05/03/2024 09:00 AM\t05/03/2024 10:00 AM\tPlan", "Paragraph",
            // Alice's page break, then Bob's
            "Break 7", "Break 7"};
        QCOMPARE(log.steps, expected);
        // The insertion point is fetched afresh for every write.
        QCOMPARE(log.selections, static_cast<int>(expected.size()) - 2);
        QVERIFY(prompts.shown.empty());
    }

    void documentThatCannotBeCreatedIsTold() {
        test::FakeCalendar calendar;
        calendar.add(QStringLiteral("ID-ALICE"), QStringLiteral("Alice"));
        test::ScriptedPrompts prompts;
        PrintBoard board{1, [](int) { return QStringLiteral("ID-ALICE"); }, {}, calendar, 3, 2024,
                         31};
        print_to_word(
            board,
            []() -> std::unique_ptr<WordApplication> {
                throw WordProcessorError(QStringLiteral("no word processor here"));
            },
            prompts, nullptr);
        QCOMPARE(prompts.count(QStringLiteral("message")), 1);
        QVERIFY(prompts.messageTexts().first().contains(QStringLiteral("could not be created")));
        QVERIFY(prompts.messageTexts().first().contains(QStringLiteral("no word processor here")));
        QCOMPARE(prompts.shown.front().title, QStringLiteral("Print to Word"));
        QVERIFY(documentWindows().isEmpty());

        // An empty factory is told the same way.
        test::ScriptedPrompts unset;
        print_to_word(board, WordApplicationFactory{}, unset, nullptr);
        QCOMPARE(unset.count(QStringLiteral("message")), 1);
    }

    void wordProcessorGoingAwayIsToldOnce() {
        test::FakeCalendar calendar;
        for (const char* name : {"Alice", "Bob", "Carol"})
            calendar.add(QStringLiteral("ID-") + QString::fromLatin1(name),
                         QString::fromLatin1(name));
        const QStringList ids{"ID-Alice", "ID-Bob", "ID-Carol"};
        test::ScriptedPrompts prompts;
        WordLog log;
        log.failFromStep = 7; // Alice's second paragraph end
        const WordApplicationFactory failing = recordingWord(log);
        PrintBoard board{3, [&](int row) { return ids.value(row - 1); }, {}, calendar, 3, 2024, 31};
        print_to_word(board, failing, prompts, nullptr);
        QCOMPARE(prompts.count(QStringLiteral("message")), 1);
        QVERIFY(prompts.messageTexts().first().contains(QStringLiteral("went away")));
        QVERIFY(prompts.messageTexts().first().contains(QStringLiteral("incomplete")));
        QCOMPARE(log.steps.size(), 7);

        // A document closed by the user mid-way is the same failure.
        test::ScriptedPrompts closedPrompts;
        test::RecordingDesktop desktop;
        DocumentWindowServices services{
            desktop, closedPrompts,
            [](QWidget*, const QString&, const QString&, const QString&) { return QString(); }};
        int secondRowSelected = 0;
        PrintBoard closingBoard{3,
                                [&](int row) { return ids.value(row - 1); },
                                [&](int row) {
                                    if (row == 2) {
                                        ++secondRowSelected;
                                        closeDocumentWindows();
                                    }
                                },
                                calendar,
                                3,
                                2024,
                                31};
        print_to_word(closingBoard, textDocumentWordFactory(services), closedPrompts, nullptr);
        QCOMPARE(secondRowSelected, 1);
        QCOMPARE(closedPrompts.count(QStringLiteral("message")), 1);
    }

    // The three fields of an item line stand apart in the PDF as in the document: the tab stops
    // lie past the widest date-time text measured.
    void itemLineFieldsStandApartInThePdf() {
        Printing printing;
        printing.calendar.add(QStringLiteral("ID-ALICE"), QStringLiteral("Alice")).items = {
            item(2024, 3, 4, QTime(9, 15), QTime(9, 30), QStringLiteral("Design stand-up")),
            item(2024, 3, 4, QTime(12, 0), QTime(23, 45), QStringLiteral("Long day"))};
        printing.rowIds = {QStringLiteral("ID-ALICE")};
        const QString pdf = printing.dir.filePath(QStringLiteral("printout.pdf"));
        DocumentWindow* window = printing.printOnScreen(pdf);
        QVERIFY(window);
        QVERIFY(window->exportPdf());

        QProcess pdftotext;
        pdftotext.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, "-"});
        QVERIFY2(pdftotext.waitForFinished(30000) && pdftotext.exitCode() == 0,
                 "pdftotext (poppler-utils) read the PDF");
        const QString text = QString::fromUtf8(pdftotext.readAllStandardOutput());
        // Fields apart: at least two blanks between them where the PDF's text is laid out.
        static const QRegularExpression itemLine(
            QStringLiteral("(\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d [AP]M) {2,}"
                           "(\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d [AP]M) {2,}(\\S.*\\S)"));
        QStringList lines;
        for (const QString& line : text.split(QLatin1Char('\n')))
            if (const auto found = itemLine.match(line); found.hasMatch())
                lines << found.captured(1) + QLatin1Char('|') + found.captured(2) +
                             QLatin1Char('|') + found.captured(3);
        QCOMPARE(lines, (QStringList{"04/03/2024 09:15 AM|04/03/2024 09:30 AM|Design stand-up",
                                     "04/03/2024 12:00 PM|04/03/2024 11:45 PM|Long day"}));
    }

    // Closing a printout asks before edits the user typed there are lost; what the printout
    // itself wrote needs no question.
    void closingAnEditedPrintoutAsks_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("staysOpen");
        QTest::addColumn<bool>("saved");
        QTest::newRow("save") << int(Prompts::SaveAnswer::Save) << false << true;
        QTest::newRow("discard") << int(Prompts::SaveAnswer::Discard) << false << false;
        QTest::newRow("cancel") << int(Prompts::SaveAnswer::Cancel) << true << false;
    }
    void closingAnEditedPrintoutAsks() {
        QFETCH(int, answer);
        QFETCH(bool, staysOpen);
        QFETCH(bool, saved);
        Printing printing;
        printing.calendar.add(QStringLiteral("ID-ALICE"), QStringLiteral("Alice"));
        printing.rowIds = {QStringLiteral("ID-ALICE")};
        const QString odt = printing.dir.filePath(QStringLiteral("edited.odt"));
        QPointer<DocumentWindow> window = printing.printOnScreen(odt);
        QVERIFY(window);
        QVERIFY(!window->document()->isModified());
        QTest::keyClicks(window->editor(), QStringLiteral("My note"));
        QVERIFY(window->document()->isModified());

        printing.prompts.saveAnswers = {Prompts::SaveAnswer(answer)};
        window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(printing.prompts.count(QStringLiteral("save")), 1);
        QCOMPARE(printing.prompts.shown.back().text,
                 QStringLiteral("\"Document1\" has changes that are not saved. Save them before "
                                "closing?"));
        QCOMPARE(!window.isNull() && window->isVisible(), staysOpen);
        QCOMPARE(QFile::exists(odt), saved);
        if (saved)
            QVERIFY(test::textsOf(test::readOdt(odt)).join(QLatin1Char('\n')).contains("My note"));
        if (window) {
            printing.prompts.saveAnswers = {Prompts::SaveAnswer::Discard};
            closeDocumentWindows();
        }
    }

    void itemTimesAreDateThenTimeOfDay() {
        QCOMPARE(itemTimeText(QDateTime(QDate(1998, 3, 5), QTime(9, 0))),
                 QStringLiteral("05/03/1998 09:00 AM"));
        QCOMPARE(itemTimeText(QDateTime(QDate(1998, 11, 12), QTime(23, 30, 15))),
                 QStringLiteral("12/11/1998 11:30 PM"));
        QCOMPARE(itemTimeText(QDateTime(QDate(1998, 3, 6), QTime(0, 0))),
                 QStringLiteral("06/03/1998 12:00 AM"));
    }

private:
    static QString dayTextForTest(int day) {
        return QStringLiteral("%1/02/2024").arg(day, 2, 10, QLatin1Char('0'));
    }
};

QTEST_MAIN(PrintToWordTest)
#include "print_to_word_test.moc"
