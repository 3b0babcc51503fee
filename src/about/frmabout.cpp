#include "about/frmabout.h"

#include "about/about_log.h"
#include "about/program_icon.h"
#include "about/program_version.h"
#include "calendar/calendar_service.h"
#include "platform/desktop.h"
#include "platform/machine_registry.h"
#include "platform/prompts.h"
#include "ui/twips.h"

#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

namespace rv {

namespace {

const QLatin1String kSysInfoKey("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QLatin1String kSysInfoValue("PATH");
const QLatin1String kSysInfoLocationKey("SOFTWARE\\Microsoft\\Shared Tools Location");
const QLatin1String kSysInfoLocationValue("MSINFO");
const QLatin1String kSysInfoToolName("MSINFO32.EXE");

// The registry value is read into a buffer of this many bytes; a longer value cannot be read.
constexpr qsizetype kValueBufferSize = 1024;

const char* const kDescription =
    "Rotaview shows, for a group of people, how booked each of them is on each day of a month. "
    "It reads every member's shared calendar and colours one cell per person and day: free, up "
    "to 4 hours, 4 to 7 hours, more than 7 hours, a special event or a weekend.\n\n"
    "Click a day to list its appointments, double-click it to open the calendar, and use the "
    "legend to choose the colours. Groups of people are kept in the group editor.";

QString versionText(const QString& separator) {
    return QString::number(kVersionMajor) + separator + QString::number(kVersionMinor) + separator +
           QString::number(kVersionRevision);
}

// The folder named by the second location holds the tool under its fixed name.
QString toolInFolder(const QString& folder) {
    if (folder.endsWith(QLatin1Char('/')))
        return folder + kSysInfoToolName;
    return folder + QLatin1Char('/') + kSysInfoToolName;
}

} // namespace

frmAbout::frmAbout(Prompts& prompts, MachineRegistry& registry, Desktop& desktop,
                   std::function<std::unique_ptr<CalendarApplication>()> openMailClient,
                   QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      prompts_(prompts), registry_(registry), desktop_(desktop),
      openMailClient_(std::move(openMailClient)) {
    setModal(false);
    QFont small = font();
    small.setPointSize(8);
    setFont(small);
    setWindowIcon(programIcon());
    setFixedSize(twipsRect(0, 0, 5970, 3975).size());
    move(twipsPoint(2340, 1935));

    // Created in tab order: cmdOK, picIcon, cmdSysInfo, lblDescription, lblTitle, lblVersion,
    // Command1 (the labels take no focus).
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setGeometry(twipsRect(4245, 3105, 1260, 345));
    cmdOK->setDefault(true);

    picIcon = new QLabel(this);
    picIcon->setGeometry(twipsRect(240, 240, 540, 540));
    picIcon->setAlignment(Qt::AlignCenter);
    picIcon->setPixmap(programIconPixmap());

    cmdSysInfo = new QPushButton(QStringLiteral("&System Info..."), this);
    cmdSysInfo->setGeometry(twipsRect(4260, 3555, 1245, 345));

    QPalette black = palette();
    black.setColor(QPalette::WindowText, Qt::black);

    lblDescription = new QLabel(QString::fromUtf8(kDescription), this);
    lblDescription->setGeometry(twipsRect(1020, 780, 4725, 1950));
    lblDescription->setWordWrap(true);
    lblDescription->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblDescription->setPalette(black);

    lblTitle = new QLabel(this);
    lblTitle->setGeometry(twipsRect(1050, 240, 3885, 240));
    lblTitle->setPalette(black);

    lblVersion = new QLabel(this);
    lblVersion->setGeometry(twipsRect(1080, 540, 3885, 225));

    Command1 = new QPushButton(QStringLiteral("E-Mail Me"), this);
    Command1->setGeometry(twipsRect(3180, 3120, 915, 315));
    Command1->setToolTip(QStringLiteral("Please Note this does not send the message"));

    setTabOrder(cmdOK, cmdSysInfo);
    setTabOrder(cmdSysInfo, Command1);
    cmdOK->setFocus();

    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);
    connect(Command1, &QPushButton::clicked, this, &frmAbout::Command1_Click);

    Form_Load();
}

void frmAbout::Form_Load() {
    setWindowTitle(QStringLiteral("About ") + kProgramTitle);
    lblVersion->setText(QStringLiteral("Version ") + versionText(QStringLiteral(".")));
    lblTitle->setText(kProgramTitle);
}

void frmAbout::cmdOK_Click() {
    close();
}

void frmAbout::cmdSysInfo_Click() {
    StartSysInfo();
}

void frmAbout::keyPressEvent(QKeyEvent* event) {
    // OK is the cancel button too: Esc presses it, so closing runs the same way as a click.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        cmdOK->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmAbout::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    // The etched separator: a grey line with a white one, two wide, just below it.
    QPainter painter(this);
    const QPoint greyFrom = twipsPoint(90, 2925);
    const QPoint whiteFrom = twipsPoint(105, 2940);
    const int right = twipsToPixelsWithin(5654);
    painter.fillRect(QRect(greyFrom, QSize(right - greyFrom.x() + 1, 1)), QColor(128, 128, 128));
    painter.fillRect(QRect(whiteFrom, QSize(right - whiteFrom.x() + 1, 2)), Qt::white);
}

void frmAbout::StartSysInfo() {
    try {
        QString sysInfoPath;
        if (!GetKeyValue(HKEY_LOCAL_MACHINE, kSysInfoKey, kSysInfoValue, sysInfoPath)) {
            if (!GetKeyValue(HKEY_LOCAL_MACHINE, kSysInfoLocationKey, kSysInfoLocationValue,
                             sysInfoPath)) {
                showSysInfoUnavailable();
                return;
            }
            const QString tool = toolInFolder(sysInfoPath);
            const QFileInfo toolFile(tool);
            if (!toolFile.exists() || toolFile.isDir()) {
                showSysInfoUnavailable();
                return;
            }
            sysInfoPath = tool;
        }
        // The first location's path is started as read, without a check of its own.
        if (!desktop_.startProgram(sysInfoPath))
            showSysInfoUnavailable();
    } catch (const std::exception&) {
        showSysInfoUnavailable();
    }
}

void frmAbout::showSysInfoUnavailable() {
    prompts_.message(this, QStringLiteral("System Information Is Unavailable At This Time"),
                     kProgramTitle);
}

void frmAbout::showMailUnavailable() {
    // Whatever failed, the reader can still write: the address is what helps.
    prompts_.message(this,
                     QStringLiteral("No mail program could be started to prepare the feedback "
                                    "mail: please write to %1.")
                         .arg(kFeedbackAddress),
                     kProgramTitle, Prompts::Icon::Exclamation);
}

bool frmAbout::GetKeyValue(std::uint32_t keyRoot, const QString& keyName, const QString& subKeyRef,
                           QString& keyVal) {
    keyVal.clear();
    if (keyRoot != HKEY_LOCAL_MACHINE)
        return false; // the only root this machine's registry holds
    const std::optional<MachineRegistry::RawValue> raw = registry_.queryValue(keyName, subKeyRef);
    if (!raw || raw->bytes.size() > kValueBufferSize)
        return false;

    // The stored size may or may not count a terminating zero: drop the last byte only when it
    // is that zero.
    QByteArray kept = raw->bytes;
    if (!kept.isEmpty() && kept.back() == '\0')
        kept.chop(1);

    switch (raw->type) {
    case MachineRegistry::kString: {
        // A zero inside the text ends it, as it would for any program that is handed the path.
        const qsizetype end = kept.indexOf('\0');
        keyVal = QString::fromUtf8(end < 0 ? kept : kept.left(end));
        break;
    }
    case MachineRegistry::kNumber32:
        keyVal = QStringLiteral("&h");
        for (qsizetype i = kept.size() - 1; i >= 0; --i)
            keyVal += QStringLiteral("%1")
                          .arg(static_cast<unsigned char>(kept.at(i)), 2, 16, QLatin1Char('0'))
                          .toUpper();
        break;
    default:
        break; // other kinds of value are not read as text
    }
    return true;
}

void frmAbout::Command1_Click() {
    // A mail composer that cannot be reached ends here with one message; the window stays open.
    try {
        std::unique_ptr<CalendarApplication> mailClient =
            openMailClient_ ? openMailClient_() : nullptr;
        if (!mailClient)
            throw CalendarError(calendar_error::NotConnected,
                                QStringLiteral("No mail program is available."));
        const std::shared_ptr<CalendarNamespace> mapi =
            mailClient->GetNamespace(QStringLiteral("MAPI"));
        if (!mapi)
            throw CalendarError(calendar_error::NotConnected,
                                QStringLiteral("The mail program gave no namespace."));
        const std::shared_ptr<CalendarFolder> inbox = mapi->GetDefaultFolder(kFolderInbox);
        if (!inbox)
            throw CalendarError(calendar_error::NotSupported,
                                QStringLiteral("The mail program has no inbox."));
        const std::unique_ptr<CalendarItems> items = inbox->Items();
        std::unique_ptr<MailItem> mail = items ? items->Add(QStringLiteral("IPM.Note")) : nullptr;
        if (!mail)
            throw CalendarError(calendar_error::NotSupported,
                                QStringLiteral("The mail program could not create a mail."));
        mail->SetSubject(QStringLiteral("FreeUpdate"));
        mail->AddRecipient(kFeedbackAddress);
        mail->SetBody(QStringLiteral("Ver=") + versionText(QString()));
        mail->Display();
    } catch (const std::exception& error) {
        qCInfo(aboutLog()).noquote() << "no feedback mail:" << errorMessage(error);
        showMailUnavailable();
    }
}

} // namespace rv
