#include "calendar/caldav/dav_xml.h"

#include "calendar/calendar_service.h"

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace rv::caldav {

namespace {

const QString kDav = QStringLiteral("DAV:");
const QString kCalDav = QStringLiteral("urn:ietf:params:xml:ns:caldav");

QString qualified(const QXmlStreamReader& xml) {
    return QLatin1Char('{') + xml.namespaceUri().toString() + QLatin1Char('}') +
           xml.name().toString();
}

QString pathOf(const QString& href, const QUrl& requestUrl) {
    QString text = href.trimmed();
    // Some servers percent-encode the whole href: Xandikos writes addresses as
    // "mailto%3Aalice%40example.org" and its error responses' hrefs as "http%3A//host%3A80/...".
    const QString decoded = QUrl::fromPercentEncoding(text.toUtf8());
    if (decoded.startsWith(QLatin1String("mailto:"), Qt::CaseInsensitive))
        return decoded;
    if (QUrl(text).scheme().isEmpty() &&
        (decoded.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) ||
         decoded.startsWith(QLatin1String("https://"), Qt::CaseInsensitive)))
        text = decoded;
    const QUrl url(text);
    // Addresses such as a principal's mailto: are no resources of the server: kept as written.
    const QString scheme = url.scheme().toLower();
    if (!scheme.isEmpty() && scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return text;
    return requestUrl.resolved(url).path(QUrl::FullyDecoded);
}

int statusOf(const QString& line) {
    // "HTTP/1.1 404 Not Found"
    const QStringList parts = line.trimmed().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return parts.size() > 1 ? parts[1].toInt() : 0;
}

// Reads one property element; the reader stands on its start element and ends on its end.
DavProperty readProperty(QXmlStreamReader& xml, const QUrl& requestUrl) {
    DavProperty p;
    int depth = 1;
    while (depth > 0 && !xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            if (depth == 1) {
                p.children << qualified(xml);
                if (xml.namespaceUri() == kCalDav && xml.name() == QLatin1String("comp"))
                    p.compNames << xml.attributes().value(QLatin1String("name")).toString();
            }
            if (xml.namespaceUri() == kDav && xml.name() == QLatin1String("href")) {
                p.hrefs << pathOf(xml.readElementText(QXmlStreamReader::IncludeChildElements),
                                  requestUrl);
                break;
            }
            ++depth;
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        case QXmlStreamReader::Characters:
            if (depth == 1)
                p.text += xml.text();
            break;
        default:
            break;
        }
    }
    return p;
}

void readPropstat(QXmlStreamReader& xml, const QUrl& requestUrl, DavResource& resource) {
    QHash<QString, DavProperty> found;
    int status = 200;
    while (xml.readNextStartElement()) {
        if (xml.namespaceUri() == kDav && xml.name() == QLatin1String("prop")) {
            while (xml.readNextStartElement()) {
                const QString name = qualified(xml);
                found.insert(name, readProperty(xml, requestUrl));
            }
        } else if (xml.namespaceUri() == kDav && xml.name() == QLatin1String("status")) {
            status = statusOf(xml.readElementText());
        } else {
            xml.skipCurrentElement();
        }
    }
    if (status >= 200 && status < 300) {
        resource.props.insert(found);
    } else {
        for (auto it = found.cbegin(); it != found.cend(); ++it)
            resource.failed.insert(it.key(), status);
    }
}

DavResource readResponse(QXmlStreamReader& xml, const QUrl& requestUrl) {
    DavResource resource;
    while (xml.readNextStartElement()) {
        if (xml.namespaceUri() != kDav) {
            xml.skipCurrentElement();
        } else if (xml.name() == QLatin1String("href")) {
            resource.path = pathOf(xml.readElementText(), requestUrl);
        } else if (xml.name() == QLatin1String("status")) {
            resource.status = statusOf(xml.readElementText());
        } else if (xml.name() == QLatin1String("propstat")) {
            readPropstat(xml, requestUrl, resource);
        } else {
            xml.skipCurrentElement();
        }
    }
    return resource;
}

void writeProps(QXmlStreamWriter& w, const QStringList& props) {
    w.writeStartElement(kDav, QStringLiteral("prop"));
    for (const QString& name : props) {
        const qsizetype close = name.indexOf(QLatin1Char('}'));
        w.writeEmptyElement(name.mid(1, close - 1), name.mid(close + 1));
    }
    w.writeEndElement();
}

void startDocument(QXmlStreamWriter& w) {
    w.writeStartDocument();
    w.writeNamespace(kDav, QStringLiteral("D"));
    w.writeNamespace(kCalDav, QStringLiteral("C"));
    w.writeNamespace(QStringLiteral("http://calendarserver.org/ns/"), QStringLiteral("CS"));
}

} // namespace

