#include "about/frmabout.h"
#include "platform/ini_machine_registry.h"
#include "support/mail_client.h"
#include "support/recording_desktop.h"
#include "support/recording_machine_registry.h"
#include "support/scripted_prompts.h"

#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>

using namespace rv;

namespace {

const QString kSysInfoKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QString kSysInfoLocationKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");
const QString kUnavailable = QStringLiteral("System Information Is Unavailable At This Time");

using Query = QPair<QString, QString>;

// The parts of the About window a test sets up, with a mail client that records what it is
// asked and hands the mail to a recording desktop.
struct AboutFixture {
    test::ScriptedPrompts prompts;
    test::RecordingMachineRegistry registry;
    test::RecordingDesktop desktop;
    test::MailClient::Log mailLog;
    int mailClientsOpened = 0;

    std::function<std::unique_ptr<CalendarApplication>()> mailClientFactory() {
        return [this]() -> std::unique_ptr<CalendarApplication> {
            ++mailClientsOpened;
            return std::make_unique<test::MailClient>(desktop, mailLog);
        };
    }
    frmAbout* create() { return new frmAbout(prompts, registry, desktop, mailClientFactory()); }
};

} // namespace

class FrmAboutTest : public QObject {
    Q_OBJECT

private slots:
    void showsTitleVersionAndButtons();
    void firstLocationIsStartedWithoutAFileTest();
    void secondLocationNeedsTheToolFile();
    void noLocationShowsTheMessageOnce();
    void aToolThatCannotStartShowsTheMessage();
    void installedToolIsFoundWithoutConfiguration();
    void getKeyValueKeepsTheStringWithoutItsZero();
    void enterAndEscCloseTheWindow();
    void feedbackMailIsHandedToTheMailComposer();
    void noMailComposerGivesOneMessageAndKeepsTheWindow();
};

void FrmAboutTest::showsTitleVersionAndButtons() {
    AboutFixture f;
    std::unique_ptr<frmAbout> about(f.create());
    QCOMPARE(about->windowTitle(), QStringLiteral("About Rotaview"));
    QCOMPARE(about->lblTitle->text(), QStringLiteral("Rotaview"));
    QCOMPARE(about->lblVersion->text(), QStringLiteral("Version 1.3.60"));
    QVERIFY(about->lblDescription->text().contains(QStringLiteral("calendar")));
    QVERIFY(about->lblDescription->wordWrap());
    QCOMPARE(about->picIcon->pixmap().size(), QSize(32, 32));
    QVERIFY(!about->windowIcon().isNull());
    QCOMPARE(about->Command1->text(), QStringLiteral("E-Mail Me"));
    QCOMPARE(about->Command1->toolTip(),
             QStringLiteral("Please Note this does not send the message"));
    QCOMPARE(about->cmdOK->text(), QStringLiteral("OK"));
    QVERIFY(about->cmdOK->isDefault());
    QCOMPARE(about->cmdSysInfo->text(), QStringLiteral("&System Info..."));
    QCOMPARE(about->size(), QSize(398, 265));
    QVERIFY(!about->isModal());
    QVERIFY(!about->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));

    // The etched separator: grey above white, across the window.
    about->show();
    QVERIFY(QTest::qWaitForWindowExposed(about.get()));
    const QImage image = about->grab().toImage();
    QCOMPARE(image.pixelColor(200, 195), QColor(128, 128, 128));
    QCOMPARE(image.pixelColor(200, 196), QColor(Qt::white));
    QCOMPARE(image.pixelColor(200, 197), QColor(Qt::white));
}

void FrmAboutTest::firstLocationIsStartedWithoutAFileTest() {
    AboutFixture f;
    // Nothing exists at this path: the first location is started as read.
    f.registry.setString(kSysInfoKey, QStringLiteral("PATH"),
                         QStringLiteral("/nonexistent/rotaview-test/sysinfo-tool"));
    f.registry.setString(kSysInfoLocationKey, QStringLiteral("MSINFO"), QStringLiteral("/tmp"));
    std::unique_ptr<frmAbout> about(f.create());

    QTest::mouseClick(about->cmdSysInfo, Qt::LeftButton);

    QCOMPARE(f.desktop.startedPrograms,
             QStringList{QStringLiteral("/nonexistent/rotaview-test/sysinfo-tool")});
    QCOMPARE(f.registry.queries, (QList<Query>{{kSysInfoKey, QStringLiteral("PATH")}}));
    QVERIFY(f.prompts.shown.empty());
}

