// The board saved as a picture (PNG, PDF, printer) holds the whole board as built: every person
// and day in its category's colour, also the rows scrolled out of the window, the access-denied
// picture where a calendar cannot be read, the group, month and year as a title and the six
// categories as a legend beneath.

#include "board/board_builder.h"
#include "board/board_picture.h"
#include "board/board_picture_files.h"
#include "board/form1.h"
#include "calendar/connection/calendar_connection.h"
#include "support/board_fixture.h"
#include "tools/store_generator.h"
#include "ui/colors.h"

#include <QDir>
#include <QLineEdit>
#include <QMenuBar>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace rv;

namespace {

// March, the board window's month, of 2026.
constexpr int kMonth = 3, kYear = 2026, kPeople = 40;

// What the board must show for a person's day: the category colour, or the access-denied
// picture.
struct Expected {
    QColor color;
    bool denied = false;
};

bool near(const QColor& a, const QColor& b, int tolerance) {
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

// The access-denied picture is a red sign.
int redPixels(const QImage& image, const QRect& area) {
    int red = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            red += c.red() > 150 && c.green() < 90 && c.blue() < 90 ? 1 : 0;
        }
    return red;
}

// Dark pixels, as text leaves them.
int inkPixels(const QImage& image, const QRect& area) {
    int ink = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            ink += qGray(image.pixel(x, y)) < 100 ? 1 : 0;
    return ink;
}

QString run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return QStringLiteral("<%1 failed: %2>")
            .arg(program, QString::fromLocal8Bit(process.readAllStandardError()));
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace

class BoardPictureTest : public QObject {
    Q_OBJECT

    QTemporaryDir root_;
    bench::StorePlan plan_;
    std::unique_ptr<test::BoardWindow> board_;
    Form1* form_ = nullptr;
    test::ScriptedPrompts* prompts_ = nullptr;
    // Per board row (person p at index p), per day.
    QList<QList<Expected>> expected_;

    QString file(const QString& name) const { return QDir(root_.path()).filePath(name); }

    // Every person's day in the picture, at the point each cell's middle lands on.
    void compareCells(const QImage& image, const BoardPictureLayout& layout,
                      const QTransform& toImage, int tolerance) {
        for (int p = layout.firstPerson(); p < layout.firstPerson() + layout.people(); ++p)
            for (int d = 1; d <= int(expected_[p].size()); ++d) {
                const Expected& want = expected_[p][d - 1];
                const QRect cell = toImage.mapRect(QRectF(layout.cellRect(p + 1, d))).toRect();
                const QPoint middle =
                    toImage.map(QRectF(layout.cellRect(p + 1, d)).center()).toPoint();
                const QString where = QStringLiteral("person %1, day %2").arg(p).arg(d);
                if (want.denied) {
                    QVERIFY2(redPixels(image, cell) > 20, qPrintable(where + " has no picture"));
                } else {
                    QVERIFY2(near(image.pixelColor(middle), want.color, tolerance),
                             qPrintable(where + ": " + image.pixelColor(middle).name() + " not " +
                                        want.color.name()));
                }
            }
    }

