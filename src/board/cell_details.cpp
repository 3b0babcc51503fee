// What selecting and double-clicking the board's cells does.

#include "board/board_log.h"
#include "board/day_texts.h"
#include "board/form1.h"
#include "platform/prompts.h"

namespace rv {

void Form1::GRID1_SelChange() {
    if (Grid1->selectedColumn() == 0) {
        update_one_user();
        return;
    }
    const int row = Grid1->selectedRow();
    const int day = Grid1->selectedColumn();
    if (row < 1)
        return;
    Grid1->selectFromCode(row, day);
    const CellDetails details = BoardBuilder::cellDetails(*state_.mapi_ns, get_user_x(row), day,
                                                          state_.cur_month, state_.cur_year);
    if (details.outcome == PersonCalendar::Outcome::Denied) {
        services_.prompts.message(this, QStringLiteral("Sorry, Access Denied"), details.name);
        return;
    }
    if (details.outcome != PersonCalendar::Outcome::Opened)
        return;
    const QString title = details.name + QLatin1Char(' ') + QString::number(day);
    services_.prompts.message(this, detailsBoxText(details.text), title);
}

void Form1::Grid1_DblClick() {
    const int row = Grid1->selectedRow();
    const int column = Grid1->selectedColumn();
    if (row < 1 || column < 1)
        return;
    Grid1->selectFromCode(row, column);
    const PersonCalendar calendar = openPersonCalendar(*state_.mapi_ns, get_user_x(row));
    if (calendar.denied()) {
        services_.prompts.message(this,
                                  QStringLiteral("Sorry, Cannot Display Calandar Access Denied"),
                                  QStringLiteral("Rotaview"));
        return;
    }
    if (!calendar.opened())
        return;
    try {
        calendar.folder->Display();
    } catch (const CalendarError& error) {
        // Nothing opens; the board stays as it is.
        qCInfo(boardLog()).noquote() << "the calendar could not be shown:" << error.message();
    }
}

} // namespace rv
