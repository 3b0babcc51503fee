#pragma once

// A board picture written out: a PNG image, a PDF document, a printer. Each writer answers empty
// text on success, else why it failed; a file is replaced only once it is written whole.

#include "board/board_picture.h"

#include <QImage>

class QPrinter;

namespace rv {

// The whole board at twice the window's pixel size, marked as 192 dots per inch so that viewers
// that honour it show it at the window's size.
QImage boardImage(const BoardPicture& picture);
QString writeBoardPng(const BoardPicture& picture, const QString& path);

// Landscape A4 pages with margins of 10 mm. Where each page puts the board, in points from the
// page's top-left corner.
QList<BoardPage> boardPdfPages(const BoardPicture& picture);
QString writeBoardPdf(const BoardPicture& picture, const QString& path);

// Sets a printer up for a board before the user sees the print dialog: landscape, named.
void prepareBoardPrinter(QPrinter& printer, const BoardPicture& picture);
QString printBoardPicture(const BoardPicture& picture, QPrinter& printer);

} // namespace rv