void FrmAboutTest::secondLocationNeedsTheToolFile() {
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    AboutFixture f;
    f.registry.setString(kSysInfoLocationKey, QStringLiteral("MSINFO"), folder.path());
    std::unique_ptr<frmAbout> about(f.create());

    about->StartSysInfo(); // the folder holds no tool yet
    const QList<Query> bothLocations = {{kSysInfoKey, QStringLiteral("PATH")},
                                        {kSysInfoLocationKey, QStringLiteral("MSINFO")}};
    QCOMPARE(f.registry.queries, bothLocations);
    QVERIFY(f.desktop.startedPrograms.isEmpty());
    QCOMPARE(f.prompts.messageTexts(), QStringList{kUnavailable});
    QCOMPARE(f.prompts.shown.front().title, QStringLiteral("Rotaview"));

    QFile tool(folder.filePath(QStringLiteral("MSINFO32.EXE")));
    QVERIFY(tool.open(QIODevice::WriteOnly));
    tool.close();
    f.prompts.shown.clear();
    f.registry.queries.clear();

    about->StartSysInfo();
    QCOMPARE(f.registry.queries, bothLocations);
    QCOMPARE(f.desktop.startedPrograms, QStringList{folder.filePath("MSINFO32.EXE")});
    QVERIFY(f.prompts.shown.empty());

    // A folder written with a trailing separator names the same tool.
    f.registry.setString(kSysInfoLocationKey, QStringLiteral("MSINFO"), folder.path() + "/");
    about->StartSysInfo();
    QCOMPARE(f.desktop.startedPrograms.size(), 2);
    QCOMPARE(f.desktop.startedPrograms.last(), folder.filePath("MSINFO32.EXE"));
}

void FrmAboutTest::noLocationShowsTheMessageOnce() {
    AboutFixture f;
    std::unique_ptr<frmAbout> about(f.create());
    about->show();
    QVERIFY(QTest::qWaitForWindowExposed(about.get()));

    QTest::mouseClick(about->cmdSysInfo, Qt::LeftButton);

    QCOMPARE(f.registry.queries, (QList<Query>{{kSysInfoKey, QStringLiteral("PATH")},
                                               {kSysInfoLocationKey, QStringLiteral("MSINFO")}}));
    QCOMPARE(f.prompts.count(QStringLiteral("message")), 1);
    QCOMPARE(f.prompts.shown.front().text, kUnavailable);
    QCOMPARE(f.prompts.shown.front().title, QStringLiteral("Rotaview"));
    QVERIFY(f.desktop.startedPrograms.isEmpty());
    QVERIFY(about->isVisible());
}

void FrmAboutTest::aToolThatCannotStartShowsTheMessage() {
    AboutFixture f;
    f.desktop.acceptPrograms = false;
    f.registry.setString(kSysInfoKey, QStringLiteral("PATH"), QStringLiteral("/usr/bin/none"));
    std::unique_ptr<frmAbout> about(f.create());

    about->cmdSysInfo_Click();

    QCOMPARE(f.desktop.startedPrograms, QStringList{QStringLiteral("/usr/bin/none")});
    QCOMPARE(f.prompts.messageTexts(), QStringList{kUnavailable});
}

void FrmAboutTest::installedToolIsFoundWithoutConfiguration() {
    QTemporaryDir bin;
    QVERIFY(bin.isValid());
    QFile tool(bin.filePath(QStringLiteral("rv-test-sysinfo")));
    QVERIFY(tool.open(QIODevice::WriteOnly));
    tool.write("#!/bin/sh\n");
    tool.close();
    QVERIFY(tool.setPermissions(tool.permissions() | QFileDevice::ExeOwner));

    AboutFixture f;
    IniMachineRegistry registry(
        bin.filePath(QStringLiteral("no-registry.ini")),
        {QStringLiteral("rv-test-missing"), QStringLiteral("rv-test-sysinfo")}, {bin.path()});
    frmAbout about(f.prompts, registry, f.desktop, f.mailClientFactory());

    about.StartSysInfo();

    QCOMPARE(f.desktop.startedPrograms, QStringList{tool.fileName()});
    QVERIFY(f.prompts.shown.empty());
}

void FrmAboutTest::getKeyValueKeepsTheStringWithoutItsZero() {
    AboutFixture f;
    const QString key = QStringLiteral("SOFTWARE\\Vantrel\\Test");
    f.registry.setString(key, QStringLiteral("WithZero"), QStringLiteral("/opt/tool"), true);
    f.registry.setString(key, QStringLiteral("WithoutZero"), QStringLiteral("/opt/tool"), false);
    f.registry.setString(key, QStringLiteral("Empty"), QString(), true);
    f.registry.values.insert({key, QStringLiteral("Number")},
                             {MachineRegistry::kNumber32, QByteArray("\x78\x56\x34\x12", 4)});
    f.registry.values.insert({key, QStringLiteral("Small")},
                             {MachineRegistry::kNumber32, QByteArray("\x3C\x00\x00\x00", 4)});
    f.registry.values.insert({key, QStringLiteral("Huge")},
                             {MachineRegistry::kString, QByteArray(1025, 'a')});
    f.registry.values.insert({key, QStringLiteral("Full")},
                             {MachineRegistry::kString, QByteArray(1024, 'b')});
    std::unique_ptr<frmAbout> about(f.create());
    const auto hklm = frmAbout::HKEY_LOCAL_MACHINE;

    QString value = QStringLiteral("stale");
    QVERIFY(about->GetKeyValue(hklm, key, QStringLiteral("WithZero"), value));
    QCOMPARE(value, QStringLiteral("/opt/tool"));
    QVERIFY(about->GetKeyValue(hklm, key, QStringLiteral("WithoutZero"), value));
    QCOMPARE(value, QStringLiteral("/opt/tool"));
    QVERIFY(about->GetKeyValue(hklm, key, QStringLiteral("Empty"), value));
    QCOMPARE(value, QString());
    QVERIFY(about->GetKeyValue(hklm, key, QStringLiteral("Number"), value));
    QCOMPARE(value, QStringLiteral("&h12345678"));
    QVERIFY(about->GetKeyValue(hklm, key, QStringLiteral("Small"), value));
    QCOMPARE(value, QStringLiteral("&h00003C"));
    QVERIFY(about->GetKeyValue(hklm, key, QStringLiteral("Full"), value));
    QCOMPARE(value, QString(1024, QLatin1Char('b')));

    value = QStringLiteral("stale");
    QVERIFY(!about->GetKeyValue(hklm, key, QStringLiteral("Huge"), value));
    QCOMPARE(value, QString());
    value = QStringLiteral("stale");
    QVERIFY(!about->GetKeyValue(hklm, key, QStringLiteral("Absent"), value));
    QCOMPARE(value, QString());
    value = QStringLiteral("stale");
    QVERIFY(!about->GetKeyValue(0x80000001, key, QStringLiteral("WithZero"), value));
    QCOMPARE(value, QString());
}