    void compareLegend(const QImage& image, const BoardPictureLayout& layout,
                       const QTransform& toImage, int tolerance) {
        for (int c = 0; c < kDayCategoryCount; ++c) {
            const QPoint middle = toImage.map(QRectF(layout.legendSwatch(c)).center()).toPoint();
            QVERIFY2(near(image.pixelColor(middle),
                          qcolorFromColorRef(defaultCategoryColor(DayCategory(c))), tolerance),
                     qPrintable(categoryCaption(DayCategory(c))));
            const QRect caption = toImage.mapRect(QRectF(layout.legendCaption(c))).toRect();
            QVERIFY2(inkPixels(image, caption) > 20, "a legend entry has its caption");
        }
    }

private slots:
    void initTestCase() {
        bench::StoreOptions options;
        options.people = kPeople;
        options.eventsPerPerson = 60;
        options.seed = 21;
        options.today = QDate(kYear, kMonth, 18);
        options.monthsBefore = 1;
        options.monthsAfter = 1;
        options.everyoneGroup = true;
        // The store in the board's working folder.
        board_ = std::make_unique<test::BoardWindow>();
        plan_ = bench::writeStore(QDir::currentPath(), options);
        board_->settings.SaveSetting(QStringLiteral("Settings"), QStringLiteral("Year"),
                                     QString::number(kYear));
        board_->start(
            [this] {
                return openCalendarApplication(
                    loadServiceProfile(), CalendarServiceContext{board_->prompts, board_->desktop});
            },
            QStringLiteral("Everyone"));
        form_ = board_->form.get();
        prompts_ = &board_->prompts;
        QVERIFY(QTest::qWaitForWindowExposed(form_));

        // What each person's month is, read without the window.
        BoardGrid& grid = form_->grid();
        QCOMPARE(grid.rowCount() - 1, kPeople); // the former member has no row
        for (int r = 1; r < grid.rowCount(); ++r) {
            PersonMonth month =
                BoardBuilder().openMonth(*form_->state().mapi_ns, form_->get_user_x(r),
                                         PersonLookUp::ByEntryId, kMonth, kYear);
            QList<Expected> days;
            for (int d = 1; d <= 31; ++d) {
                if (month.denied())
                    days.append({QColor(), true});
                else
                    days.append(
                        {qcolorFromColorRef(defaultCategoryColor(month.readDay(d).category)),
                         false});
            }
            expected_.append(days);
        }
        QSet<QRgb> colors;
        int denied = 0;
        for (const auto& days : expected_)
            for (const Expected& day : days) {
                colors.insert(day.color.rgb());
                denied += day.denied ? 1 : 0;
            }
        QVERIFY2(colors.size() >= 5, "the month shows most categories");
        QCOMPARE(denied, 31); // the one calendar not shared with the connected user
        QVERIFY(prompts_->shown.empty());
    }

    void cleanupTestCase() { board_.reset(); }

    // Saving and printing the board come after the File menu's own items.
    void menuItemsFollowTheFileMenusOwn() {
        QStringList items;
        for (const QAction* action : form_->menuBar()->actions().first()->menu()->actions())
            items << (action->isSeparator() ? QStringLiteral("-") : action->text());
        QCOMPARE(items,
                 QStringList({"Print to Word", "Exit", "-", "Save Board As...", "Print Board..."}));
    }

    // The PNG holds every person at twice the board's size, with title and legend.
    void pngHoldsTheWholeBoard() {
        // Most people are out of the window's view.
        BoardGrid& grid = form_->grid();
        int outOfView = 0;
        for (int r = 1; r <= kPeople; ++r)
            outOfView += grid.rowViewportPosition(r) < 0 ||
                                 grid.rowViewportPosition(r) >= grid.viewport()->height()
                             ? 1
                             : 0;
        QVERIFY2(outOfView > kPeople / 2, qPrintable(QString::number(outOfView)));

        const QString path = file(QStringLiteral("board.png"));
        prompts_->saveFileAnswers = {path};
        QVERIFY(form_->saveBoardAs());
        QVERIFY(prompts_->saveFileAnswers.empty());
        QCOMPARE(prompts_->shown.back().defaultText.section('/', -1),
                 QStringLiteral("Everyone \u2013 March 2026.png"));

        const QImage image(path);
        const BoardPicture picture = form_->boardPicture();
        const BoardPictureLayout layout(picture);
        QCOMPARE(picture.title, QStringLiteral("Everyone \u2013 March 2026"));
        QCOMPARE(image.size(), layout.size() * 2);
        const QTransform toImage = QTransform::fromScale(2, 2);
        compareCells(image, layout, toImage, 0);
        compareLegend(image, layout, toImage, 0);
        QVERIFY(inkPixels(image, toImage.mapRect(layout.titleRect())) > 100);
        // The legend lies beneath the last person.
        QVERIFY(layout.legendSwatch(0).top() > layout.cellRect(kPeople, 1).bottom());
    }

