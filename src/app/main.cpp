#include "about/program_icon.h"
#include "board/first_start.h"
#include "board/form1.h"
#include "calendar/connection/calendar_connection.h"
#include "platform/ini_machine_registry.h"
#include "platform/qsettings_store.h"
#include "platform/qt_desktop.h"
#include "platform/qt_prompts.h"
#include "platform/text_document_word.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Rotaview"));
    QApplication::setOrganizationName(QStringLiteral("Vantrel"));
    // Every window of the program, printouts and boxes included, shows the program's icon.
    QApplication::setWindowIcon(rv::programIcon());

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
