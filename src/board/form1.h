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
class QMenu;
class QProgressBar;
class QPushButton;
class QScrollBar;

namespace rv {

struct BoardPicture;

// The board window: the month board of the current group, with the controls that choose the
// month, the year and the column width, and the menus and buttons that open the other windows.
class Form1 : public QMainWindow {
    Q_OBJECT
public:
    explicit Form1(BoardServices services, QWidget* parent = nullptr);
    ~Form1() override;

    BoardState& state() { return state_; }
    BoardGrid& grid() { return *Grid1; }

    // Where each part lives:
    //   form1.cpp          controls and menus, start-up, the month/year/width controls, Exit,
    //                      "Include Details"
    //   board_layout.cpp   the month grid's layout: set_grid, header and widths, allignc1
    //   board_build.cpp    Init_Grid and the rows it adds: add_user, get_user_x
    //   person_row.cpp     one person's month painted into their row; update_one_user
    //   cell_details.cpp   selecting and double-clicking cells
    //   board_windows.cpp  the windows the board opens, and "Print to Word"
    //   board_picture_menu.cpp  the board as a picture: "Save Board As...", "Print Board..."
    // What the board shows is computed by BoardBuilder (board_builder.h) without widgets.

    // Start-up (form1.cpp); shows the window while the first build runs.
    void Form_Load();

    // Month grid layout (board_layout.cpp).
    void set_grid();
    void allignc1();
    void headerAndWidths();

    // The board build and the person rows (board_build.cpp, person_row.cpp).
    void Init_Grid();
    // st1 is the member's record number plus one (32-bit: a group may have more members than a
    // 16-bit number counts); groupNo the member file it came from.
    void add_user(const QString& useri, std::int32_t st1, int groupNo);
    QString get_user_x(int userx);
    void update_one_user();

    // Handlers, by caption.
    void Command4_Click();    // "Update Now" (form1.cpp)
    void txtYear_LostFocus(); // the "Year" field left (form1.cpp)
    void HScroll1_Change();   // "Adjust Grid" moved (form1.cpp)
    void Command1_Click();    // "Groups" (form1.cpp)
    void editgrp_Click();     // Groups > "Edit Groups" (board_windows.cpp)
    void btnlegend_Click();   // "Legend" (board_windows.cpp)
    void mnuags_Click();      // Help > "About Rotaview" (board_windows.cpp)
    void printtoword_Click(); // File > "Print to Word" (board_windows.cpp)
    void exit_Click();        // File > "Exit" (form1.cpp)
    void mnudetails_Click();  // Options > "Include Details" (form1.cpp)
    void GRID1_SelChange();   // a cell selected (cell_details.cpp)
    void Grid1_DblClick();    // a cell double-clicked (cell_details.cpp)

    // The board as a picture (board_picture_menu.cpp): File > "Save Board As..." asks for a
    // .png or .pdf file, File > "Print Board..." for a printer; false when cancelled or failed
    // (the failure told to the user).
    bool saveBoardAs();
    bool printBoard();
    // The board as built last, as its picture shows it.
    BoardPicture boardPicture() const;

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
    QAction* saveBoardAction = nullptr;
    QAction* printBoardAction = nullptr;

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
    void addBoardPictureMenu(QMenu* file);
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
    // What the last whole build showed: the title and legend of the board's picture, which the
    // month list, the year field and the legend may have moved on from since.
    struct ShownBoard {
        QString group;
        int month = 0;
        int year = 0;
        CategoryColors colors = defaultCategoryColors();
    };
    ShownBoard shownBoard_;
};

} // namespace rv
