#include "platform/text_document_word.h"

#include <QApplication>
#include <QFont>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextOption>

namespace rv {

namespace {

// The document font. The ODF writer ignores the document's default font and names a family on
// every span, so each typed span carries family and size itself.
const QString kDocumentFontFamily = QStringLiteral("Times New Roman");
constexpr qreal kDocumentFontPoints = 12;

// Tab stops every half inch, as word processors default to. Set on each paragraph: printing
// drops the document's default text option, and Qt's own default of 80 pixels pushes a tabbed
// line past the page width.
QList<QTextOption::Tab> halfInchTabs() {
    QList<QTextOption::Tab> tabs;
    for (int stop = 1; stop <= 16; ++stop)
        tabs.append(QTextOption::Tab(stop * 48.0, QTextOption::LeftTab));
    return tabs;
}

QTextBlockFormat freshParagraph(Qt::Alignment alignment) {
    QTextBlockFormat format;
    format.setAlignment(alignment);
    format.setTabPositions(halfInchTabs());
    return format;
}

QTextCharFormat plainTyping() {
    QTextCharFormat format;
    format.setFontFamilies({kDocumentFontFamily});
    format.setProperty(QTextFormat::FontFamily, kDocumentFontFamily);
    format.setFontPointSize(kDocumentFontPoints);
    format.setFontWeight(QFont::Normal);
    format.setFontItalic(false);
    return format;
}

Qt::Alignment alignmentOf(int alignment) {
    switch (alignment) {
    case 0:
        return Qt::AlignLeft;
    case 1:
        return Qt::AlignHCenter;
    case 2:
        return Qt::AlignRight;
    case 3:
        return Qt::AlignJustify;
    default:
        throw WordProcessorError(QStringLiteral("unknown paragraph alignment %1").arg(alignment));
    }
}

} // namespace

// Writes at the end of one document. Each new paragraph gets a block format of its own that
// keeps only the alignment: insertBlock() would otherwise copy a page break onto every later
// paragraph.
class TextCursorSelection : public WordSelection {
public:
    explicit TextCursorSelection(QTextDocument* document)
        : document_(document), cursor_(document), typing_(plainTyping()) {
        cursor_.setBlockFormat(freshParagraph(Qt::AlignLeft));
        cursor_.setBlockCharFormat(typing_);
    }

    void SetBold(bool bold) override {
        check();
        typing_.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    }
    void SetItalic(bool italic) override {
        check();
        typing_.setFontItalic(italic);
    }
    void SetAlignment(int alignment) override {
        check();
        QTextBlockFormat format;
        format.setAlignment(alignmentOf(alignment));
        cursor_.mergeBlockFormat(format);
    }
    void TypeText(const QString& text) override {
        check();
        // A line break in the text ends the paragraph, as the typed text would in a word
        // processor; the cursor's own splitting would copy the block format.
        const QStringList lines =
            QString(text)
                .replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
                .split(QRegularExpression(QStringLiteral("[\\r\\n\\x{2028}\\x{2029}]")));
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (i > 0)
                newParagraph(false);
            if (!lines[i].isEmpty())
                cursor_.insertText(lines[i], typing_);
        }
    }
    void TypeParagraph() override {
        check();
        newParagraph(false);
    }
    void InsertBreak(int kind) override {
        check();
        if (kind != kPageBreak)
            throw WordProcessorError(QStringLiteral("unknown break kind %1").arg(kind));
        newParagraph(true);
    }

private:
    void check() const {
        if (!document_)
            throw WordProcessorError(QStringLiteral("the document was closed"));
    }
    void newParagraph(bool onNewPage) {
        QTextBlockFormat format = freshParagraph(cursor_.blockFormat().alignment());
        if (onNewPage)
            format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        cursor_.insertBlock(format, typing_);
    }

    QPointer<QTextDocument> document_;
    QTextCursor cursor_;
    QTextCharFormat typing_;
};

TextDocumentWordApplication::TextDocumentWordApplication(DocumentWindowServices services)
    : services_(std::move(services)) {}

TextDocumentWordApplication::~TextDocumentWordApplication() {
    selection_.reset();
    if (visible_)
        return;
    for (const auto& window : windows_)
        delete window.data();
}

void TextDocumentWordApplication::SetVisible(bool visible) {
    visible_ = visible;
    for (const auto& window : windows_) {
        if (!window)
            continue;
        window->setVisible(visible);
        if (visible) {
            window->raise();
            window->activateWindow();
        }
    }
}

void TextDocumentWordApplication::DocumentsAdd() {
    auto* window =
        new DocumentWindow(services_, QStringLiteral("Document%1").arg(windows_.size() + 1));
    QTextDocument* document = window->document();
    document->setDefaultFont(QFont(kDocumentFontFamily, static_cast<int>(kDocumentFontPoints)));
    windows_.emplace_back(window);
    selection_ = std::make_unique<TextCursorSelection>(document);
    if (visible_) {
        window->show();
        window->raise();
        window->activateWindow();
    }
}

WordSelection& TextDocumentWordApplication::Selection() {
    if (!selection_)
        throw WordProcessorError(QStringLiteral("no document is open"));
    return *selection_;
}

DocumentWindow* TextDocumentWordApplication::activeWindow() const {
    return windows_.empty() ? nullptr : windows_.back().data();
}

WordApplicationFactory textDocumentWordFactory(DocumentWindowServices services) {
    return [services]() -> std::unique_ptr<WordApplication> {
        if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
            throw WordProcessorError(QStringLiteral("there is no desktop session to show it in"));
        return std::make_unique<TextDocumentWordApplication>(services);
    };
}

} // namespace rv
