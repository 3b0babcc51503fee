#include "platform/document_export.h"
#include "platform/text_document_word.h"
#include "support/document_windows.h"
#include "support/odt_reader.h"
#include "support/recording_desktop.h"
#include "support/scripted_prompts.h"

#include <QApplication>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>

using namespace rv;
using test::closeDocumentWindows;
using test::documentWindows;

namespace {

// The word processor over recording doubles; the save chooser answers a path of the test's.
struct WordSetup {
    test::ScriptedPrompts prompts;
    test::RecordingDesktop desktop;
    QTemporaryDir dir;
    QString answerPath;
    QStringList captions;

    DocumentWindowServices services() {
        return {desktop, prompts,
                [this](QWidget*, const QString& caption, const QString&, const QString&) {
                    captions << caption;
                    return answerPath;
                }};
    }
};

// A word processor with a new document on screen.
std::unique_ptr<WordApplication> openWord(WordSetup& setup) {
    auto word = textDocumentWordFactory(setup.services())();
    word->SetVisible(true);
    word->DocumentsAdd();
    return word;
}

DocumentWindow* windowOf(WordApplication& word) {
    return static_cast<TextDocumentWordApplication&>(word).activeWindow();
}

} // namespace

class TextDocumentWordTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { closeDocumentWindows(); }

    // What is typed reaches the saved file with its bold, italic and alignment (which carries over
    // to the next paragraph), page breaks only where asked, and the font named.
    void typedFormattingReachesTheFile() {
        WordSetup setup;
        auto word = openWord(setup);
        WordSelection& s = word->Selection();
        s.SetBold(true);
        s.SetAlignment(kAlignCenter);
        s.TypeText(QStringLiteral("Heading"));
        s.SetBold(false);
        s.TypeParagraph();
        s.TypeText(QStringLiteral("still centred"));
        s.TypeParagraph();
        s.SetAlignment(kAlignLeft);
        s.SetItalic(true);
        s.TypeText(QStringLiteral("slanted"));
        s.SetItalic(false);
        s.TypeText(QStringLiteral("a\tb"));
        s.InsertBreak(kPageBreak);
        s.TypeText(QStringLiteral("second page"));
        s.TypeParagraph();
        s.TypeText(QStringLiteral("line one\nline two"));
        s.InsertBreak(kPageBreak);

        const QList<DocumentWindow*> windows = documentWindows();
        QCOMPARE(windows.size(), 1);
        setup.answerPath = setup.dir.filePath(QStringLiteral("typed"));
        QVERIFY(windows.first()->saveAsOpenDocument());
        QCOMPARE(setup.captions, QStringList{QStringLiteral("Save As")});
        const QString written = setup.dir.filePath(QStringLiteral("typed.odt"));
        QVERIFY(QFile::exists(written));

        const QList<test::OdtParagraph> p = test::readOdt(written);
        QCOMPARE(test::textsOf(p), (QStringList{"Heading", "still centred", "slanteda\tb",
                                                "second page", "line one", "line two", ""}));
        QVERIFY(p[0].centred() && p[1].centred() && p[2].left() && p[3].left());
        QCOMPARE(p[0].spans.size(), 1);
        QVERIFY(p[0].spans[0].bold && !p[1].spans[0].bold);
        QCOMPARE(p[2].spans.size(), 2);
        QVERIFY(p[2].spans[0].italic && !p[2].spans[0].bold && !p[2].spans[1].italic);
        QCOMPARE(p[2].spans[1].text, QStringLiteral("a\tb"));
        // Only the paragraphs a break starts break the page: no later paragraph inherits it.
        QList<bool> breaks;
        for (const auto& paragraph : p)
            breaks << paragraph.breakBefore;
        QCOMPARE(breaks, (QList<bool>{false, false, false, true, false, false, true}));
        // The file names its font rather than leaving it to the reading machine.
        for (const auto& paragraph : p)
            for (const auto& span : paragraph.spans) {
                QCOMPARE(span.fontFamily, QStringLiteral("Times New Roman"));
                QCOMPARE(span.fontSize, QStringLiteral("12pt"));
            }
    }

    // A document on screen outlives the application object and goes when closed; one never shown
    // goes with the application object.
    void documentStaysOpenAfterRelease() {
        WordSetup setup;
        QPointer<DocumentWindow> shown;
        {
            auto word = openWord(setup);
            word->Selection().TypeText(QStringLiteral("kept"));
            shown = windowOf(*word);
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(shown && shown->isVisible());
        QCOMPARE(shown->document()->toPlainText(), QStringLiteral("kept"));
        QVERIFY(shown->testAttribute(Qt::WA_DeleteOnClose));
        shown->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!shown);

        QPointer<DocumentWindow> hidden;
        {
            auto word = textDocumentWordFactory(setup.services())();
            word->DocumentsAdd();
            hidden = windowOf(*word);
            QVERIFY(hidden);
            QVERIFY(!hidden->isVisible());
        }
        QVERIFY(!hidden);
    }

    // A step without a document, with an unknown value, or after the user closed the document
    // throws instead of writing nowhere.
    void failingStepsThrow() {
        WordSetup setup;
        auto word = textDocumentWordFactory(setup.services())();
        QVERIFY_THROWS_EXCEPTION(WordProcessorError, word->Selection());
        word->SetVisible(true);
        word->DocumentsAdd();
        QVERIFY_THROWS_EXCEPTION(WordProcessorError, word->Selection().InsertBreak(6));
        QVERIFY_THROWS_EXCEPTION(WordProcessorError, word->Selection().SetAlignment(9));
        // The user closed the document: every later step fails instead of writing nowhere.
        windowOf(*word)->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY_THROWS_EXCEPTION(WordProcessorError,
                                 word->Selection().TypeText(QStringLiteral("x")));
        QVERIFY_THROWS_EXCEPTION(WordProcessorError, word->Selection().TypeParagraph());
    }

    // A cancelled save is silent; a save or export that fails is told, naming the file.
    void savingFailuresAreTold() {
        WordSetup setup;
        auto word = openWord(setup);
        word->Selection().TypeText(QStringLiteral("text"));
        DocumentWindow* window = windowOf(*word);

        setup.answerPath.clear(); // cancelled
        QVERIFY(!window->saveAsOpenDocument());
        QVERIFY(setup.prompts.shown.empty());

        setup.answerPath = setup.dir.filePath(QStringLiteral("missing/folder/out.odt"));
        QVERIFY(!window->saveAsOpenDocument());
        QVERIFY(!window->exportPdf());
        QCOMPARE(setup.prompts.count(QStringLiteral("message")), 2);
        QVERIFY(setup.prompts.messageTexts().first().contains(QStringLiteral("out.odt")));
    }

    // "Open in word processor" hands the desktop an .odt of the document; a refusal is told.
    void openInWordProcessorHandsOverAnOdt() {
        WordSetup setup;
        auto word = openWord(setup);
        word->Selection().SetBold(true);
        word->Selection().TypeText(QStringLiteral("for the other program"));
        DocumentWindow* window = windowOf(*word);

        QVERIFY(window->openInWordProcessor());
        QCOMPARE(setup.desktop.openedUrls.size(), 1);
        const QString path = setup.desktop.openedUrls.first().toLocalFile();
        QVERIFY(path.endsWith(QStringLiteral(".odt")));
        const QList<test::OdtParagraph> p = test::readOdt(path);
        QCOMPARE(test::textsOf(p), QStringList{QStringLiteral("for the other program")});
        QVERIFY(p.first().spans.first().bold);
        QFile::remove(path);
        QVERIFY(setup.prompts.shown.empty());

        setup.desktop.acceptUrls = false;
        QVERIFY(!window->openInWordProcessor());
        QCOMPARE(setup.prompts.count(QStringLiteral("message")), 1);
        QFile::remove(setup.desktop.openedUrls.last().toLocalFile());
    }
};

QTEST_MAIN(TextDocumentWordTest)
#include "text_document_word_test.moc"
