#pragma once

#include <QMainWindow>
#include <functional>

class QAction;
class QTextDocument;
class QTextEdit;

namespace rv {

class Desktop;
class Prompts;

// Asks the user for the name of a file to write; empty when the user cancels.
using SaveFileChooser = std::function<QString(QWidget* parent, const QString& caption,
                                              const QString& suggestedPath, const QString& filter)>;

// The file chooser of the desktop session.
SaveFileChooser dialogSaveFileChooser();

struct DocumentWindowServices {
    Desktop& desktop;
    Prompts& prompts;
    SaveFileChooser chooseSaveFile;
};

// A word-processor document on screen: the user reads and edits it, saves it as OpenDocument
// text or PDF, prints it, or hands it to the desktop's own word processor. The window owns its
// document and deletes itself when closed, so it outlives whatever wrote the document. What the
// program writes into it counts as saved; edits the user typed and has not saved as
// OpenDocument text are asked about before the window closes.
class DocumentWindow : public QMainWindow {
    Q_OBJECT
public:
    DocumentWindow(DocumentWindowServices services, const QString& title);

    QTextDocument* document() const { return document_; }
    QTextEdit* editor() const { return editor_; }

    // Each asks for a file name and writes the document; false when cancelled or failed (the
    // failure told to the user).
    bool saveAsOpenDocument();
    bool exportPdf();
    // The print dialog, then the printer.
    void printDocument();
    // Writes the document to a new temporary .odt and hands it to the desktop.
    bool openInWordProcessor();

    QAction* saveAsAction = nullptr;
    QAction* exportPdfAction = nullptr;
    QAction* printAction = nullptr;
    QAction* openInWordProcessorAction = nullptr;
    QAction* closeAction = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QString suggestedPath(const QString& suffix) const;
    bool writeChosenFile(const QString& caption, const QString& suffix, const QString& filter,
                         const std::function<QString(const QString&)>& write);
    void tellFailure(const QString& what, const QString& path, const QString& reason);

    DocumentWindowServices services_;
    QTextDocument* document_ = nullptr;
    QTextEdit* editor_ = nullptr;
};

} // namespace rv
