#pragma once

#include <QList>

class QTableView;

namespace rv {

class BoardGrid;

// Keeps the board's header row and name column in view while the day cells scroll, the way a
// grid's fixed row and column stay. Three views share the grid's model, selection and cell
// painter and lie over its top row, its left column and the corner where the two meet (the
// frozen-column pattern of Qt's item views): each follows the grid's scrolling in one direction,
// and clicks, double-clicks, tooltips and the wheel on them act on the grid as on its own cells.
class FrozenCells {
public:
    explicit FrozenCells(BoardGrid& grid);
    ~FrozenCells();
    FrozenCells(const FrozenCells&) = delete;
    FrozenCells& operator=(const FrozenCells&) = delete;

    // Lays the views over the grid's viewport: after a resize, a scroll bar that came or went,
    // a new width of column 0 or height of row 0.
    void place();

    // The header row, the name column and the corner.
    QList<QTableView*> views() const;

private:
    BoardGrid& grid_;
    QTableView* headerRow_ = nullptr;
    QTableView* nameColumn_ = nullptr;
    QTableView* corner_ = nullptr;
};

} // namespace rv
