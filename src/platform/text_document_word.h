#pragma once

#include "platform/document_window.h"
#include "platform/word_processor.h"

#include <QPointer>
#include <memory>
#include <vector>

namespace rv {

class TextCursorSelection;

// The word processor of this program: every document is a rich-text document in a document
// window of its own, written through a text cursor at its end.
class TextDocumentWordApplication : public WordApplication {
public:
    explicit TextDocumentWordApplication(DocumentWindowServices services);
    // Visible documents stay open on screen; hidden ones go with the application object.
    ~TextDocumentWordApplication() override;

    void SetVisible(bool visible) override;
    void DocumentsAdd() override;
    WordSelection& Selection() override;

    // The window of the active document; null before DocumentsAdd or once it was closed.
    DocumentWindow* activeWindow() const;

private:
    DocumentWindowServices services_;
    bool visible_ = false;
    std::vector<QPointer<DocumentWindow>> windows_;
    std::unique_ptr<TextCursorSelection> selection_;
};

// Starts this program's word processor; throws WordProcessorError when there is no desktop
// session to show documents in.
WordApplicationFactory textDocumentWordFactory(DocumentWindowServices services);

} // namespace rv
