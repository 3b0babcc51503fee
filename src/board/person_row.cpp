// Reading one person's month into their row: shared by the whole build and the row refresh.

#include "board/day_texts.h"
#include "board/form1.h"

#include <QProgressBar>

namespace rv {

void Form1::readPersonRow(int row, const QString& id, RowPass pass) {
    // The refresh looks short identifiers up as names; everything else as entry identifiers.
    PersonMonth month = builder_.openMonth(*state_.mapi_ns, id,
                                           pass == RowPass::Refresh ? PersonLookUp::ByNameWhenShort
                                                                    : PersonLookUp::ByEntryId,
                                           state_.cur_month, state_.cur_year);
    const int days = month.days();
    if (month.denied()) {
        // Colours and texts stay; the picture says the calendar could not be opened.
        for (int d = 1; d <= days; ++d) {
            Grid1->selectFromCode(row, d);
            Grid1->setCellPicture(row, d, deniedPicture_);
            Grid1->setCellToolTip(row, d, QStringLiteral("Sorry, Access Denied"));
            Grid1->repaintCell(row, d);
        }
        return;
    }
    if (!month.readable())
        return;

    for (int d = 1; d <= days; ++d) {
        const DayCell cell = month.readDay(d);
        Grid1->selectFromCode(row, d);
        if (cell.unread)
            continue;
        Grid1->setCellPicture(row, d, QIcon());
        if (pass == RowPass::Build)
            Grid1->setCellText(row, d, state_.include_details ? cell.text : QString());
        Grid1->setCellColor(row, d, paintedColor(state_.category_color[cell.category]));
        // Hovering shows what selecting the cell lists, as read now (a refresh too).
        Grid1->setCellToolTip(row, d, detailsBoxText(cell.details));
        // The panel repaints itself on every change: move it with the cells' frames.
        if (d == days || Grid1->frameDue())
            Grid1->showProgress(*pbar_days, qRound(100.0 * d / days));
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
