#include "about/program_icon.h"
#include "app/command_line.h"
#include "app/workspace.h"
#include "board/first_start.h"
#include "board/form1.h"
#include "calendar/connection/calendar_connection.h"
#include "platform/ini_machine_registry.h"
#include "platform/qsettings_store.h"
#include "platform/qt_desktop.h"
#include "platform/qt_prompts.h"
#include "platform/text_document_word.h"

#include <QApplication>
#include <QTextStream>

namespace {

// The name of the desktop entry, the icon and the AppStream component (see cmake/Install.cmake).
const QString kDesktopId = QStringLiteral("org.vantrel.Rotaview");

QStringList argumentsOf(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

int usageError(const QString& error) {
    QTextStream(stderr) << "rotaview: " << error << "\nTry 'rotaview --help'.\n";
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication::setApplicationName(QStringLiteral("Rotaview"));
    QCoreApplication::setOrganizationName(QStringLiteral("Vantrel"));

    // Help, the version and the workspace are settled before Qt looks for a display, so that they
    // answer in any terminal.
    const rv::StartRequest request = rv::readCommandLine(argumentsOf(argc, argv));
    switch (request.action) {
    case rv::StartRequest::Action::Help:
        QTextStream(stdout) << rv::usageText(rv::userWorkspacePath());
        return 0;
    case rv::StartRequest::Action::Version:
        QTextStream(stdout) << rv::versionText();
        return 0;
    case rv::StartRequest::Action::Fail:
        return usageError(request.error);
    case rv::StartRequest::Action::Run:
        break;
    }
    const rv::WorkspaceChoice workspace = rv::chooseWorkspace(request);
    QString error = workspace.error;
    if (error.isEmpty())
        rv::enterWorkspace(workspace.path, &error);
    if (!error.isEmpty()) {
        QTextStream(stderr) << "rotaview: " << error << "\n";
        // Started from the desktop menu, nobody reads the standard error.
        if (request.workspace == rv::StartRequest::Workspace::User) {
            QApplication app(argc, argv);
            rv::QtPrompts().message(nullptr, error, QStringLiteral("Rotaview"),
                                    rv::Prompts::Icon::Critical);
        }
        return 1;
    }

    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(kDesktopId);
    // Every window of the program, printouts and boxes included, shows the program's icon.
    QApplication::setWindowIcon(QIcon::fromTheme(kDesktopId, rv::programIcon()));
    // What is left once Qt took its own options is not understood.
    const QStringList unknown = rv::readCommandLine(QApplication::arguments()).notOurs;
    if (!unknown.isEmpty())
        return usageError(QStringLiteral("unknown argument: %1").arg(unknown.first()));

    rv::QSettingsStore settings;
    rv::QtPrompts prompts;
    rv::QtDesktop desktop;
    rv::IniMachineRegistry registry;

    rv::BoardServices services{settings, prompts, desktop, &registry, {}, {}};
    services.openCalendarApplication = [&prompts, &desktop] {
        return rv::openCalendarApplication(rv::loadServiceProfile(),
                                           rv::CalendarServiceContext{prompts, desktop});
    };

    services.openWordProcessor = rv::textDocumentWordFactory(
        rv::DocumentWindowServices{desktop, prompts, rv::dialogSaveFileChooser()});

    rv::Form1 board(services);
    board.Form_Load();
    // Without any calendar store the board is empty: say where it was looked for, and how to
    // make the demo workspace.
    if (const auto missing = rv::missingStoreMessage(rv::loadServiceProfile(), rv::startPaths()))
        prompts.message(&board, *missing, QStringLiteral("Rotaview"),
                        rv::Prompts::Icon::Information);
    return QApplication::exec();
}
