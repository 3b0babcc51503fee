#pragma once

// The word-processor seam: an application object with a document collection and a selection,
// the insertion point every write goes through. The printout drives a word processor only
// through these interfaces.

#include "platform/error.h"

#include <QString>
#include <functional>
#include <memory>

namespace rv {

// Paragraph alignments of WordSelection::SetAlignment.
constexpr int kAlignLeft = 0;
constexpr int kAlignCenter = 1;
// The break kind of WordSelection::InsertBreak that starts a new page.
constexpr int kPageBreak = 7;

// A word-processor step that could not be carried out (no document, the document window was
// closed, an unknown break kind).
class WordProcessorError : public Error {
public:
    using Error::Error;
};

// The insertion point of the active document; it moves past whatever is typed.
class WordSelection {
public:
    virtual ~WordSelection() = default;
    // Bold and italic apply to the text typed from now on.
    virtual void SetBold(bool bold) = 0;
    virtual void SetItalic(bool italic) = 0;
    // Alignment of the current paragraph; the paragraphs that follow inherit it.
    virtual void SetAlignment(int alignment) = 0;
    virtual void TypeText(const QString& text) = 0;
    // Ends the current paragraph; the insertion point is in a new empty paragraph.
    virtual void TypeParagraph() = 0;
    // kPageBreak starts a new page at the insertion point.
    virtual void InsertBreak(int kind) = 0;
};

class WordApplication {
public:
    virtual ~WordApplication() = default;
    // Shows or hides the word processor's windows.
    virtual void SetVisible(bool visible) = 0;
    // A new empty document, which becomes the target of Selection.
    virtual void DocumentsAdd() = 0;
    // The insertion point of the active document; fails when there is none.
    virtual WordSelection& Selection() = 0;
};

// Starts a word processor; throws (WordProcessorError or another std::exception) when it cannot.
// Releasing the application object leaves its visible documents open on screen.
using WordApplicationFactory = std::function<std::unique_ptr<WordApplication>()>;

} // namespace rv
