#pragma once

#include <QElapsedTimer>
#include <QIcon>
#include <QRegion>
#include <QTableWidget>
#include <cstdint>
#include <functional>
#include <memory>

class QHelpEvent;
class QProgressBar;

namespace rv {

class FrozenCells;

// The board's grid: row 0 is the header with the day numbers, column 0 the names. Cells are
// addressed as the board addresses them; moving the current cell from code never counts as a
// user selection (no selectionChangedByUser signal) and never scrolls the board: what the user
// scrolled to stays in view. Row 0 and column 0 stay in view when the board scrolls.
class BoardGrid : public QTableWidget {
    Q_OBJECT
public:
    explicit BoardGrid(QWidget* parent = nullptr);
    ~BoardGrid() override;

    // The largest size of the font at which every two-digit day number fits a day column of
    // the given width in pixels.
    static QFont fontFittingDayNumbers(QFont font, int columnPixels);

    // Makes (row, column) the current cell without raising the user-selection signal.
    void selectFromCode(int row, int column);
    // Leaves no cell selected, so that the user's next click on any cell is a selection.
    void clearSelectionFromCode();

    // Rows and columns added or removed by the board. Removing the row or column of the user's
    // selected cell changes the selection; that is no user selection either. (These hide
    // QTableWidget's own, which would raise the signal.)
    void insertRow(int row);
    void removeRow(int row);
    // Every row from `row` on, at once.
    void removeRowsFrom(int row);
    void setRowCount(int rows);
    void setColumnCount(int columns);

    void setCellText(int row, int column, const QString& text);
    QString cellText(int row, int column) const;
    void setCellColor(int row, int column, std::uint32_t colorRef);
    // The cell's own background colour as 0x00BBGGRR, or -1 when it shows the grid's background.
    std::int64_t cellColor(int row, int column) const;
    void setCellPicture(int row, int column, const QIcon& picture);
    bool cellHasPicture(int row, int column) const;
    // Alignment codes 0..8: left/centre/right by top/centre/bottom.
    void setCellAlignment(int row, int column, int code);
    int cellAlignment(int row, int column) const;

    void setBackgroundColor(std::uint32_t colorRef);
    std::uint32_t backgroundColor() const;

    // Column widths in twips.
    void setColumnWidthTwips(int column, int twips);

    // The month the day columns stand for: the day numbers' tooltips name their dates, and the
    // column of today's date is framed.
    void setMonth(int month, int year);
    // The column of today's date, or -1 when the grid shows another month.
    int todayColumn() const { return todayColumn_; }

    // What hovering over a cell shows: the weekday and date of a day number, the full name of a
    // name too wide for its column, the tooltip given to a day cell. Empty where the grid's own
    // tooltip shows instead.
    QString cellToolTip(int row, int column) const;
    // Plain text, shown as it stands.
    void setCellToolTip(int row, int column, const QString& text);
    // Shows the tooltip of the cell at `index` for a help event on `view` (the grid's viewport
    // or one of its fixed parts); false when the cell has none.
    bool showCellToolTip(const QHelpEvent& event, const QModelIndex& index, QWidget* view);

    // The scroll bars' positions, to be put back after the rows were rebuilt.
    struct ScrollPosition {
        int horizontal = 0;
        int vertical = 0;
    };
    ScrollPosition scrollPosition() const;
    void setScrollPosition(ScrollPosition position);

    // The selected row and column: where the selection ends.
    int selectedRow() const;
    int selectedColumn() const;

    // Repaints what changed so that a long build, which does not return to the event loop,
    // shows its progress. Between beginProgress and endProgress, changed cells are painted
    // together about sixty times a second, however fast the calendars are read, and not at all
    // in the first tenth of a second: a build or refresh that ends by then looks instant and is
    // painted once, by the caller's update after endProgress. Painting can be left out entirely
    // (benchmarks compare a build with and without it).
    void beginProgress();
    void repaintCell(int row, int column);
    // Forgets the cells not yet painted: the caller repaints the whole board next.
    void endProgress();
    // Whether the next repaintCell paints: what else shows progress can follow it.
    bool frameDue() const;
    // Sets a progress panel to be painted with the next frame rather than at once.
    void showProgress(QProgressBar& bar, int percent);
    // The clock frames are timed by, in milliseconds (a steady clock unless a test steps its own).
    void setFrameClock(std::function<qint64()> nowMs) { frameClock_ = std::move(nowMs); }
    void setPaintingEnabled(bool enabled) { painting_ = enabled; }
    bool paintingEnabled() const { return painting_; }

    // The name column's width less the margins of its text: a wider name is elided.
    int nameRoom() const;

signals:
    void selectionChangedByUser();

protected:
    // The fixed row and column never scroll out of view, and a cell scrolled to is clear of
    // them.
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    bool viewportEvent(QEvent* event) override;
    void updateGeometries() override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    template <typename Change> void changeFromCode(Change change);
    QTableWidgetItem* itemFor(int row, int column);
    void flushRepaint();
    bool fromCode_ = false;
    bool painting_ = true;
    QRegion pending_;
    qint64 nowMs() const;
    QElapsedTimer steadyClock_;
    std::function<qint64()> frameClock_;
    qint64 flushedAtMs_ = -1; // no progress running
    int nextFrameMs_ = 0;
    int month_ = 0;
    int year_ = 0;
    int todayColumn_ = -1;
    std::unique_ptr<FrozenCells> frozen_;
};

} // namespace rv
