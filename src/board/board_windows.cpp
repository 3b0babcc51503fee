// The board's buttons and menu items that open the other windows.

#include "board/form1.h"

namespace rv {

void Form1::editgrp_Click() {}

void Form1::btnlegend_Click() {}

void Form1::mnuags_Click() {}

void Form1::printtoword_Click() {}

} // namespace rv
