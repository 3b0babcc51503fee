#include "platform/text_document_word.h"
#include "printout/print_to_word.h"
#include "support/data_files.h"
#include "support/document_windows.h"
#include "support/fake_calendar.h"
#include "support/local_store_fixture.h"
#include "support/odt_reader.h"
#include "support/recording_desktop.h"
#include "support/scripted_prompts.h"

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

test::FakeCalendar::Item item(int month, int day, QTime from, QTime to, const QString& subject,
                              int sensitivity = kSensitivityNormal) {
    return {QDateTime(QDate(2024, month, day), from), QDateTime(QDate(2024, month, day), to),
            subject, sensitivity, QStringLiteral("Room 1")};
}

// The lines of a data file, one paragraph each.
QStringList paragraphsIn(const QString& name) {
    QString text = QString::fromUtf8(test::dataFile(QStringLiteral("printout/") + name));
    text.chop(1);
    return text.split(QLatin1Char('\n'));
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
    // Another calendar service to print from instead of the one in memory.
    CalendarNamespace* service = nullptr;

    PrintBoard board() {
        return PrintBoard{static_cast<int>(rowIds.size()),
                          [this](int row) { return rowIds.value(row - 1); },
                          [this](int row) { selectedRows << row; },
                          service ? *service : calendar,
                          month,
                          2024,
                          QDate(2024, month, 1).daysInMonth()};
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

    // Runs the printout; the pages of the document it leaves on screen, the last one the empty
    // page that every person's closing page break starts.
    QList<QList<OdtParagraph>> print() {
        const QString path = dir.filePath(QStringLiteral("printout.odt"));
        DocumentWindow* window = printOnScreen(path);
        if (!window || !window->saveAsOpenDocument()) {
            QTest::qFail("the document could not be saved", __FILE__, __LINE__);
            return {};
        }
        closeDocumentWindows();
        return test::pagesOf(test::readOdt(path));
    }
};

bool allEmpty(const QList<OdtParagraph>& paragraphs) {
    for (const OdtParagraph& p : paragraphs)
        if (!p.text.isEmpty())
            return false;
    return true;
}

// The day headings of a page: bold italic paragraphs.
QStringList headingsOf(const QList<OdtParagraph>& page) {
    QStringList headings;
    for (const OdtParagraph& p : page)
        if (p.spans.size() == 1 && p.spans[0].italic && p.spans[0].bold)
            headings << p.text;
    return headings;
}

} // namespace

class PrintToWordTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { closeDocumentWindows(); }

    // A board without person rows prints an empty document and reads no calendar.
    void boardWithOnlyTheHeadingRow() {
        Printing printing;
        const auto pages = printing.print();
        QCOMPARE(pages.size(), 1);
        QVERIFY(allEmpty(pages[0]) && !pages[0].first().breakBefore);
        QVERIFY(printing.calendar.lookedUp.isEmpty());
        QVERIFY(printing.selectedRows.isEmpty());
        QVERIFY(printing.prompts.shown.empty());
    }

    // Items are listed under a bold italic heading of their day, in the order the service hands
    // them out, private, personal and confidential subjects masked, huge subjects cut as the
    // board cuts them.
    void itemsUnderTheirDayInServiceOrderWithMasking() {
        Printing printing;
        printing.calendar.add(QStringLiteral("ID-ALICE"), QStringLiteral("Alice")).items = {
            item(3, 4, QTime(14, 0), QTime(15, 30), QStringLiteral("Review")),
            item(3, 4, QTime(9, 0), QTime(10, 0), QStringLiteral("Stand-up")),
            item(3, 4, QTime(11, 0), QTime(12, 0), QStringLiteral("Doctor"), kSensitivityPrivate),
            item(3, 12, QTime(8, 15), QTime(9, 0), QStringLiteral("Dentist"), kSensitivityPersonal),
            item(3, 12, QTime(13, 0), QTime(14, 0), QStringLiteral("Merger"),
                 kSensitivityConfidential),
            item(3, 12, QTime(16, 0), QTime(17, 0), QStringLiteral("Odd one"), 5),
            item(3, 12, QTime(17, 0), QTime(18, 0), QString(2000000, QLatin1Char('x'))),
        };
        printing.rowIds = {QStringLiteral("ID-ALICE")};
        const auto pages = printing.print();
        QCOMPARE(pages.size(), 2);
        QCOMPARE(test::textsOf(pages[0]), paragraphsIn("alice_march.txt"));
        QCOMPARE(headingsOf(pages[0]), (QStringList{"04/03/2024", "12/03/2024"}));
        for (int line = 3; line < pages[0].size(); ++line) {
            QVERIFY(pages[0][line].left());
            if (!pages[0][line].text.isEmpty())
                QCOMPARE(pages[0][line].spans.size(), 1);
        }
        for (int line : {4, 5, 6, 9, 10, 11, 12})
            QVERIFY(!pages[0][line].spans[0].bold && !pages[0][line].spans[0].italic);
    }

    // Every person row gets a page, in row order, its row selected: a person without items their
    // name centred and bold after every day of the month was asked for, each with a fresh item
    // collection; an unknown identifier, one that does not resolve or a denied calendar an empty
    // page.
    void everyRowGetsAPage() {
        Printing printing;
        printing.calendar.add(QStringLiteral("ID-ALICE"), QStringLiteral("Alice Archer"));
        printing.calendar.add(QStringLiteral("ID-BOB"), QStringLiteral("Bob")).resolves = false;
        auto& dan = printing.calendar.add(QStringLiteral("ID-DAN"), QStringLiteral("Dan"));
        dan.denied = true;
        dan.items = {item(3, 1, QTime(9, 0), QTime(10, 0), QStringLiteral("Secret"))};
        printing.calendar.add(QStringLiteral("ID-CAROL"), QStringLiteral("Carol")).items = {
            item(3, 1, QTime(9, 0), QTime(17, 0), QStringLiteral("Training"))};
        printing.rowIds = {"ID-ALICE", "ID-GONE", "ID-BOB", "ID-DAN", "ID-CAROL"};
        const auto pages = printing.print();
        QCOMPARE(pages.size(), 6);
        QCOMPARE(test::textsOf(pages[0]), (QStringList{"Alice Archer", "", ""}));
        QCOMPARE(pages[0][0].spans.size(), 1);
        QVERIFY(pages[0][0].spans[0].bold && !pages[0][0].spans[0].italic);
        QVERIFY(pages[0][0].centred() && pages[0][2].left());
        for (int p : {1, 2, 3, 5})
            QVERIFY(allEmpty(pages[p]));
        QCOMPARE(test::textsOf(pages[4]),
                 (QStringList{"Carol", "", "", "01/03/2024",
                              "01/03/2024 09:00 AM\t01/03/2024 05:00 PM\tTraining", ""}));
        QCOMPARE(printing.calendar.lookedUp, printing.rowIds);
        QCOMPARE(printing.calendar.foldersOpened, (QStringList{"Alice Archer", "Dan", "Carol"}));
        QCOMPARE(printing.calendar.itemsTaken, 2 * 31); // Alice's and Carol's calendars only
        QCOMPARE(printing.selectedRows, (QList<int>{1, 2, 3, 4, 5}));
        QVERIFY(printing.prompts.shown.empty());
    }

    // The same printout from the real local store: masking, a row that is no identifier, a person
    // removed from the address book, a calendar the user may not read, a daily series over a
    // leap February.
    void printoutFromTheLocalStore() {
        using Store = test::LocalStoreFixture;
        Store store;
        const QStringList users{"alice", "bob", "dan", "carol"};
        for (const QString& user : users)
            store.addPerson(user, user.at(0).toUpper() + user.mid(1) + QStringLiteral(" Archer"));
        store.setCalendarText(QStringLiteral("alice"),
                              test::dataFile(QStringLiteral("printout/alice.ics")));
        store.setEvents(QStringLiteral("dan"),
                        {Store::event("2024-02-06T09:00", "2024-02-06T10:00", "Hidden")});
        store.setReaders(QStringLiteral("dan"), {QStringLiteral("alice")});
        store.setEvents(QStringLiteral("carol"),
                        {Store::event("2024-01-31T08:00", "2024-01-31T08:30", "Stand-up",
                                      "RRULE:FREQ=DAILY;COUNT=40\r\n")});
        QStringList ids;
        for (const QString& user : users)
            ids << store.entryIdOf(user);
        store.removePerson(QStringLiteral("bob"));

        Printing printing;
        auto ns = store.openNamespace();
        printing.service = ns.get();
        printing.month = 2;
        printing.rowIds = {ids[0], QStringLiteral("XXX"), ids[1], ids[2], ids[3]};
        const auto pages = printing.print();
        QCOMPARE(pages.size(), 6);
        QCOMPARE(test::textsOf(pages[0]), paragraphsIn("alice_february.txt"));
        for (int p : {1, 2, 3, 5})
            QVERIFY(allEmpty(pages[p]));
        QCOMPARE(pages[4].first().text, QStringLiteral("Carol Archer"));
        QStringList days;
        for (int day = 1; day <= 29; ++day)
            days << QStringLiteral("%1/02/2024").arg(day, 2, 10, QLatin1Char('0'));
        QCOMPARE(headingsOf(pages[4]), days);
        QVERIFY(printing.prompts.shown.empty());
    }

    // A word processor that cannot be started is told once, naming the failure.
    void documentThatCannotBeCreatedIsTold() {
        test::FakeCalendar calendar;
        calendar.add(QStringLiteral("ID-ALICE"), QStringLiteral("Alice"));
        PrintBoard board{1, [](int) { return QStringLiteral("ID-ALICE"); }, {}, calendar, 3, 2024,
                         31};
        test::ScriptedPrompts prompts;
        print_to_word(
            board,
            []() -> std::unique_ptr<WordApplication> {
                throw WordProcessorError(QStringLiteral("no word processor here"));
            },
            prompts, nullptr);
        print_to_word(board, WordApplicationFactory{}, prompts, nullptr);
        QCOMPARE(prompts.count(QStringLiteral("message")), 2);
        QVERIFY(prompts.messageTexts().first().contains(QStringLiteral("could not be created")));
        QVERIFY(prompts.messageTexts().first().contains(QStringLiteral("no word processor here")));
        QCOMPARE(prompts.shown.front().title, QStringLiteral("Print to Word"));
        QVERIFY(documentWindows().isEmpty());
    }

    // A word processor going away mid-way (here its document closed by the user) ends the
    // printout at once, with one message saying the document is incomplete.
    void wordProcessorGoingAwayIsToldOnce() {
        Printing printing;
        printing.rowIds = {"ID-Alice", "ID-Bob", "ID-Carol"};
        for (const QString& id : printing.rowIds)
            printing.calendar.add(id, id.mid(3));
        PrintBoard board = printing.board();
        board.selectNameCell = [&](int row) {
            printing.selectedRows << row;
            if (row == 2)
                closeDocumentWindows();
        };
        DocumentWindowServices services{
            printing.desktop, printing.prompts,
            [](QWidget*, const QString&, const QString&, const QString&) { return QString(); }};
        print_to_word(board, textDocumentWordFactory(services), printing.prompts, nullptr);
        QCOMPARE(printing.selectedRows, (QList<int>{1, 2}));
        QCOMPARE(printing.prompts.messageTexts().size(), 1);
        QVERIFY2(printing.prompts.messageTexts().first().contains(QStringLiteral("incomplete")),
                 qPrintable(printing.prompts.messageTexts().first()));
    }

    // The PDF keeps the pages, and the three fields of an item line stand apart in it as in the
    // document: the tab stops lie past the widest date-time text measured.
    void itemLineFieldsStandApartInThePdf() {
        Printing printing;
        printing.calendar.add(QStringLiteral("ID-ALICE"), QStringLiteral("Alice")).items = {
            item(3, 4, QTime(9, 15), QTime(9, 30), QStringLiteral("Design stand-up")),
            item(3, 4, QTime(12, 0), QTime(23, 45), QStringLiteral("Long day"))};
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
        QCOMPARE(text.count(QLatin1Char('\f')), 2); // Alice's page and the one her break starts
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

    // Item times read day/month/year, then a 12-hour time without seconds.
    void itemTimesAreDateThenTimeOfDay() {
        QCOMPARE(itemTimeText(QDateTime(QDate(1998, 11, 12), QTime(23, 30, 15))),
                 QStringLiteral("12/11/1998 11:30 PM"));
        QCOMPARE(itemTimeText(QDateTime(QDate(1998, 3, 6), QTime(0, 0))),
                 QStringLiteral("06/03/1998 12:00 AM"));
    }
};

QTEST_MAIN(PrintToWordTest)
#include "print_to_word_test.moc"
