#include "board/first_start.h"
#include "board/form1.h"
#include "board/month_layout.h"
#include "days/category_colors.h"
#include "platform/qsettings_store.h"
#include "support/recording_desktop.h"
#include "support/scripted_prompts.h"
#include "support/temp_workdir.h"

#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QFocusEvent>
#include <QLayout>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace rv;

namespace {

// A board in a fresh working directory over the real settings store (in Qt's test location) and
// no calendar service.
struct Board {
    test::TempWorkdir workdir;
    QSettingsStore settings;
    test::ScriptedPrompts prompts;
    test::RecordingDesktop desktop;
    std::unique_ptr<Form1> form;

    Board() {
        BoardServices services{settings, prompts, desktop, nullptr, {}, {}};
        form = std::make_unique<Form1>(services);
    }
    QString stored(const QString& key) {
        return settings.GetSetting(QStringLiteral("Settings"), key, QStringLiteral("<absent>"));
    }
};

void clearSettings() {
    QSettings store(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Vantrel"));
    store.clear();
    store.sync();
}

void store(const QString& section, const QString& key, const QString& value) {
    QSettingsStore().SaveSetting(section, key, value);
}

} // namespace

class Form1Test : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() { clearSettings(); }

    // A first start shows this month in the default colours and stores the month and year.
    void firstRunWithEmptyStore() {
        Board board;
        board.form->Form_Load();
        const QDate today = QDate::currentDate();
        const BoardState& state = board.form->state();
        QCOMPARE(int(state.cur_month), today.month());
        QCOMPARE(int(state.cur_year), today.year());
        // The month is written back with one leading blank, the year without; a fresh process
        // reads both back as text.
        QCOMPARE(board.stored(QStringLiteral("Month")),
                 QLatin1Char(' ') + QString::number(today.month()));
        QCOMPARE(board.stored(QStringLiteral("Year")), QString::number(today.year()));
        QCOMPARE(board.form->Combo1->currentIndex(), today.month() - 1);
        QCOMPARE(board.form->txtYear->text(), QString::number(today.year()));
        QCOMPARE(state.category_color, defaultCategoryColors());
        QCOMPARE(state.category_color[Free_All_day], 16761024.0);
        QCOMPARE(state.category_color[MoreThan7], 192.0);
        // No calendar service: one clear message, and the board is still laid out.
        QCOMPARE(board.prompts.count(QStringLiteral("message")), 1);
        QVERIFY(board.prompts.shown[0].text.contains(QStringLiteral("calendar service")));
        BoardGrid& grid = board.form->grid();
        QCOMPARE(grid.columnCount(), today.daysInMonth() + 1);
        for (int d = 1; d <= today.daysInMonth(); ++d)
            QCOMPARE(grid.cellText(0, d), QString::number(d));
        QCOMPARE(grid.cellAlignment(0, 1), 3);
        QCOMPARE(grid.cellAlignment(0, 0), 1);
        QCOMPARE(grid.columnWidth(0), 87); // 1300 twips
        QCOMPARE(grid.columnWidth(1), 15); // 230 twips
        // Day numbers 10 to 31 fit that column, a pixel to spare beside its grid line.
        QVERIFY(QFontMetrics(grid.font()).horizontalAdvance(QStringLiteral("28")) <= 13);
        QCOMPARE(board.form->pbar_users->value(), 100);
        QCOMPARE(board.form->pbar_days->value(), 100);
        QCOMPARE(board.form->windowTitle(), QStringLiteral("Rotaview"));
        QCOMPARE(board.form->Text1->text(), QString());
    }

