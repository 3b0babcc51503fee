#pragma once

#include <QIcon>
#include <QPixmap>

namespace rv {

// The program icon (32 x 32): a small month board of coloured day cells.
QPixmap programIconPixmap();
QIcon programIcon();

} // namespace rv
