#pragma once

#include "board/board_builder.h"
#include "board/board_grid.h"
#include "board/board_members.h"
#include "board/board_services.h"
#include "board/board_state.h"

#include <QMainWindow>
#include <QPointer>

#include <optional>

class QAction;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QScrollBar;

namespace rv {

// The board window: the month board of the current group, with the controls that choose the
// month, the year and the column width, and the menus and buttons that open the other windows.
class Form1 : public QMainWindow {
    Q_OBJECT
public:
    explicit Form1(BoardServices services, QWidget* parent = nullptr);
    ~Form1() override;

    BoardState& state() { return state_; }
    BoardGrid& grid() { return *Grid1; }

    // Start-up; shows the window while the first build runs.
    void Form_Load();

    // Month grid layout.
    void set_grid();
    void allignc1();
    void headerAndWidths();

    // The board build and the person rows.
    void Init_Grid();
    // st1 is the member's record number plus one; groupNo the member file it came from.
    void add_user(const QString& useri, std::int16_t st1, int groupNo);
    QString get_user_x(int userx);
    void update_one_user();

    // Handlers.
    void Command4_Click();
    void txtYear_LostFocus();
    void HScroll1_Change();
    void Command1_Click();
    void editgrp_Click();
    void btnlegend_Click();
    void mnuags_Click();
    void printtoword_Click();
    void exit_Click();
    void mnudetails_Click();
    void GRID1_SelChange();
    void Grid1_DblClick();

    // Controls (public so the other windows and tests reach them, as the board's design has it).
    QFrame* SSFrame1 = nullptr;
    QPushButton* Command1 = nullptr;
    QLineEdit* Text1 = nullptr;
    QPushButton* Command4 = nullptr;
    QPushButton* btnlegend = nullptr;
    QLabel* lMonth = nullptr;
    QComboBox* Combo1 = nullptr;
    QLabel* Label5 = nullptr;
    QLineEdit* txtYear = nullptr;
    QLabel* Overall = nullptr;
    QProgressBar* pbar_users = nullptr;
    QLabel* Label1 = nullptr;
    QProgressBar* pbar_days = nullptr;
    QLabel* Label3 = nullptr;
    QScrollBar* HScroll1 = nullptr;
    BoardGrid* Grid1 = nullptr;
    QAction* printtoword = nullptr;
    QAction* exitAction = nullptr;
    QAction* editgrp = nullptr;
    QAction* mnudetails = nullptr;
    QAction* mnuags = nullptr;

    // Open modeless windows, for bringing them to the front.
    QPointer<QWidget> groupEditor;
    QPointer<QWidget> legendWindow;
    QPointer<QWidget> aboutWindow;

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void buildMenus();
    void Form_Resize();
    void connectCalendar();
    void showModeless(QPointer<QWidget>& window, const std::function<QWidget*()>& create);

    enum class RowPass { Build, Refresh };
    // Reads one person's month into their row: colours, pictures, and with a build the texts.
    void readPersonRow(int row, const QString& id, RowPass pass);
    QString storedIdOfRow(int userx);
    // Tells the user once, after a build, that the calendar service failed during it.
    void tellServiceFailures();

    BoardServices services_;
    BoardState state_;
    QIcon deniedPicture_;
    // Per grid row, the member record the row shows (row 0, the header, has none).
    std::vector<RowMember> rowMembers_;
    BoardBuilder builder_;
    // No calendar service could be opened at start-up (the user was told then).
    bool calendarUnavailable_ = false;
    // Row 1 left over from the previous board, not yet taken over by a member.
    bool row1Stale_ = false;
};

} // namespace rv
