#pragma once

#include <QElapsedTimer>
#include <QIcon>
#include <QRegion>
#include <QTableWidget>
#include <cstdint>

namespace rv {

// The board's grid: row 0 is the header with the day numbers, column 0 the names. Cells are
// addressed as the board addresses them; moving the current cell from code never counts as a
// user selection (no selectionChangedByUser signal).
class BoardGrid : public QTableWidget {
    Q_OBJECT
public:
    explicit BoardGrid(QWidget* parent = nullptr);

    // Makes (row, column) the current cell without raising the user-selection signal.
    void selectFromCode(int row, int column);
    // Leaves no cell selected, so that the user's next click on any cell is a selection.
    void clearSelectionFromCode();

    // Rows and columns added or removed by the board. Removing the row or column of the user's
    // selected cell changes the selection; that is no user selection either. (These hide
    // QTableWidget's own, which would raise the signal.)
    void insertRow(int row);
    void removeRow(int row);
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
    void setPaintingEnabled(bool enabled) { painting_ = enabled; }
    bool paintingEnabled() const { return painting_; }

signals:
    void selectionChangedByUser();

private:
    template <typename Change> void changeFromCode(Change change);
    QTableWidgetItem* itemFor(int row, int column);
    void flushRepaint();
    bool fromCode_ = false;
    bool painting_ = true;
    QRegion pending_;
    QElapsedTimer sinceFlush_;
    int nextFrameMs_ = 0;
};

} // namespace rv
