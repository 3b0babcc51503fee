#pragma once

#include <QString>

class QTextDocument;

namespace rv {

// Writes the document as OpenDocument text (.odt). Empty on success, else why it failed.
QString writeOpenDocument(const QTextDocument& document, const QString& path);

// Writes the document as a PDF of A4 pages. Empty on success, else why it failed.
QString writePdf(const QTextDocument& document, const QString& path);

} // namespace rv
