#include "board/form1.h"

#include "board/month_layout.h"
#include "calendar/connection/calendar_connection.h"
#include "days/category_colors.h"
#include "groups/frmgroup.h"
#include "groups/group_files.h"
#include "platform/document_window.h"
#include "platform/prompts.h"
#include "platform/settings_store.h"
#include "ui/program_files.h"
#include "ui/twips.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>

namespace rv {

namespace {

constexpr int kNameColumnTwips = 1300;
constexpr int kGridTopTwips = 1560;

void place(QWidget* w, int left, int top, int width, int height) {
    w->setGeometry(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
                   twipsToPixels(height));
}

QProgressBar* progressPanel(QWidget* parent, const char* fill) {
    auto* bar = new QProgressBar(parent);
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);
    bar->setStyleSheet(QStringLiteral("QProgressBar { border: 1px solid grey; background: white; }"
                                      "QProgressBar::chunk { background: %1; }")
                           .arg(QLatin1String(fill)));
    return bar;
}

} // namespace

Form1::Form1(BoardServices services, QWidget* parent)
    : QMainWindow(parent), services_(std::move(services)) {
    setWindowTitle(QStringLiteral("Rotaview"));
    buildControls();
    buildMenus();
    resize(twipsToPixels(9615), twipsToPixels(6000) + menuBar()->sizeHint().height());
    deniedPicture_ = QIcon(programFile(QStringLiteral("msgbox03.ico")));
}

Form1::~Form1() {
    services_.settings.setFailureListener({});
}

void Form1::buildControls() {
    auto* client = new QWidget(this);
    client->setAutoFillBackground(true);
    QPalette grey = client->palette();
    grey.setColor(QPalette::Window, QColor(0xC0, 0xC0, 0xC0));
    client->setPalette(grey);
    setCentralWidget(client);

    SSFrame1 = new QFrame(client);
    SSFrame1->setFrameShape(QFrame::Panel);
    SSFrame1->setFrameShadow(QFrame::Raised);
    place(SSFrame1, 0, 0, 6015, 1455);

    Command1 = new QPushButton(QStringLiteral("Groups"), SSFrame1);
    place(Command1, 120, 120, 1215, 375);
    Text1 = new QLineEdit(SSFrame1);
    place(Text1, 120, 600, 1935, 315);
    Command4 = new QPushButton(QStringLiteral("Update Now"), SSFrame1);
    place(Command4, 2175, 120, 1335, 375);
    btnlegend = new QPushButton(QStringLiteral("Legend"), SSFrame1);
    place(btnlegend, 2175, 600, 1335, 375);

    lMonth = new QLabel(QStringLiteral("Month"), SSFrame1);
    place(lMonth, 3660, 120, 735, 255);
    Combo1 = new QComboBox(SSFrame1);
    Combo1->addItems({QStringLiteral("January"), QStringLiteral("Febuary"), QStringLiteral("March"),
                      QStringLiteral("April"), QStringLiteral("May"), QStringLiteral("June"),
                      QStringLiteral("July"), QStringLiteral("August"), QStringLiteral("September"),
                      QStringLiteral("October"), QStringLiteral("November"),
                      QStringLiteral("December")});
    Combo1->setCurrentIndex(-1);
    place(Combo1, 4440, 90, 1455, 345);
    Label5 = new QLabel(QStringLiteral("Year"), SSFrame1);
    place(Label5, 3660, 600, 735, 255);
    txtYear = new QLineEdit(SSFrame1);
    place(txtYear, 4440, 570, 975, 315);
    txtYear->installEventFilter(this);

    Overall = new QLabel(QStringLiteral("Overall"), client);
    place(Overall, 6180, 120, 1260, 255);
    pbar_users = progressPanel(client, "#c0c0ff");
    place(pbar_users, 7470, 120, 2055, 255);
    Label1 = new QLabel(QStringLiteral("Current User"), client);
    place(Label1, 6180, 480, 1260, 255);
    pbar_days = progressPanel(client, "#0000ff");
    place(pbar_days, 7470, 480, 2055, 255);
    Label3 = new QLabel(QStringLiteral("Adjust Grid"), client);
    place(Label3, 6180, 840, 1260, 255);
    HScroll1 = new QScrollBar(Qt::Horizontal, client);
    HScroll1->setRange(100, 1000);
    HScroll1->setSingleStep(15);
    HScroll1->setPageStep(150);
    HScroll1->setValue(230);
    place(HScroll1, 7470, 840, 2055, 255);

    Grid1 = new BoardGrid(client);
    Grid1->setToolTip(QStringLiteral("Click Once To Display Then Double Click to Edit"));
    place(Grid1, 0, kGridTopTwips, 8775, 3555);

    // The smallest board keeps every control whole: as wide as the controls reach with the
    // margin the window has at start, and as tall as the grid's place with room below it for
    // the header row, one person and the horizontal scroll bar.
    int right = 0;
    for (const QWidget* control : QList<QWidget*>{SSFrame1, pbar_users, pbar_days, HScroll1})
        right = std::max(right, control->geometry().right() + 1);
    const int gridRoom = 2 * Grid1->frameWidth() +
                         2 * Grid1->verticalHeader()->defaultSectionSize() +
                         Grid1->horizontalScrollBar()->sizeHint().height();
    client->setMinimumSize(right + twipsToPixels(9615 - 9525), twipsToPixels(1650) + gridRoom);

    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command4, &QPushButton::clicked, this, [this] { Command4_Click(); });
    connect(btnlegend, &QPushButton::clicked, this, [this] { btnlegend_Click(); });
    connect(HScroll1, &QScrollBar::valueChanged, this, [this] { HScroll1_Change(); });
    connect(Grid1, &BoardGrid::selectionChangedByUser, this, [this] { GRID1_SelChange(); });
    connect(Grid1, &QTableWidget::cellDoubleClicked, this, [this] { Grid1_DblClick(); });
}

