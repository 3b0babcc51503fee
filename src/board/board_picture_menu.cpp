// "Save Board As..." and "Print Board...": the board as built, every row and day, as a PNG
// picture, a PDF document or on paper. They follow the File menu's own items.

#include "board/board_picture.h"
#include "board/board_picture_files.h"
#include "board/form1.h"
#include "platform/prompts.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QPrinter>
#include <QStandardPaths>

namespace rv {

namespace {

const QString kPng = QStringLiteral("png");
const QString kPdf = QStringLiteral("pdf");

// The documents folder, and the title as the file's name.
QString suggestedPath(const QString& title) {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::homePath();
    QString name = title;
    name.replace(QLatin1Char('/'), QLatin1Char('-'));
    return QDir(folder).filePath(name + QStringLiteral(".png"));
}

} // namespace

void Form1::addBoardPictureMenu(QMenu* file) {
    file->addSeparator();
    saveBoardAction = file->addAction(QStringLiteral("Save Board As..."));
    printBoardAction = file->addAction(QStringLiteral("Print Board..."));
    connect(saveBoardAction, &QAction::triggered, this, [this] { saveBoardAs(); });
    connect(printBoardAction, &QAction::triggered, this, [this] { printBoard(); });
}

BoardPicture Form1::boardPicture() const {
    return boardPictureOf(*Grid1,
                          boardTitle(shownBoard_.group, shownBoard_.month, shownBoard_.year),
                          shownBoard_.colors, deniedPicture_);
}

bool Form1::saveBoardAs() {
    const BoardPicture picture = boardPicture();
    const std::optional<QString> path = services_.prompts.saveFileName(
        this, QStringLiteral("Save Board As"), suggestedPath(picture.title),
        {QStringLiteral("PNG picture (*.png)"), QStringLiteral("PDF document (*.pdf)")});
    if (!path)
        return false;
    const QString suffix = QFileInfo(*path).suffix().toLower();
    if (suffix != kPng && suffix != kPdf) {
        services_.prompts.message(this,
                                  QStringLiteral("The board is saved as a PNG picture or a PDF "
                                                 "document: give the file a name ending in .png "
                                                 "or .pdf."),
                                  QStringLiteral("Rotaview"), Prompts::Icon::Exclamation);
        return false;
    }
    const QString failure =
        suffix == kPng ? writeBoardPng(picture, *path) : writeBoardPdf(picture, *path);
    if (failure.isEmpty())
        return true;
    services_.prompts.message(
        this, QStringLiteral("The board could not be saved as \"%1\": %2.").arg(*path, failure),
        QStringLiteral("Rotaview"), Prompts::Icon::Exclamation);
    return false;
}

bool Form1::printBoard() {
    const BoardPicture picture = boardPicture();
    QPrinter printer(QPrinter::HighResolution);
    prepareBoardPrinter(printer, picture);
    if (!services_.prompts.setUpPrinter(this, printer))
        return false;
    const QString failure = printBoardPicture(picture, printer);
    if (failure.isEmpty())
        return true;
    services_.prompts.message(this,
                              QStringLiteral("The board could not be printed: %1.").arg(failure),
                              QStringLiteral("Rotaview"), Prompts::Icon::Exclamation);
    return false;
}

} // namespace rv
