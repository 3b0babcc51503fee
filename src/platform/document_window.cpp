#include "platform/document_window.h"

#include "platform/desktop.h"
#include "platform/document_export.h"
#include "platform/prompts.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenuBar>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QTextDocument>
#include <QTextEdit>
#include <QToolBar>
#include <QUrl>

namespace rv {

SaveFileChooser dialogSaveFileChooser() {
    return [](QWidget* parent, const QString& caption, const QString& suggestedPath,
              const QString& filter) {
        return QFileDialog::getSaveFileName(parent, caption, suggestedPath, filter);
    };
}

DocumentWindow::DocumentWindow(DocumentWindowServices services, const QString& title)
    : services_(std::move(services)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(title);
    // A page's width, and no taller than the screen leaves room for.
    QSize size(800, 900);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableSize() * 9 / 10);
    resize(size);

    document_ = new QTextDocument(this);
    editor_ = new QTextEdit(this);
    editor_->setDocument(document_);
    setCentralWidget(editor_);

    saveAsAction = new QAction(QStringLiteral("Save As OpenDocument Text..."), this);
    saveAsAction->setShortcut(QKeySequence::SaveAs);
    exportPdfAction = new QAction(QStringLiteral("Export as PDF..."), this);
    printAction = new QAction(QStringLiteral("Print..."), this);
    printAction->setShortcut(QKeySequence::Print);
    openInWordProcessorAction = new QAction(QStringLiteral("Open in Word Processor"), this);
    closeAction = new QAction(QStringLiteral("Close"), this);
    closeAction->setShortcut(QKeySequence::Close);

    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(saveAsAction);
    file->addAction(exportPdfAction);
    file->addAction(printAction);
    file->addAction(openInWordProcessorAction);
    file->addSeparator();
    file->addAction(closeAction);

    QToolBar* tools = addToolBar(QStringLiteral("Document"));
    tools->setMovable(false);
    tools->addAction(saveAsAction);
    tools->addAction(exportPdfAction);
    tools->addAction(printAction);
    tools->addAction(openInWordProcessorAction);

    connect(saveAsAction, &QAction::triggered, this, [this] { saveAsOpenDocument(); });
    connect(exportPdfAction, &QAction::triggered, this, [this] { exportPdf(); });
    connect(printAction, &QAction::triggered, this, [this] { printDocument(); });
    connect(openInWordProcessorAction, &QAction::triggered, this,
            [this] { openInWordProcessor(); });
    connect(closeAction, &QAction::triggered, this, &QWidget::close);
}

QString DocumentWindow::suggestedPath(const QString& suffix) const {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::homePath();
    return QDir(folder).filePath(windowTitle() + suffix);
}

void DocumentWindow::tellFailure(const QString& what, const QString& path, const QString& reason) {
    services_.prompts.message(this,
                              QStringLiteral("Could not %1 \"%2\": %3.").arg(what, path, reason),
                              windowTitle(), Prompts::Icon::Exclamation);
}

bool DocumentWindow::writeChosenFile(const QString& caption, const QString& suffix,
                                     const QString& filter,
                                     const std::function<QString(const QString&)>& write) {
    QString path = services_.chooseSaveFile(this, caption, suggestedPath(suffix), filter);
    if (path.isEmpty())
        return false;
    if (QFileInfo(path).suffix().isEmpty())
        path += suffix;
    const QString failure = write(path);
    if (!failure.isEmpty()) {
        tellFailure(QStringLiteral("write"), QDir::toNativeSeparators(path), failure);
        return false;
    }
    return true;
}

bool DocumentWindow::saveAsOpenDocument() {
    const bool saved =
        writeChosenFile(QStringLiteral("Save As"), QStringLiteral(".odt"),
                        QStringLiteral("OpenDocument Text (*.odt)"), [this](const QString& path) {
                            return writeOpenDocument(*document_, path);
                        });
    if (saved)
        document_->setModified(false);
    return saved;
}

void DocumentWindow::closeEvent(QCloseEvent* event) {
    if (document_->isModified()) {
        switch (services_.prompts.askToSave(
            this,
            QStringLiteral("\"%1\" has changes that are not saved. Save them before closing?")
                .arg(windowTitle()),
            windowTitle())) {
        case Prompts::SaveAnswer::Save:
            // A save that is cancelled or fails keeps the window and its edits.
            if (!saveAsOpenDocument()) {
                event->ignore();
                return;
            }
            break;
        case Prompts::SaveAnswer::Discard:
            break;
        case Prompts::SaveAnswer::Cancel:
            event->ignore();
            return;
        }
    }
    QMainWindow::closeEvent(event);
}

bool DocumentWindow::exportPdf() {
    return writeChosenFile(QStringLiteral("Export as PDF"), QStringLiteral(".pdf"),
                           QStringLiteral("PDF (*.pdf)"),
                           [this](const QString& path) { return writePdf(*document_, path); });
}

void DocumentWindow::printDocument() {
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(QStringLiteral("Print"));
    if (dialog.exec() == QDialog::Accepted)
        document_->print(&printer);
}

bool DocumentWindow::openInWordProcessor() {
    // The file is left behind on purpose: the other program reads it after this returns.
    QTemporaryFile file(QDir(QDir::tempPath()).filePath(QStringLiteral("Rotaview-XXXXXX.odt")));
    file.setAutoRemove(false);
    if (!file.open()) {
        tellFailure(QStringLiteral("create"), file.fileTemplate(), file.errorString());
        return false;
    }
    const QString path = file.fileName();
    file.close();
    const QString failure = writeOpenDocument(*document_, path);
    if (!failure.isEmpty()) {
        QFile::remove(path);
        tellFailure(QStringLiteral("write"), path, failure);
        return false;
    }
    if (!services_.desktop.openUrl(QUrl::fromLocalFile(path))) {
        services_.prompts.message(this,
                                  QStringLiteral("No word processor could open \"%1\".").arg(path),
                                  windowTitle(), Prompts::Icon::Exclamation);
        return false;
    }
    return true;
}

} // namespace rv
