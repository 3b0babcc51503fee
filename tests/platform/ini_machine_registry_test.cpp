#include "platform/ini_machine_registry.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace rv;

namespace {

const QString kSysInfoKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QString kSysInfoLocationKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");

QByteArray withZero(const QByteArray& text) {
    QByteArray bytes = text;
    bytes.append('\0');
    return bytes;
}

void writeFile(const QString& path, const QByteArray& content, bool executable = false) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    if (executable)
        QVERIFY(file.setPermissions(file.permissions() | QFileDevice::ExeOwner));
}

} // namespace

class IniMachineRegistryTest : public QObject {
    Q_OBJECT

private slots:
    void readsValuesWrittenByHand();
    void answersTheFirstInstalledSystemInfoTool();
};

// A registry file written by hand gives its values as zero-ended strings, quotes and blanks
// around them taken off; a value or a file that is not there gives nothing.
void IniMachineRegistryTest::readsValuesWrittenByHand() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString ini = QStringLiteral(ROTAVIEW_SOURCE_DIR "/tests/data/platform/registry.ini");
    // A tool that is installed must not hide the value the file holds.
    writeFile(dir.filePath(QStringLiteral("rv-test-sysinfo")), "#!/bin/sh\n", true);
    IniMachineRegistry registry(ini, {QStringLiteral("rv-test-sysinfo")}, {dir.path()});

    const auto path = registry.queryValue(kSysInfoKey, QStringLiteral("PATH"));
    QVERIFY(path);
    QCOMPARE(path->type, MachineRegistry::kString);
    QCOMPARE(path->bytes, withZero("/opt/sysinfo/bin/sysinfo"));

    const auto folder = registry.queryValue(kSysInfoLocationKey, QStringLiteral("MSINFO"));
    QVERIFY(folder);
    QCOMPARE(folder->bytes, withZero("/opt/sysinfo, the shared copy"));

    QCOMPARE(registry.queryValue(QStringLiteral("Spaces"), QStringLiteral("Text"))->bytes,
             withZero("two words"));
    QVERIFY(!registry.queryValue(kSysInfoLocationKey, QStringLiteral("Other")));
    QVERIFY(!registry.queryValue(QStringLiteral("SOFTWARE\\Nobody"), QStringLiteral("MSINFO")));

    IniMachineRegistry missingFile(dir.filePath(QStringLiteral("absent.ini")), {}, {dir.path()});
    QVERIFY(!missingFile.queryValue(kSysInfoKey, QStringLiteral("PATH")));
    QVERIFY(!missingFile.queryValue(kSysInfoLocationKey, QStringLiteral("MSINFO")));
}

// Without a registry value, the first system information tool installed and executable on the
// program path is the answer for the tool's path, and only for it.
void IniMachineRegistryTest::answersTheFirstInstalledSystemInfoTool() {
    QTemporaryDir bin;
    QVERIFY(bin.isValid());
    writeFile(bin.filePath(QStringLiteral("rv-test-notexec")), "data", false);
    writeFile(bin.filePath(QStringLiteral("rv-test-second")), "#!/bin/sh\n", true);
    writeFile(bin.filePath(QStringLiteral("rv-test-third")), "#!/bin/sh\n", true);
    const QString noIni = bin.filePath(QStringLiteral("none.ini"));

    IniMachineRegistry registry(noIni,
                                {QStringLiteral("rv-test-missing"),
                                 QStringLiteral("rv-test-notexec"),
                                 QStringLiteral("rv-test-second"), QStringLiteral("rv-test-third")},
                                {bin.path()});
    const auto path = registry.queryValue(kSysInfoKey, QStringLiteral("PATH"));
    QVERIFY(path);
    QCOMPARE(path->type, MachineRegistry::kString);
    QCOMPARE(path->bytes, withZero(bin.filePath(QStringLiteral("rv-test-second")).toUtf8()));
    // Only the tool's path is answered this way, never the folder location.
    QVERIFY(!registry.queryValue(kSysInfoLocationKey, QStringLiteral("MSINFO")));

    IniMachineRegistry nothingInstalled(noIni, {QStringLiteral("rv-test-missing")}, {bin.path()});
    QVERIFY(!nothingInstalled.queryValue(kSysInfoKey, QStringLiteral("PATH")));

    QVERIFY(!IniMachineRegistry::defaultSystemInfoTools().isEmpty());
    QCOMPARE(IniMachineRegistry::defaultPath(), QStringLiteral("/etc/xdg/Vantrel/registry.ini"));
}

QTEST_MAIN(IniMachineRegistryTest)
#include "ini_machine_registry_test.moc"