void FrmAboutTest::enterAndEscCloseTheWindow() {
    AboutFixture f;
    // Each key sent to the window and to OK, the button that has the focus when it opens.
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        for (const bool toButton : {false, true}) {
            QPointer<frmAbout> about = f.create();
            about->setAttribute(Qt::WA_DeleteOnClose);
            about->show();
            QVERIFY(QTest::qWaitForWindowExposed(about));
            if (toButton)
                QTest::keyClick(about->cmdOK, key);
            else
                QTest::keyClick(about, key);
            QTRY_VERIFY2(
                about.isNull(),
                qPrintable(QStringLiteral("key %1, to button %2").arg(int(key)).arg(toButton)));
        }
    }
    QVERIFY(f.prompts.shown.empty());
    QVERIFY(f.desktop.openedUrls.isEmpty());
}

void FrmAboutTest::feedbackMailIsHandedToTheMailComposer() {
    AboutFixture f;
    std::unique_ptr<frmAbout> about(f.create());

    QTest::mouseClick(about->Command1, Qt::LeftButton);
    QTest::mouseClick(about->Command1, Qt::LeftButton);

    QCOMPARE(f.mailClientsOpened, 2); // a new mail client object for every mail
    QCOMPARE(f.mailLog.namespaces, (QStringList{QStringLiteral("MAPI"), QStringLiteral("MAPI")}));
    QCOMPARE(f.mailLog.folderKinds, (QList<int>{kFolderInbox, kFolderInbox}));
    QCOMPARE(f.desktop.openedUrls.size(), 2);
    const QUrl mail = f.desktop.openedUrls.first();
    QCOMPARE(mail.scheme(), QStringLiteral("mailto"));
    QCOMPARE(mail.path(), QStringLiteral("feedback@rotaview.example"));
    const QUrlQuery query(mail);
    QCOMPARE(query.queryItemValue(QStringLiteral("subject"), QUrl::FullyDecoded),
             QStringLiteral("FreeUpdate"));
    QCOMPARE(query.queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded),
             QStringLiteral("Ver=1360"));
    QVERIFY(f.prompts.shown.empty());
    QVERIFY(f.desktop.startedPrograms.isEmpty());
}

void FrmAboutTest::noMailComposerGivesOneMessageAndKeepsTheWindow() {
    AboutFixture f;
    f.desktop.acceptUrls = false;
    std::unique_ptr<frmAbout> about(f.create());
    about->show();
    QVERIFY(QTest::qWaitForWindowExposed(about.get()));

    about->Command1_Click();
    QCOMPARE(f.desktop.openedUrls.size(), 1);
    QCOMPARE(f.prompts.count(QStringLiteral("message")), 1);
    // One sentence, with the address to write to instead.
    QCOMPARE(f.prompts.shown.front().text,
             QStringLiteral("No mail program could be started to prepare the feedback mail: "
                            "please write to feedback@rotaview.example."));
    QVERIFY(about->isVisible());

    // No mail client at all: the factory fails the way the calendar service does.
    frmAbout noClient(
        f.prompts, f.registry, f.desktop, []() -> std::unique_ptr<CalendarApplication> {
            throw CalendarError(calendar_error::NotConnected, QStringLiteral("no service"));
        });
    noClient.Command1_Click();
    QCOMPARE(f.prompts.count(QStringLiteral("message")), 2);

    frmAbout nullClient(f.prompts, f.registry, f.desktop,
                        []() -> std::unique_ptr<CalendarApplication> { return nullptr; });
    nullClient.Command1_Click();
    QCOMPARE(f.prompts.count(QStringLiteral("message")), 3);
    QCOMPARE(f.desktop.openedUrls.size(), 1);
}

QTEST_MAIN(FrmAboutTest)
#include "frmabout_test.moc"
