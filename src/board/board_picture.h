#pragma once

// The board as a picture to keep, send or hang on the wall: every row and day (not just what the
// window has scrolled into view), the group, month and year as a title above and the six
// categories as a legend beneath. It is taken from what the grid shows, so that the picture is
// the board as built: its colours, the access-denied picture, the texts of "Include Details".

#include "days/day_category.h"

#include <QColor>
#include <QIcon>
#include <QList>
#include <QRect>
#include <QString>
#include <QTransform>
#include <array>

class QPainter;

namespace rv {

class BoardGrid;

struct BoardPicture {
    struct Cell {
        QColor color;
        bool denied = false; // shows the access-denied picture
        QString text;        // the day's subjects, with "Include Details"
    };
    struct Row {
        QString name;
        QList<Cell> days; // day 1 first
    };

    QString title;
    int days = 0;
    QList<Row> rows;
    std::array<QColor, kDayCategoryCount> legend;
    QIcon deniedPicture;
    // The width of the window's day columns, in pixels: the picture's are at least as wide.
    int dayColumnWidth = 0;
};

// "Design – March 2021"; a month of 0 is the December before, as the board lays it out; without a
// group, the month and year alone.
QString boardTitle(const QString& groupName, int month, int year);

// The board the grid shows now, its legend in the given colours.
BoardPicture boardPictureOf(const BoardGrid& grid, const QString& title,
                            const CategoryColors& colors, const QIcon& deniedPicture);

// Where each part of a picture lies, in pixels of the picture. A picture may hold a run of the
// board's people only (a page of a long board), under the same title, header and legend.
class BoardPictureLayout {
public:
    // People firstPerson .. firstPerson + people - 1 (0-based); all of them when people < 0.
    explicit BoardPictureLayout(const BoardPicture& picture, int firstPerson = 0, int people = -1);

    QSize size() const { return size_; }
    QRect titleRect() const;
    // Row 0 is the header with the day numbers, row p + 1 person p; column 0 holds the names,
    // column d day d.
    QRect cellRect(int row, int column) const;
    QRect legendSwatch(int category) const { return swatches_[category]; }
    QRect legendCaption(int category) const { return captions_[category]; }
    int firstPerson() const { return firstPerson_; }
    int people() const { return people_; }

    // Heights that do not depend on the number of people, and the height of one person's row.
    int fixedHeight() const;
    int rowHeight() const { return rowHeight_; }

private:
    int firstPerson_ = 0;
    int people_ = 0;
    int nameWidth_ = 0;
    int dayWidth_ = 0;
    int rowHeight_ = 0;
    int gridTop_ = 0;
    QSize size_;
    std::array<QRect, kDayCategoryCount> swatches_;
    std::array<QRect, kDayCategoryCount> captions_;
};

// Paints the part of the picture the layout holds, at the painter's origin, in picture pixels;
// title replaces the picture's own (a page's number added).
void paintBoardPicture(QPainter& painter, const BoardPicture& picture,
                       const BoardPictureLayout& layout, const QString& title);

// One page of a board on paper: which people it holds and where the picture goes.
struct BoardPage {
    int firstPerson = 0;
    int people = 0;
    QTransform transform; // picture pixels to points of the page
};

// Splits the board over pages whose printable area is given in points (1/72 inch): all of it on
// one page when it fits at a readable size, else a run of people on each page, every page with
// the title, the day numbers and the legend. The board is as wide as the area allows, centred.
QList<BoardPage> planBoardPages(const BoardPicture& picture, const QRectF& area);

} // namespace rv
