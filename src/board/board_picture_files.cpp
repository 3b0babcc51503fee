#include "board/board_picture_files.h"

#include <QImageWriter>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QSaveFile>

namespace rv {

namespace {

constexpr int kImageScale = 2;

QPageLayout pdfPageLayout() {
    QPageLayout layout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(10, 10, 10, 10),
                       QPageLayout::Millimeter);
    // The painter then starts at the page's corner, where the page plan's points start.
    layout.setMode(QPageLayout::FullPageMode);
    return layout;
}

QString pageTitle(const BoardPicture& picture, int page, int pages) {
    return pages > 1 ? QStringLiteral("%1 (%2/%3)").arg(picture.title).arg(page + 1).arg(pages)
                     : picture.title;
}

// Paints the pages; pointsToDevice maps the plan's points to the device's coordinates.
QString paintPages(QPagedPaintDevice& device, const BoardPicture& picture,
                   const QList<BoardPage>& pages, const QTransform& pointsToDevice) {
    QPainter painter;
    if (!painter.begin(&device))
        return QStringLiteral("the document could not be started");
    for (int i = 0; i < pages.size(); ++i) {
        if (i > 0 && !device.newPage())
            return QStringLiteral("a new page could not be started");
        painter.setTransform(pages[i].transform * pointsToDevice);
        paintBoardPicture(painter, picture,
                          BoardPictureLayout(picture, pages[i].firstPerson, pages[i].people),
                          pageTitle(picture, i, static_cast<int>(pages.size())));
    }
    return painter.end() ? QString() : QStringLiteral("the document could not be finished");
}

} // namespace

QImage boardImage(const BoardPicture& picture) {
    const BoardPictureLayout layout(picture);
    QImage image(layout.size() * kImageScale, QImage::Format_RGB32);
    if (image.isNull())
        return image;
    image.fill(Qt::white);
    const int dotsPerMeter = qRound(96.0 * kImageScale / 0.0254);
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    QPainter painter(&image);
    painter.scale(kImageScale, kImageScale);
    paintBoardPicture(painter, picture, layout, picture.title);
    return image;
}

QString writeBoardPng(const BoardPicture& picture, const QString& path) {
    const QImage image = boardImage(picture);
    if (image.isNull())
        return QStringLiteral("the board is too large for one picture; save it as PDF");
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    QImageWriter writer(&file, "png");
    if (!writer.write(image)) {
        file.cancelWriting();
        return writer.errorString();
    }
    return file.commit() ? QString() : file.errorString();
}

QList<BoardPage> boardPdfPages(const BoardPicture& picture) {
    const QPageLayout layout = pdfPageLayout();
    return planBoardPages(
        picture,
        layout.fullRect(QPageLayout::Point).marginsRemoved(layout.margins(QPageLayout::Point)));
}

QString writeBoardPdf(const BoardPicture& picture, const QString& path) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    QString failure;
    {
        QPdfWriter writer(&file);
        writer.setPageLayout(pdfPageLayout());
        writer.setCreator(QStringLiteral("Rotaview"));
        writer.setTitle(picture.title);
        const qreal perPoint = writer.resolution() / 72.0;
        failure = paintPages(writer, picture, boardPdfPages(picture),
                             QTransform::fromScale(perPoint, perPoint));
    }
    if (!failure.isEmpty()) {
        file.cancelWriting();
        return failure;
    }
    return file.commit() ? QString() : file.errorString();
}

void prepareBoardPrinter(QPrinter& printer, const BoardPicture& picture) {
    printer.setPageOrientation(QPageLayout::Landscape);
    printer.setDocName(picture.title);
    printer.setCreator(QStringLiteral("Rotaview"));
}

QString printBoardPicture(const BoardPicture& picture, QPrinter& printer) {
    // The printer's painter starts at the corner of the printable area.
    const QRectF area = printer.pageLayout().paintRect(QPageLayout::Point);
    const qreal perPoint = printer.resolution() / 72.0;
    return paintPages(printer, picture, planBoardPages(picture, QRectF(QPointF(0, 0), area.size())),
                      QTransform::fromScale(perPoint, perPoint));
}

} // namespace rv
