// Entry identifiers: their bytes, their length and what is refused.

#include "calendar/calendar_service.h"
#include "calendar/ical/entry_id.h"

#include <QTest>

using namespace rv;

namespace {

std::uint32_t failureCode(const QString& id, const char* tag = kLocalProviderTag) {
    try {
        entryIdKey(tag, id);
    } catch (const CalendarError& error) {
        return error.code();
    }
    return 0;
}

} // namespace

class EntryIdTest : public QObject {
    Q_OBJECT
private slots:
    // An identifier is upper-case hex of flags, provider tag and key (160 digits for a short key)
    // and gives its key back however it was written.
    void bytesAndRoundTrip() {
        const QString id = makeEntryId(kLocalProviderTag, QStringLiteral("alice"));
        QCOMPARE(id.size(), 160);
        QCOMPARE(id, id.toUpper());
        // Flags, the provider tag padded to 16 bytes, the key, zero bytes.
        QCOMPARE(id.left(8), QStringLiteral("00000000"));
        QCOMPARE(QByteArray::fromHex(id.mid(8, 32).toLatin1()),
                 QByteArray("RotaviewLocal\0\0\0", 16));
        QCOMPARE(QByteArray::fromHex(id.mid(40, 10).toLatin1()), QByteArray("alice"));
        QCOMPARE(id.mid(50), QString(110, QLatin1Char('0')));
        QCOMPARE(entryIdKey(kLocalProviderTag, id), QStringLiteral("alice"));
        // Written by hand in lower case, or with the blanks of a fixed-length field.
        QCOMPARE(entryIdKey(kLocalProviderTag, id.toLower() + "   "), QStringLiteral("alice"));

        const QString caldav = makeEntryId(kCalDavProviderTag, QStringLiteral("/bob/"));
        QCOMPARE(entryIdKey(kCalDavProviderTag, caldav), QStringLiteral("/bob/"));
        const QString unicode = makeEntryId(kLocalProviderTag, QStringLiteral("zoë"));
        QCOMPARE(entryIdKey(kLocalProviderTag, unicode), QStringLiteral("zoë"));
    }

    // A key of up to 80 bytes fits the 200-character field; a longer one is refused, never cut.
    void lengthLimits() {
        // Longer than any name the row refresh looks up (150), never over the 200-byte field.
        const QString longest = makeEntryId(kLocalProviderTag, QString(80, QLatin1Char('k')));
        QCOMPARE(longest.size(), 200);
        QCOMPARE(entryIdKey(kLocalProviderTag, longest), QString(80, QLatin1Char('k')));
        QCOMPARE(makeEntryId(kLocalProviderTag, QString(60, QLatin1Char('k'))).size(), 160);
        QCOMPARE(makeEntryId(kLocalProviderTag, QString(61, QLatin1Char('k'))).size(), 162);
        try {
            makeEntryId(kLocalProviderTag, QString(81, QLatin1Char('k')));
            QFAIL("a key of 81 bytes was cut or accepted");
        } catch (const CalendarError& error) {
            QCOMPARE(error.code(), calendar_error::KeyTooLong);
        }
        // 41 characters, 82 bytes in UTF-8.
        QVERIFY_THROWS_EXCEPTION(CalendarError,
                                 makeEntryId(kLocalProviderTag, QString(41, QChar(0x00e9))));
    }

    // Another provider's identifier, or text that is no identifier, names nobody.
    void foreignAndGarbageAreUnknown() {
        const QString local = makeEntryId(kLocalProviderTag, QStringLiteral("alice"));
        const QString caldav = makeEntryId(kCalDavProviderTag, QStringLiteral("/alice/"));
        const QStringList garbage = {
            QStringLiteral("XXX"),
            QString(),
            QStringLiteral("   "),
            caldav,
            QString(160, QLatin1Char('0')),
            QString(160, QLatin1Char('G')),
            local.left(159),
            local + "41",
            QStringLiteral("Alice Example"),
            // Our tag with flags set, and our tag with no key.
            QStringLiteral("01") + local.mid(2),
            local.left(40) + QString(120, QLatin1Char('0')),
            // A key that is not UTF-8.
            local.left(40) + QStringLiteral("FFFE") + QString(116, QLatin1Char('0')),
        };
        for (const QString& id : garbage)
            QVERIFY2(failureCode(id) == calendar_error::UnknownEntry, qPrintable(id));
        QCOMPARE(failureCode(local, kCalDavProviderTag), calendar_error::UnknownEntry);
    }
};

QTEST_MAIN(EntryIdTest)
#include "entry_id_test.moc"
