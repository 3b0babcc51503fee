#include "about/frmabout.h"
#include "platform/ini_machine_registry.h"
#include "support/data_files.h"
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

// The parts of the About window a test sets up, with a mail client that hands the mail to a
// recording desktop.
struct AboutFixture {
    test::ScriptedPrompts prompts;
    test::RecordingMachineRegistry registry;
    test::RecordingDesktop desktop;
    int mailClientsOpened = 0;

    std::function<std::unique_ptr<CalendarApplication>()> mailClientFactory() {
        return [this]() -> std::unique_ptr<CalendarApplication> {
            ++mailClientsOpened;
            return std::make_unique<test::MailClient>(desktop);
        };
    }
    frmAbout* create() { return new frmAbout(prompts, registry, desktop, mailClientFactory()); }
};

} // namespace

class FrmAboutTest : public QObject {
    Q_OBJECT

private slots:
    // The window's texts, buttons and kind.
    void showsTitleVersionAndButtons() {
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
        QVERIFY(!about->isModal());
        QVERIFY(!about->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    }

    // "System Info" starts the program the first registry location names as it stands, else the
    // tool in the folder the second names when the file is there; otherwise, or when the program
    // does not start, one message.
    void systemInfoStartsTheToolItFinds_data() {
        for (const char* column :
             {"path", "folder", "toolThere", "starts", "started", "bothLooked"})
            QTest::addColumn<QString>(column);
        test::addDataRows(QStringLiteral("about/system_info.tsv"));
    }
    void systemInfoStartsTheToolItFinds() {
        QFETCH(QString, path);
        QFETCH(QString, folder);
        QFETCH(QString, toolThere);
        QFETCH(QString, starts);
        QFETCH(QString, started);
        QFETCH(QString, bothLooked);
        QTemporaryDir dir;
        if (toolThere == QLatin1String("yes")) {
            QFile tool(dir.filePath(QStringLiteral("MSINFO32.EXE")));
            QVERIFY(tool.open(QIODevice::WriteOnly));
        }
        AboutFixture f;
        f.desktop.acceptPrograms = starts == QLatin1String("yes");
        if (!path.isEmpty())
            f.registry.setString(kSysInfoKey, QStringLiteral("PATH"), path);
        if (!folder.isEmpty())
            f.registry.setString(kSysInfoLocationKey, QStringLiteral("MSINFO"),
                                 folder.replace(QStringLiteral("$DIR"), dir.path()));
        std::unique_ptr<frmAbout> about(f.create());
        about->show();
        QVERIFY(QTest::qWaitForWindowExposed(about.get()));

        QTest::mouseClick(about->cmdSysInfo, Qt::LeftButton);

        QList<QPair<QString, QString>> queries{{kSysInfoKey, QStringLiteral("PATH")}};
        if (bothLooked == QLatin1String("yes"))
            queries.append({kSysInfoLocationKey, QStringLiteral("MSINFO")});
        QCOMPARE(f.registry.queries, queries);
        QCOMPARE(f.desktop.startedPrograms.join(QLatin1Char(',')),
                 started.replace(QStringLiteral("$DIR"), dir.path()));
        const bool told = started.isEmpty() || !f.desktop.acceptPrograms;
        QCOMPARE(f.prompts.messageTexts(),
                 told ? QStringList{"System Information Is Unavailable At This Time"}
                      : QStringList());
        if (told)
            QCOMPARE(f.prompts.shown.front().title, QStringLiteral("Rotaview"));
        QVERIFY(about->isVisible());
    }

    // Without registry values the tool is looked for by name on the program path.
    void installedToolIsFoundWithoutConfiguration() {
        QTemporaryDir bin;
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

    // GetKeyValue reads a string without its terminating zero and a 32-bit number as "&h" hex;
    // a value too long, missing, or under another root reads as failure and empty text.
    void getKeyValueKeepsTheStringWithoutItsZero_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("expected");
        const int text = MachineRegistry::kString;
        QTest::newRow("with zero") << text << QByteArray("/opt/tool\0", 10) << true << "/opt/tool";
        QTest::newRow("without zero") << text << QByteArray("/opt/tool") << true << "/opt/tool";
        QTest::newRow("empty") << text << QByteArray("\0", 1) << true << "";
        QTest::newRow("number") << int(MachineRegistry::kNumber32)
                                << QByteArray("\x78\x56\x34\x12", 4) << true << "&h12345678";
        QTest::newRow("small number") << int(MachineRegistry::kNumber32)
                                      << QByteArray("\x3C\x00\x00\x00", 4) << true << "&h00003C";
        QTest::newRow("1024 bytes")
            << text << QByteArray(1024, 'b') << true << QString(1024, QLatin1Char('b'));
        QTest::newRow("1025 bytes") << text << QByteArray(1025, 'a') << false << "";
        QTest::newRow("absent") << -1 << QByteArray() << false << "";
        QTest::newRow("other root") << -2 << QByteArray("/opt/tool\0", 10) << false << "";
    }
    void getKeyValueKeepsTheStringWithoutItsZero() {
        QFETCH(int, type);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, found);
        QFETCH(QString, expected);
        AboutFixture f;
        const QString key = QStringLiteral("SOFTWARE\\Vantrel\\Test");
        if (type != -1)
            f.registry.values.insert(
                {key, QStringLiteral("Value")},
                {type == -2 ? MachineRegistry::kString : std::uint32_t(type), bytes});
        std::unique_ptr<frmAbout> about(f.create());
        QString value = QStringLiteral("stale");
        const std::uint32_t root = type == -2 ? 0x80000001u : frmAbout::HKEY_LOCAL_MACHINE;
        QCOMPARE(about->GetKeyValue(root, key, QStringLiteral("Value"), value), found);
        QCOMPARE(value, expected);
    }

