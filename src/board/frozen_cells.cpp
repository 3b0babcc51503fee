#include "board/frozen_cells.h"

#include "board/board_grid.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QScrollBar>
#include <QTableView>

namespace rv {

namespace {

// One fixed part: the grid's cells of row 0, of column 0, or of both, drawn over the grid.
class FrozenView : public QTableView {
public:
    FrozenView(BoardGrid& grid, bool followsRows, bool followsColumns)
        : QTableView(&grid), grid_(grid), followsRows_(followsRows),
          followsColumns_(followsColumns) {
        setModel(grid.model());
        setSelectionModel(grid.selectionModel());
        setItemDelegate(grid.itemDelegate());
        horizontalHeader()->hide();
        verticalHeader()->hide();
        horizontalHeader()->setMinimumSectionSize(grid.horizontalHeader()->minimumSectionSize());
        horizontalHeader()->setDefaultSectionSize(grid.horizontalHeader()->defaultSectionSize());
        verticalHeader()->setMinimumSectionSize(grid.verticalHeader()->minimumSectionSize());
        verticalHeader()->setDefaultSectionSize(grid.verticalHeader()->defaultSectionSize());
        setFrameShape(QFrame::NoFrame);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setHorizontalScrollMode(ScrollPerPixel);
        setVerticalScrollMode(ScrollPerPixel);
        // The grid keeps the keyboard focus; a click here gives it to the grid.
        setFocusPolicy(Qt::NoFocus);
        setAutoScroll(false);
        setEditTriggers(NoEditTriggers);
        setSelectionMode(grid.selectionMode());
        setWordWrap(false);
        setIconSize(grid.iconSize());
        setShowGrid(grid.showGrid());
        setGridStyle(grid.gridStyle());

        connect(this, &QAbstractItemView::doubleClicked, &grid,
                [&grid](const QModelIndex& index) { emit grid.doubleClicked(index); });
        for (QScrollBar* bar : {grid.horizontalScrollBar(), grid.verticalScrollBar()}) {
            connect(bar, &QScrollBar::valueChanged, this, [this] { followScroll(); });
            connect(bar, &QScrollBar::rangeChanged, this, [this] { followScroll(); });
        }
        connect(grid.horizontalHeader(), &QHeaderView::sectionResized, this,
                [this](int column, int, int width) { setColumnWidth(column, width); });
        connect(grid.verticalHeader(), &QHeaderView::sectionResized, this,
                [this](int row, int, int height) { setRowHeight(row, height); });
        QAbstractItemModel* cells = grid.model();
        connect(cells, &QAbstractItemModel::rowsInserted, this,
                [this](const QModelIndex&, int first, int last) { hideRows(first, last); });
        connect(cells, &QAbstractItemModel::columnsInserted, this,
                [this](const QModelIndex&, int first, int last) { hideColumns(first, last); });
        connect(cells, &QAbstractItemModel::modelReset, this, [this] { followLayout(); });
        followLayout();
    }

protected:
    // The grid scrolls; this view only follows it.
    void scrollTo(const QModelIndex&, ScrollHint) override {}

    void updateGeometries() override {
        QTableView::updateGeometries();
        followScroll();
    }

    bool viewportEvent(QEvent* event) override {
        if (event->type() == QEvent::ToolTip) {
            const auto& help = static_cast<const QHelpEvent&>(*event);
            // Without a tooltip of its own, the event goes up to the grid's.
            return grid_.showCellToolTip(help, indexAt(help.pos()), viewport());
        }
        return QTableView::viewportEvent(event);
    }

    void mousePressEvent(QMouseEvent* event) override {
        // As a click on the grid's own cells moves the focus there (a year being typed is
        // taken over before the click's selection runs).
        grid_.setFocus(Qt::MouseFocusReason);
        QTableView::mousePressEvent(event);
    }

    void wheelEvent(QWheelEvent* event) override {
        QCoreApplication::sendEvent(grid_.viewport(), event);
    }

private:
    static void copy(const QScrollBar* from, QScrollBar* to) {
        to->setRange(from->minimum(), from->maximum());
        to->setValue(from->value());
    }

    void followScroll() {
        if (followsRows_)
            copy(grid_.verticalScrollBar(), verticalScrollBar());
        if (followsColumns_)
            copy(grid_.horizontalScrollBar(), horizontalScrollBar());
    }

    // A view that does not follow the rows shows row 0 alone; one that does not follow the
    // columns shows column 0 alone.
    void hideRows(int first, int last) {
        if (followsRows_)
            return;
        if (first == 0) {
            followLayout();
            return;
        }
        for (int r = first; r <= last; ++r)
            setRowHidden(r, true);
    }

    void hideColumns(int first, int last) {
        if (followsColumns_)
            return;
        if (first == 0) {
            followLayout();
            return;
        }
        for (int c = first; c <= last; ++c)
            setColumnHidden(c, true);
    }

    void followLayout() {
        for (int r = 0; r < grid_.rowCount(); ++r) {
            setRowHidden(r, !followsRows_ && r > 0);
            setRowHeight(r, grid_.rowHeight(r));
        }
        for (int c = 0; c < grid_.columnCount(); ++c) {
            setColumnHidden(c, !followsColumns_ && c > 0);
            setColumnWidth(c, grid_.columnWidth(c));
        }
        followScroll();
    }

    BoardGrid& grid_;
    bool followsRows_;
    bool followsColumns_;
};

} // namespace

FrozenCells::FrozenCells(BoardGrid& grid) : grid_(grid) {
    nameColumn_ = new FrozenView(grid, true, false);
    headerRow_ = new FrozenView(grid, false, true);
    corner_ = new FrozenView(grid, false, false);
    // Bottom to top: the grid's cells, the name column, the header row, the corner; the scroll
    // bars stay above, beside the viewport.
    corner_->lower();
    headerRow_->lower();
    nameColumn_->lower();
    grid.viewport()->lower();
    place();
}

FrozenCells::~FrozenCells() {
    delete corner_;
    delete headerRow_;
    delete nameColumn_;
}

void FrozenCells::place() {
    const QRect cells = grid_.viewport()->geometry();
    const int nameWidth =
        grid_.columnCount() > 0 ? std::min(grid_.columnWidth(0), cells.width()) : 0;
    const int headerHeight =
        grid_.rowCount() > 0 ? std::min(grid_.rowHeight(0), cells.height()) : 0;
    nameColumn_->setGeometry(cells.x(), cells.y(), nameWidth, cells.height());
    headerRow_->setGeometry(cells.x(), cells.y(), cells.width(), headerHeight);
    corner_->setGeometry(cells.x(), cells.y(), nameWidth, headerHeight);
}

QList<QTableView*> FrozenCells::views() const {
    return {headerRow_, nameColumn_, corner_};
}

} // namespace rv
