#include "board/board_grid.h"

#include "board/day_texts.h"
#include "board/frozen_cells.h"
#include "board/grid_cell_painter.h"
#include "ui/colors.h"
#include "ui/twips.h"

#include <QCoreApplication>
#include <QDate>
#include <QFontMetricsF>
#include <QHeaderView>
#include <QHelpEvent>
#include <QProgressBar>
#include <QScrollBar>
#include <QToolTip>

namespace rv {

namespace {

// The day columns' width at start; the font is chosen for it.
constexpr int kDefaultDayColumnTwips = 230;

// A cell of the board, with its tooltip kept beside the model's data: a build writes one for
// every day it reads, and as model data each would be announced to every view of the grid.
class BoardCell : public QTableWidgetItem {
public:
    BoardCell() : QTableWidgetItem(UserType) {}
    QTableWidgetItem* clone() const override { return new BoardCell(*this); }
    QString toolTip;
};

BoardCell* boardCell(QTableWidgetItem* item) {
    return item && item->type() == QTableWidgetItem::UserType ? static_cast<BoardCell*>(item)
                                                              : nullptr;
}

} // namespace

QFont BoardGrid::fontFittingDayNumbers(QFont font, int columnPixels) {
    // The cell is the column less its grid line; a pixel of it is left free so that the
    // numbers of neighbouring days never touch.
    const qreal room = columnPixels - 2;
    qreal size = font.pointSizeF() > 0 ? font.pointSizeF() : 9;
    for (; size > 5; size -= 0.5) {
        font.setPointSizeF(size);
        const QFontMetricsF metrics(font);
        qreal widest = 0;
        for (int day = 10; day <= 31; ++day)
            widest = std::max(widest, metrics.horizontalAdvance(QString::number(day)));
        if (widest <= room)
            break;
    }
    font.setPointSizeF(size);
    return font;
}

BoardGrid::BoardGrid(QWidget* parent) : QTableWidget(parent) {
    steadyClock_.start();
    horizontalHeader()->hide();
    verticalHeader()->hide();
    // Day columns are narrow by design (230 twips): no minimum width, no eliding of day numbers.
    horizontalHeader()->setMinimumSectionSize(1);
    setTextElideMode(Qt::ElideNone);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setIconSize(QSize(16, 16));
    setWordWrap(false);
    setFont(fontFittingDayNumbers(font(), twipsToPixels(kDefaultDayColumnTwips)));
    // By the pixel: the fixed row and column cover part of the first cells scrolled under them,
    // never whole columns at once.
    setHorizontalScrollMode(ScrollPerPixel);
    setVerticalScrollMode(ScrollPerPixel);
    setItemDelegate(new GridCellPainter(*this, this));
    frozen_ = std::make_unique<FrozenCells>(*this);
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this] { frozen_->place(); });
    connect(verticalHeader(), &QHeaderView::sectionResized, this, [this] { frozen_->place(); });
    connect(this, &QTableWidget::itemSelectionChanged, this, [this] {
        if (!fromCode_)
            emit selectionChangedByUser();
    });
}

BoardGrid::~BoardGrid() = default;