    // Enter and Esc close the window, sent to it or to OK, the button with the focus.
    void enterAndEscCloseTheWindow() {
        AboutFixture f;
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
            for (const bool toButton : {false, true}) {
                QPointer<frmAbout> about = f.create();
                about->setAttribute(Qt::WA_DeleteOnClose);
                about->show();
                QVERIFY(QTest::qWaitForWindowExposed(about));
                QTest::keyClick(toButton ? static_cast<QWidget*>(about->cmdOK) : about.data(), key);
                QTRY_VERIFY2(
                    about.isNull(),
                    qPrintable(QStringLiteral("key %1, to button %2").arg(int(key)).arg(toButton)));
            }
        }
        QVERIFY(f.prompts.shown.empty());
        QVERIFY(f.desktop.openedUrls.isEmpty());
    }

    // "E-Mail Me" opens a new mail client each time and hands the feedback mail, with its fixed
    // address, subject and version body, to the mail composer.
    void feedbackMailIsHandedToTheMailComposer() {
        AboutFixture f;
        std::unique_ptr<frmAbout> about(f.create());
        QTest::mouseClick(about->Command1, Qt::LeftButton);
        QTest::mouseClick(about->Command1, Qt::LeftButton);
        QCOMPARE(f.mailClientsOpened, 2);
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
    }

    // Without a mail composer or a mail client, one message names the address to write to and
    // the window stays.
    void noMailComposerGivesOneMessageAndKeepsTheWindow() {
        AboutFixture f;
        f.desktop.acceptUrls = false;
        std::unique_ptr<frmAbout> about(f.create());
        about->show();
        QVERIFY(QTest::qWaitForWindowExposed(about.get()));
        about->Command1_Click();
        QCOMPARE(f.desktop.openedUrls.size(), 1);
        QCOMPARE(f.prompts.messageTexts(),
                 QStringList{"No mail program could be started to prepare the feedback mail: "
                             "please write to feedback@rotaview.example."});
        QVERIFY(about->isVisible());

        frmAbout noClient(
            f.prompts, f.registry, f.desktop, []() -> std::unique_ptr<CalendarApplication> {
                throw CalendarError(calendar_error::NotConnected, QStringLiteral("no service"));
            });
        noClient.Command1_Click();
        frmAbout nullClient(f.prompts, f.registry, f.desktop,
                            []() -> std::unique_ptr<CalendarApplication> { return nullptr; });
        nullClient.Command1_Click();
        QCOMPARE(f.prompts.count(QStringLiteral("message")), 3);
        QCOMPARE(f.desktop.openedUrls.size(), 1);
    }
};

QTEST_MAIN(FrmAboutTest)
#include "frmabout_test.moc"
