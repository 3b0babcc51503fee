// The whole-board build for the current group and month.

#include "board/form1.h"

namespace rv {

void Form1::Init_Grid() {
    // The old person rows go; row 1 stays until the first member takes it over.
    const int rows = Grid1->rowCount();
    for (int i = 0; i < rows - 2; ++i)
        Grid1->removeRow(2);
    header_and_widths();
    Grid1->selectFromCode(std::max(0, Grid1->currentRow()), 0);
    allignc1();
}

void Form1::add_user(const QString&, std::int16_t) {}

QString Form1::get_user_x(int) {
    return {};
}

void Form1::update_one_user() {}

void Form1::GRID1_SelChange() {}

void Form1::Grid1_DblClick() {}

} // namespace rv
