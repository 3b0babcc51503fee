#include "calendar/caldav/dav_xml.h"
#include "calendar/caldav/principal_match.h"
#include "support/data_files.h"

#include <QTest>

using namespace rv::caldav;
using rv::test::dataFile;

class DavXmlTest : public QObject {
    Q_OBJECT
private slots:
    // What servers write in a 207 is read as they mean it: a percent-encoded href as its path or
    // mailto: address (Xandikos), a resource refused by its response's status (Xandikos: 404)
    // or by the status of every property asked (SabreDAV: 403, its href without the slash).
    void readsEachServersAnswers_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("refusal");
        QTest::addColumn<QStringList>("addresses");
        QTest::newRow("Xandikos principal")
            << QStringLiteral("xandikos-principal.xml") << QStringLiteral("/dav/alice/") << 0
            << QStringList{QStringLiteral("mailto:alice@example.org")};
        QTest::newRow("Xandikos missing calendar")
            << QStringLiteral("xandikos-missing-calendar.xml")
            << QStringLiteral("/dav/dave/calendars/calendar/") << 404 << QStringList();
        QTest::newRow("SabreDAV calendar not shared")
            << QStringLiteral("sabredav-denied-calendar.xml")
            << QStringLiteral("/dav/calendars/carol/default") << 403 << QStringList();
        QTest::newRow("SabreDAV query of a calendar not shared")
            << QStringLiteral("sabredav-denied-query.xml")
            << QStringLiteral("/dav/calendars/carol/default/secret.ics") << 403 << QStringList();
    }
    void readsEachServersAnswers() {
        QFETCH(QString, file);
        QFETCH(QString, path);
        QFETCH(int, refusal);
        QFETCH(QStringList, addresses);
        const auto resources =
            parseMultistatus(dataFile(QStringLiteral("caldav/answers/") + file),
                             QUrl(QStringLiteral("http://127.0.0.1:59845") + path));
        QCOMPARE(int(resources.size()), 1);
        QCOMPARE(resources[0].path, path);
        QCOMPARE(resources[0].refusal(), refusal);
        QCOMPARE(resources[0].props.value(prop::kCalendarUserAddressSet).hrefs, addresses);
    }

    // A principal's calendar-user addresses are read in order, and an e-mail address typed in
    // another case finds the principal that lists it.
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