    // A stored month or year that is no date falls back to today's, written back.
    void markerAndUnreadableStoredValuesFallBackToToday() {
        const QDate today = QDate::currentDate();
        const QStringList months = {QStringLiteral("99"), QStringLiteral("abc"),
                                    QStringLiteral("0"), QStringLiteral("13"), QString()};
        for (const QString& month : months) {
            clearSettings();
            store(QStringLiteral("Settings"), QStringLiteral("Month"), month);
            store(QStringLiteral("Settings"), QStringLiteral("Year"),
                  month == QLatin1String("99") ? QStringLiteral("888") : QStringLiteral("twenty"));
            Board board;
            board.form->set_grid();
            QCOMPARE(int(board.form->state().cur_month), today.month());
            QCOMPARE(board.form->Combo1->currentIndex(), today.month() - 1);
            QCOMPARE(int(board.form->state().cur_year), today.year());
            QCOMPARE(board.stored(QStringLiteral("Month")),
                     QLatin1Char(' ') + QString::number(today.month()));
            QCOMPARE(board.stored(QStringLiteral("Year")), QString::number(today.year()));
        }
        // A stored month with its leading blank is read as that month and not rewritten.
        clearSettings();
        store(QStringLiteral("Settings"), QStringLiteral("Month"), QStringLiteral(" 2"));
        store(QStringLiteral("Settings"), QStringLiteral("Year"), QStringLiteral("2004"));
        Board board;
        board.form->set_grid();
        QCOMPARE(int(board.form->state().cur_month), 2);
        QCOMPARE(board.form->Combo1->currentText(), QStringLiteral("Febuary"));
        QCOMPARE(board.stored(QStringLiteral("Month")), QStringLiteral(" 2"));
        QCOMPARE(board.form->grid().columnCount(), 30);
    }

    // A stored colour is the number its text begins with.
    void colourTextsFollowTheLeadingNumberRule() {
        store(QStringLiteral("Color"), QStringLiteral("UpTo4"), QStringLiteral("red"));
        store(QStringLiteral("Color"), QStringLiteral("Weekend"), QStringLiteral(" 1 2 3x"));
        store(QStringLiteral("Color"), QStringLiteral("MoreThan7"), QStringLiteral("255.6"));
        QSettingsStore settings;
        const CategoryColors colors = readCategoryColors(settings);
        QCOMPARE(colors[UpTo4], 0.0);
        QCOMPARE(colors[Weekend], 123.0);
        QCOMPARE(colors[MoreThan7], 255.6);
        QCOMPARE(paintedColor(colors[MoreThan7]), 256u);
        QCOMPARE(colors[Free_All_day], 16761024.0);
        QCOMPARE(leadingNumber(QStringLiteral("-12e2abc")), -1200.0);
        QCOMPARE(leadingNumber(QStringLiteral("12e")), 12.0);
        QCOMPARE(leadingNumber(QStringLiteral(".")), 0.0);
    }

    // Month lengths (plus the name column) and weekdays follow the Gregorian calendar.
    void monthLengthsFollowTheGregorianCalendar() {
        QCOMPARE(int(get_days_of_month(2, 2000)), 30);
        QCOMPARE(int(get_days_of_month(2, 1900)), 29);
        QCOMPARE(int(get_days_of_month(2, 2004)), 30);
        QCOMPARE(int(get_days_of_month(2, 1998)), 29);
        QCOMPARE(int(get_days_of_month(12, 1998)), 32);
        QCOMPARE(int(get_days_of_month(4, 1998)), 31);
        QCOMPARE(int(get_days_of_month(0, 1998)), 32);  // the December before
        QCOMPARE(int(get_days_of_month(13, 1998)), 32); // the January after
        QCOMPARE(dayOfWeek(6, 12, 2026), 1);            // a Sunday
        QCOMPARE(dayOfWeek(5, 12, 2026), 7);            // a Saturday
    }