void Form1::buildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("File"));
    printtoword = file->addAction(QStringLiteral("Print to Word"));
    exitAction = file->addAction(QStringLiteral("Exit"));
    addBoardPictureMenu(file);
    QMenu* groups = menuBar()->addMenu(QStringLiteral("Groups"));
    editgrp = groups->addAction(QStringLiteral("Edit Groups"));
    QMenu* options = menuBar()->addMenu(QStringLiteral("Options"));
    mnudetails = options->addAction(QStringLiteral("Include Details"));
    mnudetails->setCheckable(true);
    QMenu* help = menuBar()->addMenu(QStringLiteral("Help"));
    mnuags = help->addAction(QStringLiteral("About Rotaview"));

    connect(printtoword, &QAction::triggered, this, [this] { printtoword_Click(); });
    connect(exitAction, &QAction::triggered, this, [this] { exit_Click(); });
    connect(editgrp, &QAction::triggered, this, [this] { editgrp_Click(); });
    // The check mark is the handler's to set, not the action's.
    connect(mnudetails, &QAction::triggered, this, [this] {
        mnudetails->setChecked(!mnudetails->isChecked());
        mnudetails_Click();
    });
    connect(mnuags, &QAction::triggered, this, [this] { mnuags_Click(); });
}

void Form1::Form_Load() {
    // A settings file that cannot be read or written is told once, whichever window meets it.
    services_.settings.setFailureListener([this](const QString& message) {
        services_.prompts.message(this, message, QStringLiteral("Rotaview"),
                                  Prompts::Icon::Exclamation);
    });
    state_.category_color = readCategoryColors(services_.settings);
    Grid1->setColumnCount(0);
    Grid1->setRowCount(1);
    Text1->setText(services_.settings.GetSetting(QStringLiteral("Settings"),
                                                 QStringLiteral("DefaultGrp"), QString()));
    if (!groupIndexExists())
        Text1->clear();
    connectCalendar();
    set_grid();
    Init_Grid();
    pbar_users->setValue(100);
    pbar_days->setValue(100);
}