std::vector<DavResource> parseMultistatus(const QByteArray& body, const QUrl& requestUrl) {
    std::vector<DavResource> out;
    QXmlStreamReader xml(body);
    bool seenRoot = false;
    if (xml.readNextStartElement()) {
        seenRoot = xml.namespaceUri() == kDav && xml.name() == QLatin1String("multistatus");
        if (seenRoot) {
            while (xml.readNextStartElement()) {
                if (xml.namespaceUri() == kDav && xml.name() == QLatin1String("response"))
                    out.push_back(readResponse(xml, requestUrl));
                else
                    xml.skipCurrentElement();
            }
        }
    }
    if (!seenRoot || xml.hasError())
        throw CalendarError(
            calendar_error::ServerError,
            QStringLiteral("The calendar server's answer from %1 could not be "
                           "read%2.")
                .arg(requestUrl.toString(QUrl::RemoveUserInfo),
                     xml.hasError() ? QStringLiteral(": ") + xml.errorString() : QString()));
    return out;
}

int DavResource::refusal() const {
    if (status == 403 || status == 404 || status == 410)
        return status;
    if (props.isEmpty())
        for (const int s : failed)
            if (s == 403)
                return s;
    return 0;
}

bool samePath(const QString& a, const QString& b) {
    auto trimmed = [](QString p) {
        while (p.size() > 1 && p.endsWith(QLatin1Char('/')))
            p.chop(1);
        return p;
    };
    return trimmed(a) == trimmed(b);
}

QString lastSegment(const QString& path) {
    const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    return parts.isEmpty() ? QString() : parts.last();
}

QByteArray propfindBody(const QStringList& props) {
    QByteArray out;
    QXmlStreamWriter w(&out);
    startDocument(w);
    w.writeStartElement(kDav, QStringLiteral("propfind"));
    writeProps(w, props);
    w.writeEndElement();
    w.writeEndDocument();
    return out;
}

QByteArray principalSearchBody(const QString& text, const QString& searched,
                               const QStringList& props) {
    QByteArray out;
    QXmlStreamWriter w(&out);
    startDocument(w);
    w.writeStartElement(kDav, QStringLiteral("principal-property-search"));
    w.writeStartElement(kDav, QStringLiteral("property-search"));
    writeProps(w, {searched});
    w.writeTextElement(kDav, QStringLiteral("match"), text);
    w.writeEndElement();
    writeProps(w, props);
    w.writeEndElement();
    w.writeEndDocument();
    return out;
}

QByteArray calendarQueryBody() {
    QByteArray out;
    QXmlStreamWriter w(&out);
    startDocument(w);
    w.writeStartElement(kCalDav, QStringLiteral("calendar-query"));
    writeProps(w, {prop::kGetEtag, prop::kCalendarData});
    w.writeStartElement(kCalDav, QStringLiteral("filter"));
    w.writeStartElement(kCalDav, QStringLiteral("comp-filter"));
    w.writeAttribute(QStringLiteral("name"), QStringLiteral("VCALENDAR"));
    w.writeEmptyElement(kCalDav, QStringLiteral("comp-filter"));
    w.writeAttribute(QStringLiteral("name"), QStringLiteral("VEVENT"));
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndDocument();
    return out;
}

QByteArray calendarDataOf(const std::vector<DavResource>& resources) {
    QByteArray text;
    for (const DavResource& r : resources) {
        const QString data = r.props.value(prop::kCalendarData).text;
        if (!data.isEmpty())
            text += data.toUtf8() + "\r\n";
    }
    return text;
}

} // namespace rv::caldav
