#include "platform/text_document_word.h"

#include <QApplication>
#include <QFont>
#include <QFontMetricsF>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextOption>

#include <cmath>

namespace rv {

namespace {

// The document font. The ODF writer ignores the document's default font and names a family on
// every span, so each typed span carries family and size itself.
const QString kDocumentFontFamily = QStringLiteral("Times New Roman");
constexpr qreal kDocumentFontPoints = 12;

// Document lengths are pixels of 1/96 inch, as Qt's ODF writer and printing take them.
constexpr qreal kHalfInch = 48;
// The least room between the end of a tabbed field and the next field.
constexpr qreal kFieldGap = 24;

// The left tab stops of every paragraph: one after each column of tabbed fields typed so far,
// placed from the widest field measured in it, then stops every half inch, as word processors
// default to. Set on each paragraph: printing drops the document's default text option, and
// Qt's own default of 80 pixels pushes a tabbed line past the page width.
QList<QTextOption::Tab> tabStops(const QList<qreal>& fieldWidths) {
    QList<QTextOption::Tab> tabs;
    qreal stop = 0;
    for (const qreal width : fieldWidths) {
        stop += width + kFieldGap;
        tabs.append(QTextOption::Tab(stop, QTextOption::LeftTab));
    }
    for (qreal next = (std::floor(stop / kHalfInch) + 1) * kHalfInch; tabs.size() < 16;
         next += kHalfInch)
        tabs.append(QTextOption::Tab(next, QTextOption::LeftTab));
    return tabs;
}

QTextBlockFormat freshParagraph(Qt::Alignment alignment, const QList<qreal>& fieldWidths) {
    QTextBlockFormat format;
    format.setAlignment(alignment);
    format.setTabPositions(tabStops(fieldWidths));
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
// keeps only the alignment and the tab stops: insertBlock() would otherwise copy a page break
// onto every later paragraph. What is written here is the program's, not an edit of the user's:
// the document counts as unmodified after each step.
class TextCursorSelection : public WordSelection {
public:
    explicit TextCursorSelection(QTextDocument* document)
        : document_(document), cursor_(document), typing_(plainTyping()) {
        cursor_.setBlockFormat(freshParagraph(Qt::AlignLeft, fieldWidths_));
        cursor_.setBlockCharFormat(typing_);
        document_->setModified(false);
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
        document_->setModified(false);
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
            fitTabStops();
        }
        document_->setModified(false);
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
        QTextBlockFormat format = freshParagraph(cursor_.blockFormat().alignment(), fieldWidths_);
        if (onNewPage)
            format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        cursor_.insertBlock(format, typing_);
        document_->setModified(false);
    }

    // Measures the tabbed fields of the current paragraph. When one is wider than every field
    // of its column so far, the tab stops move for every paragraph, so that fields never run
    // into each other and stay in columns ("05/03/2024 09:00 AM", "05/03/2024 10:00 AM",
    // the subject).
    void fitTabStops() {
        const QStringList fields = cursor_.block().text().split(QLatin1Char('\t'));
        if (fields.size() < 2)
            return;
        const QFontMetricsF metrics(typing_.font());
        bool wider = false;
        for (qsizetype i = 0; i + 1 < fields.size(); ++i) {
            const qreal width = metrics.horizontalAdvance(fields[i]);
            if (i == fieldWidths_.size()) {
                fieldWidths_.append(width);
                wider = true;
            } else if (fieldWidths_[i] < width) {
                fieldWidths_[i] = width;
                wider = true;
            }
        }
        if (!wider)
            return;
        QTextBlockFormat stops;
        stops.setTabPositions(tabStops(fieldWidths_));
        for (QTextBlock block = document_->begin(); block.isValid(); block = block.next())
            QTextCursor(block).mergeBlockFormat(stops);
    }

    QPointer<QTextDocument> document_;
    QTextCursor cursor_;
    QTextCharFormat typing_;
    // The widest field measured in each column of tabbed fields.
    QList<qreal> fieldWidths_;
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
