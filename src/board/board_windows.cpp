// The board's buttons and menu items that open the other windows. Each window is modeless and
// loaded afresh when opened after it was closed; while it is open it is only brought forward.

#include "about/frmabout.h"
#include "board/form1.h"
#include "board/month_layout.h"
#include "groups/frmgroup.h"
#include "legend/frmlegend.h"
#include "printout/print_to_word.h"

namespace rv {

void Form1::editgrp_Click() {
    showModeless(groupEditor, [this]() -> QWidget* {
        return new frmgroup(*state_.mapi_ns, *Text1, services_.settings, services_.prompts, this);
    });
}

void Form1::btnlegend_Click() {
    showModeless(legendWindow, [this]() -> QWidget* {
        return new frmlegend(state_.category_color, services_.settings, services_.prompts, this);
    });
}

void Form1::mnuags_Click() {
    if (!services_.registry)
        return;
    showModeless(aboutWindow, [this]() -> QWidget* {
        return new frmAbout(services_.prompts, *services_.registry, services_.desktop,
                            services_.openCalendarApplication, this);
    });
}

void Form1::printtoword_Click() {
    const PrintBoard board{
        Grid1->rowCount() - 1,
        [this](int row) { return get_user_x(row); },
        [this](int row) { Grid1->selectFromCode(row, 0); },
        *state_.mapi_ns,
        state_.cur_month,
        state_.cur_year,
        get_days_of_month(state_.cur_month, state_.cur_year) - 1,
    };
    print_to_word(board, services_.openWordProcessor, services_.prompts, this);
    // The printout made each name current in turn; as after a build, nothing stays selected, so
    // that a click on the last name still refreshes its row.
    Grid1->clearSelectionFromCode();
}

} // namespace rv
