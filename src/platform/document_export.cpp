#include "platform/document_export.h"

#include <QFile>
#include <QFileInfo>
#include <QPageSize>
#include <QPrinter>
#include <QTextDocument>
#include <QTextDocumentWriter>

namespace rv {

QString writeOpenDocument(const QTextDocument& document, const QString& path) {
    // Opened here rather than by the writer: Qt's ODF writer leaks its zip and XML writers when
    // it cannot open the file itself.
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return file.errorString();
    QTextDocumentWriter writer(&file, QByteArrayLiteral("odf"));
    if (writer.write(&document))
        return {};
    const QString reason = file.errorString();
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