void Form1::connectCalendar() {
    try {
        if (!services_.openCalendarApplication)
            throw CalendarError(calendar_error::NotConnected,
                                QStringLiteral("No calendar service is set up."));
        std::unique_ptr<CalendarApplication> application = services_.openCalendarApplication();
        state_.mapi_ns = application->GetNamespace(QStringLiteral("MAPI"));
        if (!state_.mapi_ns)
            throw CalendarError(calendar_error::NotConnected,
                                QStringLiteral("The calendar service has no namespace."));
    } catch (const CalendarError& error) {
        // The board stays usable without calendars: every calendar call then fails the way the
        // board already handles (no rows resolve, nothing opens).
        state_.mapi_ns = unavailableNamespace(error.message());
        calendarUnavailable_ = true;
        show();
        services_.prompts.message(this,
                                  QStringLiteral("The calendar service could not be opened, so no "
                                                 "calendars can be shown.\n\n%1")
                                      .arg(error.message()),
                                  QStringLiteral("Rotaview"), Prompts::Icon::Exclamation);
    }
}

void Form1::Command4_Click() {
    const int month = Combo1->currentIndex() + 1;
    services_.settings.SaveSetting(QStringLiteral("Settings"), QStringLiteral("Month"),
                                   QString::number(month));
    state_.cur_month = static_cast<std::uint8_t>(month);
    Init_Grid();
}

void Form1::txtYear_LostFocus() {
    const QString text = txtYear->text();
    services_.settings.SaveSetting(QStringLiteral("Settings"), QStringLiteral("Year"), text);
    // A text that is no whole number in the 16-bit range is stored as typed but leaves the year
    // shown as it was.
    bool ok = false;
    const int year = text.trimmed().toInt(&ok);
    if (ok && year >= INT16_MIN && year <= INT16_MAX)
        state_.cur_year = static_cast<std::int16_t>(year);
}

void Form1::HScroll1_Change() {
    for (int c = 0; c < Grid1->columnCount(); ++c)
        Grid1->setColumnWidthTwips(c, HScroll1->value());
    Grid1->setColumnWidthTwips(0, kNameColumnTwips);
}

void Form1::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

void Form1::Form_Resize() {
    const QWidget* client = centralWidget();
    if (!client || !Grid1)
        return;
    const int widthTwips = pixelsToTwips(client->width());
    const int heightTwips = pixelsToTwips(client->height());
    const int gridHeight = heightTwips > 1400 ? twipsToPixels(heightTwips - 1650) : Grid1->height();
    Grid1->setGeometry(0, Grid1->y(), std::max(0, twipsToPixels(widthTwips - 200)),
                       std::max(0, gridHeight));
    update();
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txtYear && event->type() == QEvent::FocusOut) {
        // The year is left for another control of the board. A menu that opens or another
        // window that comes forward only borrows the focus: the field gets it back, and the
        // year typed so far is not yet the board's (a printout would use it for the month the
        // board does not show).
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::MenuBarFocusReason &&
            reason != Qt::ActiveWindowFocusReason)
            txtYear_LostFocus();
    }
    return QMainWindow::eventFilter(watched, event);
}

void Form1::showModeless(QPointer<QWidget>& window, const std::function<QWidget*()>& create) {
    if (!window) {
        window = create();
        if (!window)
            return;
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->show();
    }
    window->raise();
    window->activateWindow();
}

void Form1::Command1_Click() {
    editgrp_Click();
}

void Form1::exit_Click() {
    // Ends the board at once: its open windows are not asked to close, so an open group editor
    // saves nothing. A printout is a document of its own, as a word processor's window would
    // be: it stays open, and the program ends when the last one is closed.
    if (auto* editor = qobject_cast<frmgroup*>(groupEditor.data()))
        editor->unloadWithoutSaving();
    for (QWidget* window : {legendWindow.data(), aboutWindow.data()})
        if (window)
            window->hide();
    hide();
    for (QWidget* window : QApplication::topLevelWidgets())
        if (qobject_cast<DocumentWindow*>(window) && window->isVisible())
            return;
    QCoreApplication::exit(0);
}

void Form1::mnudetails_Click() {
    if (!mnudetails->isChecked()) {
        mnudetails->setChecked(true);
        state_.include_details = true;
    } else {
        mnudetails->setChecked(false);
        state_.include_details = false;
    }
}

} // namespace rv
