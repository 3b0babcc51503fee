// What selecting and double-clicking the board's cells does.

#include "board/day_texts.h"
#include "board/form1.h"
#include "calendar/day_query.h"
#include "platform/prompts.h"

namespace rv {

namespace {

// Looks the row's person up by entry identifier and opens their calendar; nothing when the
// person does not resolve or the service fails otherwise.
std::optional<OpenedCalendar> openCalendar(CalendarNamespace& ns, const QString& id) {
    OpenedCalendar opened;
    try {
        opened.recipient = ns.GetRecipientFromID(id);
        opened.recipient->Resolve();
        if (!opened.recipient->Resolved())
            return std::nullopt;
        opened.folder = ns.GetSharedDefaultFolder(*opened.recipient, kFolderCalendar);
    } catch (const CalendarError& error) {
        if (error.code() != calendar_error::CalendarDenied || !opened.recipient)
            return std::nullopt;
        opened.denied = true;
    }
    return opened;
}

} // namespace

void Form1::GRID1_SelChange() {
    if (Grid1->selectedColumn() == 0) {
        update_one_user();
        return;
    }
    const int day = Grid1->selectedColumn();
    const auto opened = openSelectedCalendar();
    if (!opened)
        return;
    if (opened->denied) {
        services_.prompts.message(this, QStringLiteral("Sorry, Access Denied"),
                                  opened->recipient->Name());
        return;
    }
    const DayQueryResult items = query_day(*opened->folder, day, state_.cur_month, state_.cur_year);
    const QString text = detailsText(items.items);
    const QString title = opened->recipient->Name() + QLatin1Char(' ') + QString::number(day);
    services_.prompts.message(this, text.isEmpty() ? QStringLiteral("Free All Day") : text, title);
}

void Form1::Grid1_DblClick() {
    if (Grid1->selectedColumn() == 0)
        return;
    const auto opened = openSelectedCalendar();
    if (!opened)
        return;
    if (opened->denied) {
        services_.prompts.message(this,
                                  QStringLiteral("Sorry, Cannot Display Calandar Access Denied"),
                                  QStringLiteral("Rotaview"));
        return;
    }
    try {
        opened->folder->Display();
    } catch (const CalendarError&) {
        // Nothing opens; the board stays as it is.
    }
}

std::optional<OpenedCalendar> Form1::openSelectedCalendar() {
    const int row = Grid1->selectedRow();
    const int column = Grid1->selectedColumn();
    if (row < 1 || column < 1)
        return std::nullopt;
    Grid1->selectFromCode(row, column);
    return openCalendar(*state_.mapi_ns, get_user_x(row));
}

} // namespace rv
