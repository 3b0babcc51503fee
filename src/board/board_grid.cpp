#include "board/board_grid.h"

#include "ui/colors.h"
#include "ui/twips.h"

#include <QHeaderView>

namespace rv {

BoardGrid::BoardGrid(QWidget* parent) : QTableWidget(parent) {
    horizontalHeader()->hide();
    verticalHeader()->hide();
    // Day columns are narrow by design (230 twips): no minimum width, no eliding of day numbers.
    horizontalHeader()->setMinimumSectionSize(1);
    setTextElideMode(Qt::ElideNone);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setIconSize(QSize(16, 16));
    setWordWrap(false);
    connect(this, &QTableWidget::itemSelectionChanged, this, [this] {
        if (!fromCode_)
            emit selectionChangedByUser();
    });
}

template <typename Change> void BoardGrid::changeFromCode(Change change) {
    const bool wasFromCode = fromCode_;
    fromCode_ = true;
    change();
    fromCode_ = wasFromCode;
}

void BoardGrid::selectFromCode(int row, int column) {
    if (row < 0 || column < 0 || row >= rowCount() || column >= columnCount())
        return;
    changeFromCode([&] { setCurrentCell(row, column); });
}

void BoardGrid::clearSelectionFromCode() {
    changeFromCode([&] { clearSelection(); });
}

void BoardGrid::insertRow(int row) {
    changeFromCode([&] { QTableWidget::insertRow(row); });
}

void BoardGrid::removeRow(int row) {
    changeFromCode([&] { QTableWidget::removeRow(row); });
}

void BoardGrid::setRowCount(int rows) {
    changeFromCode([&] { QTableWidget::setRowCount(rows); });
}

void BoardGrid::setColumnCount(int columns) {
    changeFromCode([&] { QTableWidget::setColumnCount(columns); });
}

QTableWidgetItem* BoardGrid::itemFor(int row, int column) {
    if (row < 0 || column < 0 || row >= rowCount() || column >= columnCount())
        return nullptr;
    QTableWidgetItem* cell = item(row, column);
    if (!cell) {
        cell = new QTableWidgetItem;
        cell->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        setItem(row, column, cell);
    }
    return cell;
}

void BoardGrid::setCellText(int row, int column, const QString& text) {
    if (auto* cell = itemFor(row, column))
        cell->setText(text);
}

QString BoardGrid::cellText(int row, int column) const {
    const QTableWidgetItem* cell = item(row, column);
    return cell ? cell->text() : QString();
}

void BoardGrid::setCellColor(int row, int column, std::uint32_t colorRef) {
    if (auto* cell = itemFor(row, column))
        cell->setBackground(qcolorFromColorRef(colorRef));
}

std::int64_t BoardGrid::cellColor(int row, int column) const {
    const QTableWidgetItem* cell = item(row, column);
    if (!cell || cell->background().style() == Qt::NoBrush)
        return -1;
    return colorRefFromQColor(cell->background().color());
}

void BoardGrid::setCellPicture(int row, int column, const QIcon& picture) {
    if (auto* cell = itemFor(row, column))
        cell->setIcon(picture);
}

bool BoardGrid::cellHasPicture(int row, int column) const {
    const QTableWidgetItem* cell = item(row, column);
    return cell && !cell->icon().isNull();
}

void BoardGrid::setCellAlignment(int row, int column, int code) {
    static const Qt::Alignment horizontal[3] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight};
    static const Qt::Alignment vertical[3] = {Qt::AlignTop, Qt::AlignVCenter, Qt::AlignBottom};
    if (code < 0 || code > 8)
        return;
    if (auto* cell = itemFor(row, column))
        cell->setTextAlignment(horizontal[code / 3] | vertical[code % 3]);
}

int BoardGrid::cellAlignment(int row, int column) const {
    const QTableWidgetItem* cell = item(row, column);
    if (!cell)
        return -1;
    const Qt::Alignment a = Qt::Alignment(cell->textAlignment());
    const int h = a & Qt::AlignHCenter ? 1 : (a & Qt::AlignRight ? 2 : 0);
    const int v = a & Qt::AlignVCenter ? 1 : (a & Qt::AlignBottom ? 2 : 0);
    return h * 3 + v;
}

void BoardGrid::setBackgroundColor(std::uint32_t colorRef) {
    QPalette p = palette();
    p.setColor(QPalette::Base, qcolorFromColorRef(colorRef));
    setPalette(p);
}

std::uint32_t BoardGrid::backgroundColor() const {
    return colorRefFromQColor(palette().color(QPalette::Base));
}

void BoardGrid::setColumnWidthTwips(int column, int twips) {
    setColumnWidth(column, twipsToPixels(twips));
}

// A keyboard move changes the selection before the current cell, a mouse drag the current cell
// before the selection: a single selected cell is where the selection ends, and for a range the
// current cell is.
int BoardGrid::selectedRow() const {
    const auto ranges = selectedRanges();
    if (ranges.size() == 1 && ranges.first().rowCount() == 1 && ranges.first().columnCount() == 1)
        return ranges.first().topRow();
    return currentRow();
}

int BoardGrid::selectedColumn() const {
    const auto ranges = selectedRanges();
    if (ranges.size() == 1 && ranges.first().rowCount() == 1 && ranges.first().columnCount() == 1)
        return ranges.first().leftColumn();
    return currentColumn();
}

void BoardGrid::repaintCell(int row, int column) {
    if (!painting_ || !isVisible())
        return;
    const QTableWidgetItem* cell = item(row, column);
    const QRect rect = cell ? visualItemRect(cell) : visualRect(model()->index(row, column));
    if (!rect.isValid() || !viewport()->rect().intersects(rect))
        return;
    pending_ += rect;
    if (frameDue())
        flushRepaint();
}

void BoardGrid::beginProgress() {
    constexpr int kFirstFrameMs = 100;
    pending_ = QRegion();
    nextFrameMs_ = kFirstFrameMs;
    sinceFlush_.start();
}

bool BoardGrid::frameDue() const {
    return painting_ && (!sinceFlush_.isValid() || sinceFlush_.elapsed() >= nextFrameMs_);
}

void BoardGrid::flushRepaint() {
    constexpr int kFrameMs = 16;
    if (!pending_.isEmpty() && painting_ && isVisible())
        viewport()->repaint(pending_);
    pending_ = QRegion();
    nextFrameMs_ = kFrameMs;
    sinceFlush_.start();
}

void BoardGrid::endProgress() {
    pending_ = QRegion();
    sinceFlush_.invalidate();
}

} // namespace rv
