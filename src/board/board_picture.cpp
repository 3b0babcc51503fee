#include "board/board_picture.h"

#include "board/board_grid.h"
#include "ui/colors.h"

#include <QApplication>
#include <QDate>
#include <QFontMetrics>
#include <QLocale>
#include <QPainter>

#include <algorithm>

namespace rv {

namespace {

constexpr int kMargin = 16;
constexpr int kTitleHeight = 32;
constexpr int kGap = 10;
constexpr int kNameColumnMin = 87; // the window's 1300 twips
constexpr int kNameColumnMax = 320;
constexpr int kSwatch = 16;
constexpr int kLegendLine = 24;
constexpr int kPictureSize = 16; // the access-denied picture, as the window shows it
const QColor kLine(0x80, 0x80, 0x80);
const QColor kInk(0x20, 0x20, 0x20);

// Fonts in pixels, so that the picture is laid out alike on every device it is painted on.
QFont textFont() {
    QFont font = QApplication::font();
    font.setPixelSize(12);
    return font;
}

QFont titleFont() {
    QFont font = QApplication::font();
    font.setPixelSize(20);
    font.setBold(true);
    return font;
}

QColor shownColor(const BoardGrid& grid, int row, int column) {
    const std::int64_t own = grid.cellColor(row, column);
    return qcolorFromColorRef(own < 0 ? grid.backgroundColor() : std::uint32_t(own));
}

} // namespace

QString boardTitle(const QString& groupName, int month, int year) {
    const QDate first = QDate(year, 1, 1).addMonths(month - 1);
    const QString when = first.isValid() ? QLocale::c().standaloneMonthName(first.month()) +
                                               QLatin1Char(' ') + QString::number(first.year())
                                         : QStringLiteral("%1/%2").arg(month).arg(year);
    return groupName.trimmed().isEmpty() ? when : groupName + QStringLiteral(" \u2013 ") + when;
}

BoardPicture boardPictureOf(const BoardGrid& grid, const QString& title,
                            const CategoryColors& colors, const QIcon& deniedPicture) {
    BoardPicture picture;
    picture.title = title;
    picture.days = std::max(0, grid.columnCount() - 1);
    picture.deniedPicture = deniedPicture;
    picture.dayColumnWidth = picture.days > 0 ? grid.columnWidth(1) : 0;
    for (int c = 0; c < kDayCategoryCount; ++c)
        picture.legend[c] = qcolorFromColorRef(paintedColor(colors[c]));
    for (int r = 1; r < grid.rowCount(); ++r) {
        BoardPicture::Row row;
        row.name = grid.cellText(r, 0);
        for (int d = 1; d <= picture.days; ++d)
            row.days.append(
                {shownColor(grid, r, d), grid.cellHasPicture(r, d), grid.cellText(r, d)});
        picture.rows.append(row);
    }
    return picture;
}

BoardPictureLayout::BoardPictureLayout(const BoardPicture& picture, int firstPerson, int people) {
    const int total = static_cast<int>(picture.rows.size());
    firstPerson_ = std::clamp(firstPerson, 0, total);
    people_ = people < 0 ? total - firstPerson_ : std::min(people, total - firstPerson_);

    const QFontMetrics text(textFont());
    const QFontMetrics title(titleFont());
    rowHeight_ = std::max(20, text.height() + 8);
    int widestName = 0;
    for (const BoardPicture::Row& row : picture.rows)
        widestName = std::max(widestName, text.horizontalAdvance(row.name));
    nameWidth_ = std::clamp(widestName + 12, kNameColumnMin, kNameColumnMax);
    dayWidth_ = std::max(picture.dayColumnWidth, text.horizontalAdvance(QStringLiteral("31")) + 8);
    gridTop_ = kMargin + kTitleHeight + kGap;

    const int gridWidth = nameWidth_ + picture.days * dayWidth_;
    int captionsWidth = 0;
    for (int c = 0; c < kDayCategoryCount; ++c)
        captionsWidth = std::max(
            captionsWidth, text.horizontalAdvance(categoryCaption(static_cast<DayCategory>(c))));
    const int entryWidth = kSwatch + 6 + captionsWidth + 18;
    const int width =
        std::max({gridWidth, title.horizontalAdvance(picture.title) + 80, entryWidth});

    // The legend runs in lines as wide as the board, entries of equal width.
    const int perLine = std::clamp(width / entryWidth, 1, kDayCategoryCount);
    const int legendTop = gridTop_ + (people_ + 1) * rowHeight_ + kGap + 4;
    for (int c = 0; c < kDayCategoryCount; ++c) {
        const int x = kMargin + (c % perLine) * entryWidth;
        const int y = legendTop + (c / perLine) * kLegendLine;
        swatches_[c] = QRect(x, y + (kLegendLine - kSwatch) / 2, kSwatch, kSwatch);
        captions_[c] = QRect(x + kSwatch + 6, y, captionsWidth + 12, kLegendLine);
    }
    const int legendLines = (kDayCategoryCount + perLine - 1) / perLine;
    size_ = QSize(width + 2 * kMargin, legendTop + legendLines * kLegendLine + kMargin);
}

int BoardPictureLayout::fixedHeight() const {
    return size_.height() - people_ * rowHeight_;
}

QRect BoardPictureLayout::titleRect() const {
    return QRect(kMargin, kMargin, size_.width() - 2 * kMargin, kTitleHeight);
}

QRect BoardPictureLayout::cellRect(int row, int column) const {
    const int line = row == 0 ? 0 : row - firstPerson_;
    const int x = kMargin + (column == 0 ? 0 : nameWidth_ + (column - 1) * dayWidth_);
    return QRect(x, gridTop_ + line * rowHeight_, column == 0 ? nameWidth_ : dayWidth_, rowHeight_);
}

void paintBoardPicture(QPainter& painter, const BoardPicture& picture,
                       const BoardPictureLayout& layout, const QString& title) {
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.fillRect(QRect(QPoint(0, 0), layout.size()), Qt::white);
    painter.setPen(kInk);
    painter.setFont(titleFont());
    painter.drawText(layout.titleRect(), Qt::AlignLeft | Qt::AlignVCenter, title);

    // Header row: day numbers over the day columns.
    painter.setFont(textFont());
    for (int d = 1; d <= picture.days; ++d)
        painter.drawText(layout.cellRect(0, d), Qt::AlignCenter, QString::number(d));

    const QSize pictureSize(kPictureSize, kPictureSize);
    for (int p = layout.firstPerson(); p < layout.firstPerson() + layout.people(); ++p) {
        const BoardPicture::Row& row = picture.rows[p];
        const QRect nameCell = layout.cellRect(p + 1, 0);
        painter.drawText(nameCell.adjusted(4, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter,
                         row.name);
        for (int d = 1; d <= picture.days && d <= row.days.size(); ++d) {
            const BoardPicture::Cell& cell = row.days[d - 1];
            const QRect rect = layout.cellRect(p + 1, d);
            painter.fillRect(rect, cell.color);
            if (cell.denied && !picture.deniedPicture.isNull()) {
                QRect at(QPoint(0, 0), pictureSize.boundedTo(rect.size() - QSize(2, 2)));
                at.moveCenter(rect.center());
                // The largest picture the icon has, scaled down: sharp on paper too.
                painter.drawPixmap(at, picture.deniedPicture.pixmap(QSize(64, 64)));
            }
            if (!cell.text.isEmpty()) {
                painter.save();
                painter.setClipRect(rect.adjusted(1, 1, -1, -1));
                painter.drawText(rect.adjusted(2, 0, -1, 0), Qt::AlignLeft | Qt::AlignVCenter,
                                 cell.text);
                painter.restore();
            }
        }
    }

    // Lines between the cells, over the whole grid.
    painter.setPen(QPen(kLine, 1));
    const QRect first = layout.cellRect(0, 0);
    const QRect last = layout.cellRect(layout.firstPerson() + layout.people(), picture.days);
    const int right = picture.days > 0 ? last.right() + 1 : first.right() + 1;
    const int bottom = last.bottom() + 1;
    for (int line = 0; line <= layout.people() + 1; ++line) {
        const int y = first.top() + line * layout.rowHeight();
        painter.drawLine(first.left(), y, right, y);
    }
    painter.drawLine(first.left(), first.top(), first.left(), bottom);
    for (int d = 1; d <= picture.days + 1; ++d) {
        const int x = d <= picture.days ? layout.cellRect(0, d).left() : right;
        painter.drawLine(x, first.top(), x, bottom);
    }

    // The legend beneath.
    painter.setPen(kInk);
    for (int c = 0; c < kDayCategoryCount; ++c) {
        painter.fillRect(layout.legendSwatch(c), picture.legend[c]);
        painter.setPen(kLine);
        painter.drawRect(layout.legendSwatch(c).adjusted(0, 0, -1, -1));
        painter.setPen(kInk);
        painter.drawText(layout.legendCaption(c), Qt::AlignLeft | Qt::AlignVCenter,
                         categoryCaption(static_cast<DayCategory>(c)));
    }
    painter.restore();
}

QList<BoardPage> planBoardPages(const BoardPicture& picture, const QRectF& area) {
    // A picture pixel is at most three points (a small board grows to fill the page), and a long
    // board is not shrunk below three quarters of a point (text of 9 points) to fit one page.
    constexpr qreal kMaxScale = 3.0, kMinScale = 0.75;
    const BoardPictureLayout whole(picture);
    const QSizeF size = whole.size();
    QList<BoardPage> pages;
    if (size.isEmpty() || area.isEmpty())
        return pages;
    const qreal widthScale = std::min(area.width() / size.width(), kMaxScale);
    qreal scale = std::min(widthScale, area.height() / size.height());
    int perPage = whole.people();
    if (scale < std::min(widthScale, kMinScale) && perPage > 1) {
        scale = std::min(
            {widthScale, kMinScale, area.height() / (whole.fixedHeight() + whole.rowHeight())});
        perPage = std::max(
            1, static_cast<int>((area.height() / scale - whole.fixedHeight()) / whole.rowHeight()));
    }
    const int total = whole.people();
    for (int first = 0; first == 0 || first < total; first += std::max(1, perPage)) {
        const BoardPictureLayout layout(picture, first, perPage);
        const qreal left = area.left() + (area.width() - layout.size().width() * scale) / 2;
        QTransform transform;
        transform.translate(left, area.top());
        transform.scale(scale, scale);
        pages.append({first, layout.people(), transform});
    }
    return pages;
}

} // namespace rv
