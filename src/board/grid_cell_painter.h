#pragma once

#include <QStyledItemDelegate>

namespace rv {

class BoardGrid;

// Paints the board's cells: a day cell's text may use the whole narrow column (day numbers 10
// to 31 fit a 230-twip column), a name too wide for its column ends in an ellipsis, and the
// column of today's date gets a frame over its edges that leaves every cell its colour.
class GridCellPainter : public QStyledItemDelegate {
public:
    explicit GridCellPainter(const BoardGrid& grid, QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

    // The blank Qt's item views leave on each side of a cell's text.
    static int textMargin(const QWidget* view);

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    const BoardGrid& grid_;
};

} // namespace rv
