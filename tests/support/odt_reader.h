#pragma once

#include <QList>
#include <QString>

namespace rv::test {

// One run of text inside a paragraph, with the character properties its style gives.
struct OdtSpan {
    QString text;
    bool bold = false;
    bool italic = false;
    QString fontFamily;
    QString fontSize;
};

// One paragraph of an OpenDocument text, as an independent reader sees it.
struct OdtParagraph {
    QString text;             // tabs as '\t'
    QString align;            // fo:text-align, empty when not set
    bool breakBefore = false; // fo:break-before="page"
    QList<OdtSpan> spans;

    bool centred() const { return align == QLatin1String("center"); }
    bool left() const {
        return align.isEmpty() || align == QLatin1String("start") || align == QLatin1String("left");
    }
};

// Reads the paragraphs of an .odt file with Debian's python3-odf (run by /usr/bin/python3),
// not with the program's own writer. Fails the running test and returns nothing when the file
// cannot be read.
QList<OdtParagraph> readOdt(const QString& path);

// The paragraphs split into pages: a paragraph that breaks the page before it starts a page.
QList<QList<OdtParagraph>> pagesOf(const QList<OdtParagraph>& paragraphs);

// The texts of the paragraphs.
QStringList textsOf(const QList<OdtParagraph>& paragraphs);

} // namespace rv::test