// Code moves the current cell all over the board (a build visits every cell): none of it may
// scroll the board away from where the user has it.
template <typename Change> void BoardGrid::changeFromCode(Change change) {
    const bool wasFromCode = fromCode_;
    const bool scrolled = hasAutoScroll();
    fromCode_ = true;
    setAutoScroll(false);
    change();
    setAutoScroll(scrolled);
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

void BoardGrid::removeRowsFrom(int row) {
    if (row < 0 || row >= rowCount())
        return;
    changeFromCode([&] { model()->removeRows(row, rowCount() - row); });
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
        cell = new BoardCell;
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
    // Icons cannot be compared: taking none from a cell that has none would otherwise tell every
    // view of the grid that the cell changed.
    if (picture.isNull() && !cellHasPicture(row, column))
        return;
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

void BoardGrid::setMonth(int month, int year) {
    month_ = month;
    year_ = year;
    const QDate today = QDate::currentDate();
    todayColumn_ = today.month() == month && today.year() == year ? today.day() : -1;
    viewport()->update();
}

int BoardGrid::nameRoom() const {
    return columnWidth(0) - (showGrid() ? 1 : 0) - 2 * GridCellPainter::textMargin(this);
}

QString BoardGrid::cellToolTip(int row, int column) const {
    if (row < 0 || column < 0 || row >= rowCount() || column >= columnCount())
        return {};
    if (row == 0)
        return column > 0 && month_ >= 1 && month_ <= 12 ? dayNumberToolTip(column, month_, year_)
                                                         : QString();
    if (column == 0) {
        const QString name = cellText(row, 0);
        return QFontMetrics(font()).horizontalAdvance(name) > nameRoom() ? name : QString();
    }
    const BoardCell* cell = boardCell(item(row, column));
    return cell ? cell->toolTip : QString();
}

void BoardGrid::setCellToolTip(int row, int column, const QString& text) {
    if (BoardCell* cell = boardCell(itemFor(row, column)))
        cell->toolTip = text;
}

bool BoardGrid::showCellToolTip(const QHelpEvent& event, const QModelIndex& index, QWidget* view) {
    if (!index.isValid())
        return false;
    QString text = cellToolTip(index.row(), index.column());
    if (text.isEmpty())
        return false;
    // Shown as written: a subject that looks like markup is not turned into rich text, and
    // the carriage returns of the details lines break the lines.
    text.replace(QChar(13), QLatin1Char('\n'));
    while (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    QRect cell = visualRect(index);
    if (view != viewport())
        cell = QRect(view->mapFromGlobal(viewport()->mapToGlobal(cell.topLeft())), cell.size());
    // Rich text only to keep each line whole (a tooltip would wrap at "->"); the text itself is
    // escaped.
    const QString lines = text.toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>"));
    QToolTip::showText(event.globalPos(),
                       QStringLiteral("<p style='white-space:pre'>%1</p>").arg(lines), view, cell);
    return true;
}

bool BoardGrid::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto& help = static_cast<const QHelpEvent&>(*event);
        return showCellToolTip(help, indexAt(help.pos()), viewport());
    }
    return QTableWidget::viewportEvent(event);
}

BoardGrid::ScrollPosition BoardGrid::scrollPosition() const {
    return {horizontalScrollBar()->value(), verticalScrollBar()->value()};
}

void BoardGrid::setScrollPosition(ScrollPosition position) {
    // The scroll ranges follow rows and columns only once the view is laid out again.
    executeDelayedItemsLayout();
    horizontalScrollBar()->setValue(position.horizontal);
    verticalScrollBar()->setValue(position.vertical);
}

void BoardGrid::scrollTo(const QModelIndex& index, ScrollHint hint) {
    if (!index.isValid())
        return;
    const ScrollPosition before = scrollPosition();
    QTableWidget::scrollTo(index, hint);
    const QRect cell = visualRect(index);
    QScrollBar* across = horizontalScrollBar();
    QScrollBar* down = verticalScrollBar();
    if (index.column() == 0)
        across->setValue(before.horizontal);
    else if (columnCount() > 0 && cell.left() < columnWidth(0))
        across->setValue(across->value() - (columnWidth(0) - cell.left()));
    if (index.row() == 0)
        down->setValue(before.vertical);
    else if (rowCount() > 0 && cell.top() < rowHeight(0))
        down->setValue(down->value() - (rowHeight(0) - cell.top()));
}

void BoardGrid::updateGeometries() {
    QTableWidget::updateGeometries();
    if (frozen_)
        frozen_->place();
}

void BoardGrid::resizeEvent(QResizeEvent* event) {
    QTableWidget::resizeEvent(event);
    if (frozen_)
        frozen_->place();
}

void BoardGrid::changeEvent(QEvent* event) {
    QTableWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange && frozen_)
        frozen_->place();
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
    const QRect rect = visualRect(model()->index(row, column));
    if (rect.isValid() && viewport()->rect().intersects(rect))
        pending_ += rect;
    // A frame is painted when it is due whether or not this cell is in view: the progress panels
    // follow the frames, and rows out of view must not make them paint on every day.
    if (frameDue())
        flushRepaint();
}

void BoardGrid::showProgress(QProgressBar& bar, int percent) {
    if (bar.value() == percent)
        return;
    // A progress bar repaints itself at once on every change: it is given its value without,
    // and painted with the grid's next frame (or when the build ends).
    bar.setUpdatesEnabled(false);
    bar.setValue(percent);
    bar.setUpdatesEnabled(true);
}

void BoardGrid::beginProgress() {
    constexpr int kFirstFrameMs = 100;
    pending_ = QRegion();
    nextFrameMs_ = kFirstFrameMs;
    flushedAtMs_ = nowMs();
}

qint64 BoardGrid::nowMs() const {
    return frameClock_ ? frameClock_() : steadyClock_.elapsed();
}

bool BoardGrid::frameDue() const {
    return painting_ && (flushedAtMs_ < 0 || nowMs() - flushedAtMs_ >= nextFrameMs_);
}

void BoardGrid::flushRepaint() {
    constexpr int kFrameMs = 16;
    if (painting_ && isVisible()) {
        // One paint for everything the frame changed: the cells and the progress panels.
        if (!pending_.isEmpty())
            viewport()->update(pending_);
        QCoreApplication::sendPostedEvents(window(), QEvent::UpdateRequest);
    }
    pending_ = QRegion();
    nextFrameMs_ = kFrameMs;
    flushedAtMs_ = nowMs();
}

void BoardGrid::endProgress() {
    pending_ = QRegion();
    flushedAtMs_ = -1;
}

} // namespace rv
