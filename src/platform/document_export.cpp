#include "platform/document_export.h"

#include <QFileInfo>
#include <QPageSize>
#include <QPrinter>
#include <QTextDocument>
#include <QTextDocumentWriter>

namespace rv {

QString writeOpenDocument(const QTextDocument& document, const QString& path) {
    QTextDocumentWriter writer(path, QByteArrayLiteral("odf"));
    if (writer.write(&document))
        return {};
    const QString reason = writer.device() ? writer.device()->errorString() : QString();
    return reason.isEmpty() ? QStringLiteral("the file could not be written") : reason;
}

QString writePdf(const QTextDocument& document, const QString& path) {
    // QPrinter reports no error of its own: a missing or empty file afterwards is the failure.
    if (QFile::exists(path) && !QFile::remove(path))
        return QStringLiteral("the existing file could not be replaced");
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setOutputFileName(path);
    document.print(&printer);
    const QFileInfo written(path);
    if (!written.exists() || written.size() == 0)
        return QStringLiteral("the file could not be written");
    return {};
}

} // namespace rv
