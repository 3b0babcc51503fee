#include "support/odt_reader.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

namespace rv::test {

namespace {

// Walks office:text with odfpy and prints its paragraphs as JSON; styles are looked up by name
// among the automatic and the common styles.
const char* const kReader = R"PY(
import json, sys
from odf.opendocument import load
from odf.namespaces import FONS, OFFICENS, STYLENS, TEXTNS
from odf.element import Node

doc = load(sys.argv[1])
styles = {}
for root in (doc.styles, doc.automaticstyles):
    for s in root.childNodes:
        if s.nodeType != Node.ELEMENT_NODE or s.qname != (STYLENS, 'style'):
            continue
        props = {}
        for p in s.childNodes:
            if p.nodeType == Node.ELEMENT_NODE and p.qname in ((STYLENS, 'paragraph-properties'), (STYLENS, 'text-properties')):
                for (ns, name), value in p.attributes.items():
                    if ns == FONS:
                        props[name] = value
        styles[s.attributes.get((STYLENS, 'name'))] = props

def walk(node, props, spans):
    for child in node.childNodes:
        if child.nodeType == Node.TEXT_NODE:
            spans.append((str(child.data), props))
        elif child.qname == (TEXTNS, 'tab'):
            spans.append(('\t', props))
        elif child.qname == (TEXTNS, 's'):
            spans.append((' ' * int(child.attributes.get((TEXTNS, 'c'), '1')), props))
        elif child.qname == (TEXTNS, 'line-break'):
            spans.append(('\n', props))
        elif child.qname == (TEXTNS, 'span'):
            inner = dict(props)
            inner.update(styles.get(child.attributes.get((TEXTNS, 'style-name')), {}))
            walk(child, inner, spans)

def elements(node):
    return [c for c in node.childNodes if c.nodeType == Node.ELEMENT_NODE]

body = [c for c in elements(doc.body) if c.qname == (OFFICENS, 'text')][0]
out = []
for p in elements(body):
    if p.qname not in ((TEXTNS, 'p'), (TEXTNS, 'h')):
        continue
    pprops = styles.get(p.attributes.get((TEXTNS, 'style-name')), {})
    runs = []
    walk(p, {}, runs)
    spans = []
    for t, pr in runs:
        if spans and spans[-1][1] == pr:
            spans[-1] = (spans[-1][0] + t, pr)
        else:
            spans.append((t, pr))
    out.append({
        'text': ''.join(t for t, _ in spans),
        'align': pprops.get('text-align', ''),
        'breakBefore': pprops.get('break-before', '') == 'page',
        'spans': [{'text': t,
                   'bold': pr.get('font-weight', 'normal') == 'bold',
                   'italic': pr.get('font-style', 'normal') == 'italic',
                   'fontFamily': pr.get('font-family', ''),
                   'fontSize': pr.get('font-size', '')} for t, pr in spans],
    })
print(json.dumps(out))
)PY";

} // namespace

QList<OdtParagraph> readOdt(const QString& path) {
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"), QString::fromUtf8(kReader), path});
    if (!python.waitForFinished(60000) || python.exitStatus() != QProcess::NormalExit ||
        python.exitCode() != 0) {
        QTest::qFail(qPrintable(QStringLiteral("python3-odf could not read %1: %2")
                                    .arg(path, QString::fromUtf8(python.readAllStandardError()))),
                     __FILE__, __LINE__);
        return {};
    }
    QJsonParseError error;
    const QJsonDocument json = QJsonDocument::fromJson(python.readAllStandardOutput(), &error);
    if (error.error != QJsonParseError::NoError) {
        QTest::qFail("python3-odf printed no JSON", __FILE__, __LINE__);
        return {};
    }
    QList<OdtParagraph> paragraphs;
    for (const QJsonValue& p : json.array()) {
        const QJsonObject o = p.toObject();
        OdtParagraph paragraph;
        paragraph.text = o.value(QLatin1String("text")).toString();
        paragraph.align = o.value(QLatin1String("align")).toString();
        paragraph.breakBefore = o.value(QLatin1String("breakBefore")).toBool();
        for (const QJsonValue& s : o.value(QLatin1String("spans")).toArray()) {
            const QJsonObject so = s.toObject();
            paragraph.spans.append({so.value(QLatin1String("text")).toString(),
                                    so.value(QLatin1String("bold")).toBool(),
                                    so.value(QLatin1String("italic")).toBool(),
                                    so.value(QLatin1String("fontFamily")).toString(),
                                    so.value(QLatin1String("fontSize")).toString()});
        }
        paragraphs.append(paragraph);
    }
    return paragraphs;
}

QList<QList<OdtParagraph>> pagesOf(const QList<OdtParagraph>& paragraphs) {
    QList<QList<OdtParagraph>> pages;
    for (const OdtParagraph& p : paragraphs) {
        if (pages.isEmpty() || p.breakBefore)
            pages.append(QList<OdtParagraph>());
        pages.last().append(p);
    }
    return pages;
}

QStringList textsOf(const QList<OdtParagraph>& paragraphs) {
    QStringList texts;
    for (const OdtParagraph& p : paragraphs)
        texts << p.text;
    return texts;
}

} // namespace rv::test