    // The width bar sets the day columns; the grid follows the window above 1400 twips.
    void widthBarAndResize() {
        Board board;
        board.form->Form_Load();
        BoardGrid& grid = board.form->grid();
        QCOMPARE(board.form->HScroll1->value(), 230);
        QCOMPARE(board.form->HScroll1->maximum(), 1000);
        board.form->HScroll1->setValue(1000);
        for (int c = 1; c < grid.columnCount(); ++c)
            QCOMPARE(grid.columnWidth(c), 67); // 1000 twips
        QCOMPARE(grid.columnWidth(0), 87);
        // The bar's value survives a rebuild.
        board.form->Command4_Click();
        QCOMPARE(grid.columnWidth(5), 67);

        QWidget* client = board.form->centralWidget();
        const int top = grid.y();
        board.form->resize(800, 500);
        QCoreApplication::processEvents();
        QCOMPARE(grid.x(), 0);
        QCOMPARE(grid.width(), client->width() - 13);
        QCOMPARE(grid.height(), client->height() - 110);
        QCOMPARE(grid.y(), top);
        // The window cannot be made so small that a control is cut: every control stays whole
        // inside it, and the grid keeps room for the header row and one person.
        board.form->resize(100, 100);
        QCoreApplication::processEvents();
        for (QWidget* control : client->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            QVERIFY2(client->rect().contains(control->geometry()) || control == &grid,
                     qPrintable(control->objectName() + control->metaObject()->className()));
        QVERIFY(grid.height() >= 2 * grid.rowHeight(0));
        // A window made that small all the same (by its window manager, say): at 1400 twips
        // (93 pixels) or less the grid keeps its height.
        client->setMinimumSize(0, 0);
        board.form->layout()->activate();
        const int before = grid.height();
        board.form->resize(800, 93 + (board.form->height() - client->height()));
        QCoreApplication::processEvents();
        QVERIFY(client->height() * 15 <= 1400);
        QCOMPARE(grid.height(), before);
        // Past 1400 twips the grid follows the window again.
        board.form->resize(800, 133 + (board.form->height() - client->height()));
        QCoreApplication::processEvents();
        QCOMPARE(grid.height(), client->height() - 110);
    }

    // "Update Now" stores the chosen month and year and lays that month out.
    void updateNowStoresTheMonthAndRebuildsIt() {
        Board board;
        board.form->Form_Load();
        board.form->Combo1->setCurrentIndex(1);
        board.form->txtYear->setText(QStringLiteral("2024"));
        board.form->txtYear_LostFocus();
        board.form->Command4_Click();
        QCOMPARE(board.stored(QStringLiteral("Month")), QStringLiteral("2"));
        QCOMPARE(board.stored(QStringLiteral("Year")), QStringLiteral("2024"));
        QCOMPARE(int(board.form->state().cur_month), 2);
        QCOMPARE(board.form->grid().columnCount(), 30);
        QCOMPARE(board.form->grid().cellText(0, 29), QStringLiteral("29"));
        // A 30-day month after it drops the extra column.
        board.form->Combo1->setCurrentIndex(3);
        board.form->Command4_Click();
        QCOMPARE(board.form->grid().columnCount(), 31);
        // No month selected stores 0 and lays out the December before (31 days).
        board.form->Combo1->setCurrentIndex(-1);
        board.form->Command4_Click();
        QCOMPARE(board.stored(QStringLiteral("Month")), QStringLiteral("0"));
        QCOMPARE(board.form->grid().columnCount(), 32);
    }

    // The year is stored as typed, and the board keeps the last usable one.
    void yearFieldStoresAsTypedAndKeepsAUsableYear() {
        Board board;
        board.form->Form_Load();
        board.form->txtYear->setText(QStringLiteral("1998"));
        board.form->txtYear_LostFocus();
        QCOMPARE(int(board.form->state().cur_year), 1998);
        for (const QString& text : {QStringLiteral("19x8"), QStringLiteral("40000"), QString()}) {
            board.form->txtYear->setText(text);
            board.form->txtYear_LostFocus();
            QCOMPARE(board.stored(QStringLiteral("Year")), text);
            QCOMPARE(int(board.form->state().cur_year), 1998);
        }
        // Leaving the field for "Update Now" takes the year over before the rebuild.
        board.form->show();
        board.form->txtYear->setFocus();
        QApplication::setActiveWindow(board.form.get());
        board.form->txtYear->setText(QStringLiteral("2000"));
        board.form->Combo1->setCurrentIndex(1);
        QTest::mouseClick(board.form->Command4, Qt::LeftButton);
        QCOMPARE(int(board.form->state().cur_year), 2000);
        QCOMPARE(board.form->grid().columnCount(), 30);
    }

    // The year is taken over when the user moves on to another control of the board; a menu
    // or another window only borrows the focus, and a printout must not use a year the board
    // does not show.
    void yearTakenOverOnlyForAnotherControl_data() {
        QTest::addColumn<int>("reason");
        QTest::addColumn<bool>("takenOver");
        QTest::newRow("menu opens") << int(Qt::PopupFocusReason) << false;
        QTest::newRow("menu bar by keyboard") << int(Qt::MenuBarFocusReason) << false;
        QTest::newRow("another window") << int(Qt::ActiveWindowFocusReason) << false;
        QTest::newRow("clicked elsewhere") << int(Qt::MouseFocusReason) << true;
        QTest::newRow("tabbed on") << int(Qt::TabFocusReason) << true;
    }
    void yearTakenOverOnlyForAnotherControl() {
        QFETCH(int, reason);
        QFETCH(bool, takenOver);
        Board board;
        board.form->Form_Load();
        const int shown = board.form->state().cur_year;
        board.form->txtYear->setText(QStringLiteral("1999"));
        QFocusEvent leaving(QEvent::FocusOut, Qt::FocusReason(reason));
        QCoreApplication::sendEvent(board.form->txtYear, &leaving);
        QCOMPARE(int(board.form->state().cur_year), takenOver ? 1999 : shown);
        QCOMPARE(board.stored(QStringLiteral("Year")),
                 takenOver ? QStringLiteral("1999") : QString::number(shown));
    }

    // A start without any calendar store says where it looked and how to make the demo
    // workspace; a store that exists, or a CalDAV server, needs no word.
    void firstStartWithoutAStore_data() {
        QTest::addColumn<QString>("backend");
        QTest::addColumn<bool>("folderExists");
        QTest::addColumn<QString>("profilePath");
        QTest::addColumn<QStringList>("told");
        const QStringList demo{"/opt/rv/rotaview-demo-store --default-group Design",
                               "&& /opt/rv/rotaview"};
        QTest::newRow("no profile, no store")
            << "local" << false << ""
            << (QStringList{"calendar-service.ini in /work/here and in", "/.config/Vantrel",
                            "<store>"} +
                demo);
        QTest::newRow("profile names a missing store")
            << "local" << false << "/work/here/calendar-service.ini"
            << (QStringList{"<store> named in /work/here/calendar-service.ini does not exist"} +
                demo);
        QTest::newRow("store exists") << "local" << true << "" << QStringList();
        QTest::newRow("CalDAV server") << "caldav" << false << "" << QStringList();
    }
    void firstStartWithoutAStore() {
        QFETCH(QString, backend);
        QFETCH(bool, folderExists);
        QFETCH(QString, profilePath);
        QFETCH(QStringList, told);
        QTemporaryDir dir;
        ServiceProfile profile;
        profile.backend = backend;
        profile.path = profilePath;
        profile.folder = dir.filePath(QStringLiteral("store"));
        if (folderExists)
            QVERIFY(QDir().mkpath(profile.folder));
        const auto message = missingStoreMessage(
            profile, StartPaths{QStringLiteral("/work/here"), QStringLiteral("/opt/rv/rotaview"),
                                QStringLiteral("/opt/rv/rotaview-demo-store")});
        QCOMPARE(message.has_value(), !told.isEmpty());
        for (QString part : told)
            QVERIFY2(message->contains(part.replace(QStringLiteral("<store>"), profile.folder)),
                     qPrintable(*message));
    }
};

QTEST_MAIN(Form1Test)
#include "form1_test.moc"
