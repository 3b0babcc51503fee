#include "board/grid_cell_painter.h"

#include "board/board_grid.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>

namespace rv {

namespace {

constexpr int kTodayFrameWidth = 2;
const QColor kTodayFrame(Qt::black);

} // namespace

GridCellPainter::GridCellPainter(const BoardGrid& grid, QObject* parent)
    : QStyledItemDelegate(parent), grid_(grid) {}

int GridCellPainter::textMargin(const QWidget* view) {
    const QStyle* style = view ? view->style() : QApplication::style();
    return style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
}

void GridCellPainter::initStyleOption(QStyleOptionViewItem* option,
                                      const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    option->textElideMode = index.column() == 0 ? Qt::ElideRight : Qt::ElideNone;
}

void GridCellPainter::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    if (index.column() == 0 || index.data(Qt::DisplayRole).toString().isEmpty()) {
        QStyledItemDelegate::paint(painter, option, index);
    } else {
        // The style keeps a margin on each side of the text that a 15-pixel column cannot
        // spare: the text gets the whole cell, and nothing is painted outside it.
        painter->save();
        painter->setClipRect(option.rect, Qt::IntersectClip);
        QStyleOptionViewItem whole(option);
        const int margin = textMargin(option.widget);
        whole.rect.adjust(-margin, 0, margin, 0);
        QStyledItemDelegate::paint(painter, whole, index);
        painter->restore();
    }

    if (index.column() != grid_.todayColumn())
        return;
    const QRect r = option.rect;
    const int w = kTodayFrameWidth;
    painter->fillRect(QRect(r.left(), r.top(), w, r.height()), kTodayFrame);
    painter->fillRect(QRect(r.right() - w + 1, r.top(), w, r.height()), kTodayFrame);
    if (index.row() == 0)
        painter->fillRect(QRect(r.left(), r.top(), r.width(), w), kTodayFrame);
    if (index.row() == grid_.rowCount() - 1)
        painter->fillRect(QRect(r.left(), r.bottom() - w + 1, r.width(), w), kTodayFrame);
}

} // namespace rv
