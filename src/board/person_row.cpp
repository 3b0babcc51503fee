// Reading one person's month into their row: shared by the whole build and the row refresh.

#include "days/day_occupancy.h"
#include "board/day_texts.h"
#include "board/form1.h"
#include "board/month_layout.h"
#include "calendar/day_query.h"

#include <QProgressBar>

namespace rv {

namespace {

// Failures of the service itself, as opposed to what a calendar holds.
bool isServiceFailure(std::uint32_t code) {
    using namespace calendar_error;
    return code == NotConnected || code == Timeout || code == LoginFailed || code == ServerError;
}

} // namespace

void Form1::readPersonRow(int row, const QString& id, RowPass pass) {
    std::shared_ptr<CalendarRecipient> recipient;
    try {
        // The refresh looks short identifiers up as names; everything else as entry identifiers.
        if (pass == RowPass::Refresh && id.size() <= 150)
            recipient = state_.mapi_ns->CreateRecipient(id);
        else
            recipient = state_.mapi_ns->GetRecipientFromID(id);
        recipient->Resolve();
        if (!recipient->Resolved())
            return;
    } catch (const CalendarError&) {
        return;
    }

    const int days = get_days_of_month(state_.cur_month, state_.cur_year) - 1;
    std::shared_ptr<CalendarFolder> folder;
    try {
        folder = state_.mapi_ns->GetSharedDefaultFolder(*recipient, kFolderCalendar);
    } catch (const CalendarError& error) {
        if (error.code() == calendar_error::CalendarDenied) {
            // Colours and texts stay; the picture says the calendar could not be opened.
            for (int d = 1; d <= days; ++d) {
                Grid1->selectFromCode(row, d);
                Grid1->setCellPicture(row, d, deniedPicture_);
                Grid1->repaintCell(row, d);
            }
        }
        return;
    }
    if (!folder)
        return;

    for (int d = 1; d <= days; ++d) {
        const DayQueryResult day = query_day(*folder, d, state_.cur_month, state_.cur_year);
        Grid1->selectFromCode(row, d);
        if (day.failure && isServiceFailure(day.failure->code())) {
            // The calendar could not be read from the service: the cell is not coloured as a day
            // nobody knows to be free. A refresh leaves the row as it was; a build tells the
            // user afterwards.
            if (!readFailure_)
                readFailure_ = day.failure;
            continue;
        }
        Grid1->setCellPicture(row, d, QIcon());
        if (pass == RowPass::Build)
            Grid1->setCellText(row, d,
                               state_.include_details ? dayDetailsText(day.items) : QString());
        const DayCategory category = dayCategory(day.items, d, state_.cur_month, state_.cur_year);
        Grid1->setCellColor(row, d, paintedColor(state_.category_color[category]));
        // The panel repaints itself on every change: move it with the cells' frames.
        if (d == days || Grid1->frameDue())
            pbar_days->setValue(qRound(100.0 * d / days));
        Grid1->repaintCell(row, d);
    }
}

void Form1::update_one_user() {
    pbar_users->setValue(0);
    pbar_days->setValue(0);
    show();
    Grid1->setBackgroundColor(paintedColor(state_.category_color[Free_All_day]));
    const int row = Grid1->selectedRow();
    Grid1->selectFromCode(row, 0);
    if (Grid1->rowCount() > 1 && row >= 1) {
        Grid1->selectFromCode(row, 0);
        Grid1->beginProgress();
        readPersonRow(row, get_user_x(row), RowPass::Refresh);
        if (Grid1->paintingEnabled())
            Grid1->viewport()->update();
    }
    allignc1();
}

} // namespace rv
