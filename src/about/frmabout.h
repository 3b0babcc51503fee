#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>
#include <memory>

class QLabel;
class QPushButton;

namespace rv {

class CalendarApplication;
class Desktop;
class MachineRegistry;
class Prompts;

// The About window: title, version and a description of the program, a button that starts the
// system's information tool, and "E-Mail Me", which prepares a feedback mail in the user's mail
// composer without sending it. Modeless; OK (Enter or Esc) closes it.
class frmAbout : public QDialog {
    Q_OBJECT
public:
    // The registry root the system-information locations live under.
    static constexpr std::uint32_t HKEY_LOCAL_MACHINE = 0x80000002;
    static inline const QString kFeedbackAddress = QStringLiteral("feedback@rotaview.example");

    // openMailClient gives a new mail application object for each feedback mail.
    frmAbout(Prompts& prompts, MachineRegistry& registry, Desktop& desktop,
             std::function<std::unique_ptr<CalendarApplication>()> openMailClient,
             QWidget* parent = nullptr);

    void Form_Load();
    void cmdOK_Click();
    void cmdSysInfo_Click();
    void Command1_Click();

    // Finds and starts the system-information tool, or says that there is none.
    void StartSysInfo();
    // Reads one registry value as text; false (and empty text) when it cannot be read.
    bool GetKeyValue(std::uint32_t keyRoot, const QString& keyName, const QString& subKeyRef,
                     QString& keyVal);

    QLabel* picIcon = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblDescription = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdSysInfo = nullptr;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void showSysInfoUnavailable();
    void showMailUnavailable();

    Prompts& prompts_;
    MachineRegistry& registry_;
    Desktop& desktop_;
    std::function<std::unique_ptr<CalendarApplication>()> openMailClient_;
};

} // namespace rv
