#include "calendar/caldav/dav_xml.h"
#include "calendar/caldav/principal_match.h"

#include <QTest>

using namespace rv::caldav;

class DavXmlTest : public QObject {
    Q_OBJECT
private slots:
    void principalsAreFoundByTheirMailAddresses() {
        const QByteArray body = R"(<?xml version="1.0"?>
<D:multistatus xmlns:D="DAV:" xmlns:C="urn:ietf:params:xml:ns:caldav">
 <D:response><D:href>/dav/alice/</D:href><D:propstat><D:prop>
  <D:displayname>Alice Archer</D:displayname>
  <C:calendar-user-address-set><D:href>mailto:alice@example.org</D:href>
   <D:href>/dav/alice/</D:href></C:calendar-user-address-set>
 </D:prop><D:status>HTTP/1.1 200 OK</D:status></D:propstat></D:response>
 <D:response><D:href>http://cal.example.org/dav/bob/</D:href><D:propstat><D:prop>
  <D:displayname>Bob Baker</D:displayname>
 </D:prop><D:status>HTTP/1.1 200 OK</D:status></D:propstat></D:response>
</D:multistatus>)";
        const auto resources =
            parseMultistatus(body, QUrl(QStringLiteral("https://cal.example.org/dav/")));
        QCOMPARE(int(resources.size()), 2);
        QCOMPARE(resources[1].path, QStringLiteral("/dav/bob/"));
        const QStringList hrefs = resources[0].props.value(prop::kCalendarUserAddressSet).hrefs;
        QCOMPARE(hrefs, QStringList({QStringLiteral("mailto:alice@example.org"),
                                     QStringLiteral("/dav/alice/")}));

        const std::vector<PrincipalEntry> entries = {
            {QStringLiteral("/dav/alice/"),
             QStringLiteral("Alice Archer"),
             {QStringLiteral("alice@example.org")},
             QStringLiteral("alice")},
            {QStringLiteral("/dav/bob/"), QStringLiteral("Bob Baker"), {}, QStringLiteral("bob")}};
        QCOMPARE(matchPrincipal(entries, QStringLiteral("ALICE@example.org"))->path,
                 QStringLiteral("/dav/alice/"));
        QVERIFY(!matchPrincipal(entries, QStringLiteral("nobody")));
    }
};

QTEST_MAIN(DavXmlTest)
#include "dav_xml_test.moc"