    // The PDF spreads the people over readable pages, each with title and legend.
    void pdfHoldsTheWholeBoard() {
        const QString path = file(QStringLiteral("board.pdf"));
        prompts_->saveFileAnswers = {path};
        QVERIFY(form_->saveBoardAs());

        const BoardPicture picture = form_->boardPicture();
        const QList<BoardPage> pages = boardPdfPages(picture);
        QVERIFY2(pages.size() == 2, "forty people go on two readable pages");
        QCOMPARE(pages.first().firstPerson + pages.first().people, pages.last().firstPerson);
        QCOMPARE(pages.last().firstPerson + pages.last().people, kPeople);

        constexpr int kDpi = 144;
        const QString prefix = file(QStringLiteral("page"));
        run(QStringLiteral("pdftoppm"),
            {QStringLiteral("-r"), QString::number(kDpi), QStringLiteral("-png"), path, prefix});
        // Compatibility forms fold the ligatures the PDF's fonts use ("fi").
        const QString text = run(QStringLiteral("pdftotext"), {path, QStringLiteral("-")})
                                 .normalized(QString::NormalizationForm_KC);
        for (int i = 0; i < pages.size(); ++i) {
            const QImage image(QStringLiteral("%1-%2.png").arg(prefix).arg(i + 1));
            QVERIFY2(!image.isNull(), "pdftoppm (poppler-utils) renders every page");
            const BoardPictureLayout layout(picture, pages[i].firstPerson, pages[i].people);
            const QTransform toImage =
                pages[i].transform * QTransform::fromScale(kDpi / 72.0, kDpi / 72.0);
            compareCells(image, layout, toImage, 2);
            compareLegend(image, layout, toImage, 2);
            QVERIFY(text.contains(QStringLiteral("Everyone \u2013 March 2026 (%1/2)").arg(i + 1)));
        }
        QCOMPARE(QFileInfo::exists(QStringLiteral("%1-3.png").arg(prefix)), false);
        for (int c = 0; c < kDayCategoryCount; ++c)
            QVERIFY(text.contains(categoryCaption(DayCategory(c))));
        for (int r = 1; r <= kPeople; ++r)
            QVERIFY2(text.contains(form_->grid().cellText(r, 0)),
                     qPrintable(form_->grid().cellText(r, 0)));
    }

    // Saving and printing follow the user's answer: cancelled does nothing, an ending other than
    // .png or .pdf or a folder that is missing is told, and what is done lands in the file.
    void answersOfTheBoxes_data() {
        QTest::addColumn<QString>("action"); // save or print
        QTest::addColumn<QString>("answer"); // the file chosen; empty to cancel
        QTest::addColumn<bool>("done");
        QTest::addColumn<QString>("message");
        QTest::newRow("save cancelled") << "save"
                                        << "" << false << "";
        QTest::newRow("another ending") << "save"
                                        << "board.jpg" << false << "ending in .png or .pdf";
        QTest::newRow("ending in capitals") << "save"
                                            << "BOARD.PNG" << true << "";
        QTest::newRow("folder missing") << "save"
                                        << "missing/board.pdf" << false << "could not be saved as";
        QTest::newRow("printed") << "print"
                                 << "printed.pdf" << true << "";
        QTest::newRow("print cancelled") << "print"
                                         << "" << false << "";
    }

    void answersOfTheBoxes() {
        QFETCH(QString, action);
        QFETCH(QString, answer);
        QFETCH(bool, done);
        QFETCH(QString, message);
        const QString path = answer.isEmpty() ? QString() : file(answer);
        const std::optional<QString> chosen =
            path.isEmpty() ? std::nullopt : std::optional<QString>(path);
        prompts_->shown.clear();
        const bool result = action == "save"
                                ? (prompts_->saveFileAnswers = {chosen}, form_->saveBoardAs())
                                : (prompts_->printerAnswers = {chosen}, form_->printBoard());
        QCOMPARE(result, done);
        QCOMPARE(prompts_->count(QStringLiteral("message")), message.isEmpty() ? 0 : 1);
        if (!message.isEmpty())
            QVERIFY2(prompts_->messageTexts().first().contains(message),
                     qPrintable(prompts_->messageTexts().first()));
        QCOMPARE(!path.isEmpty() && QFileInfo::exists(path), done);
        if (action == "print" && done)
            QVERIFY(run(QStringLiteral("pdftotext"), {path, QStringLiteral("-")})
                        .contains(QStringLiteral("Everyone \u2013 March 2026")));
    }

    // The picture is the board as built: a year typed but not yet built does not retitle it.
    void titleIsTheMonthBuilt() {
        form_->txtYear->setText(QStringLiteral("2027"));
        form_->txtYear_LostFocus();
        QCOMPARE(form_->state().cur_year, 2027);
        QCOMPARE(form_->boardPicture().title, QStringLiteral("Everyone \u2013 March 2026"));
        form_->Command4_Click();
        QCOMPARE(form_->boardPicture().title, QStringLiteral("Everyone \u2013 March 2027"));
        QCOMPARE(boardTitle(QString(), 0, 2027), QStringLiteral("December 2026"));
    }
};

QTEST_MAIN(BoardPictureTest)
#include "board_picture_test.moc"
