#include "legend/color_swatch.h"
#include "legend/frmlegend.h"
#include "legend/stay_on_top.h"
#include "support/memory_settings.h"
#include "support/scripted_prompts.h"
#include "ui/colors.h"
#include "ui/twips.h"

#include <QCheckBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QWindow>

using namespace rv;

namespace {

// The colour actually painted in the middle of a swatch.
QColor paintedSwatchColor(ColorSwatch* swatch) {
    const QImage image = swatch->grab().toImage();
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

// A legend over the colour table, shown.
struct Legend {
    CategoryColors colors = defaultCategoryColors();
    test::MemorySettings settings;
    test::ScriptedPrompts prompts;
    std::unique_ptr<frmlegend> open() {
        auto legend = std::make_unique<frmlegend>(colors, settings, prompts);
        legend->show();
        if (!QTest::qWaitForWindowExposed(legend.get()))
            QTest::qFail("the legend was not shown", __FILE__, __LINE__);
        return legend;
    }
};

} // namespace

class FrmLegendTest : public QObject {
    Q_OBJECT

private slots:
    // The legend is a tool window listing each category's caption beside a swatch of its colour
    // (the table's entry rounded to the nearest, half to even), Close before the box in tab order.
    void showsTheTableAndTheCaptions() {
        Legend l;
        l.colors[UpTo4] = 255.5;
        l.colors[Between4And7] = 254.5;
        l.colors[MoreThan7] = 65280.4;
        auto legend = l.open();
        QCOMPARE(legend->windowTitle(), QStringLiteral("Legend"));
        QVERIFY(legend->windowFlags().testFlag(Qt::Tool));
        QVERIFY(!legend->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!legend->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        const QStringList captions = {"Free All Day",      "0 to 4 Hours",  "Between 4 and 7 Hours",
                                      "More than 7 Hours", "Special Event", "Weekend"};
        for (int c = 0; c < kDayCategoryCount; ++c)
            QCOMPARE(legend->Label(DayCategory(c))->text(), captions[c]);
        QCOMPARE(legend->Check1->text(), QStringLiteral("Stay On Top"));
        QCOMPARE(legend->Command1->text(), QStringLiteral("Close"));
        QCOMPARE(legend->Command1->nextInFocusChain(), static_cast<QWidget*>(legend->Check1));

        QCOMPARE(paintedSwatchColor(legend->Picture(Free_All_day)), QColor(0xC0, 0xC0, 0xFF));
        QCOMPARE(legend->Picture(UpTo4)->color(), QColor(0, 1, 0));          // 255.5 -> 256
        QCOMPARE(legend->Picture(Between4And7)->color(), QColor(254, 0, 0)); // 254.5 -> 254
        QCOMPARE(paintedSwatchColor(legend->Picture(MoreThan7)), QColor(0, 0xFF, 0));
        QCOMPARE(paintedSwatchColor(legend->Picture(Special_Event)), QColor(0xFF, 0xFF, 0));
        QVERIFY(l.settings.writes.isEmpty());
    }

    // A double click on a swatch picks that category's colour: the swatch, the table and the
    // "Color" key of the category (as a decimal colour value) change, nothing else.
    void everySwatchChangesItsOwnCategory() {
        Legend l;
        for (std::uint32_t c = 0; c < kDayCategoryCount; ++c)
            l.prompts.colorAnswers.push_back(0x336690u + c);
        auto legend = l.open();
        for (int c = 0; c < kDayCategoryCount; ++c)
            QTest::mouseDClick(legend->Picture(DayCategory(c)), Qt::LeftButton);

        QCOMPARE(l.prompts.count(QStringLiteral("color")), kDayCategoryCount);
        QCOMPARE(l.settings.writes.size(), kDayCategoryCount);
        for (int c = 0; c < kDayCategoryCount; ++c) {
            const auto category = DayCategory(c);
            QCOMPARE(l.settings.writes[c].section, QStringLiteral("Color"));
            QCOMPARE(l.settings.writes[c].key, categoryKey(category));
            QCOMPARE(l.settings.writes[c].value, QString::number(0x336690 + c));
            QCOMPARE(l.colors[c], double(0x336690 + c));
            QCOMPARE(paintedSwatchColor(legend->Picture(category)), QColor(0x90 + c, 0x66, 0x33));
        }
        QCOMPARE(l.settings.GetSetting(QStringLiteral("Color"), QStringLiteral("Weekend"), {}),
                 QStringLiteral("3368597"));
    }

    // A cancelled colour choice changes nothing, a fraction in the table included.
    void cancellingChangesNothing() {
        Legend l;
        l.colors[Weekend] = 1234.5;
        l.prompts.colorAnswers = {std::nullopt};
        auto legend = l.open();
        const QColor shown = paintedSwatchColor(legend->Picture(Weekend));
        legend->Picture6_DblClick();
        QCOMPARE(l.prompts.count(QStringLiteral("color")), 1);
        QCOMPARE(paintedSwatchColor(legend->Picture(Weekend)), shown);
        QCOMPARE(l.colors[Weekend], 1234.5);
        QVERIFY(l.settings.writes.isEmpty());
        QCOMPARE(l.prompts.count(QStringLiteral("message")), 0);
    }

    // Closed and opened again, the legend shows the colours picked, with "Stay On Top" unchecked.
    void reopenedLegendShowsPickedColoursAndUncheckedBox() {
        Legend l;
        l.prompts.colorAnswers = {0x00112233u};
        QPointer<frmlegend> first = new frmlegend(l.colors, l.settings, l.prompts);
        first->setAttribute(Qt::WA_DeleteOnClose);
        first->show();
        QVERIFY(QTest::qWaitForWindowExposed(first));
        first->picture1_DblClick();
        first->Check1->click();
        QVERIFY(first->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QTest::mouseClick(first->Command1, Qt::LeftButton);
        QTRY_VERIFY(first.isNull());

        auto second = l.open();
        QCOMPARE(paintedSwatchColor(second->Picture(Free_All_day)), QColor(0x33, 0x22, 0x11));
        QVERIFY(!second->Check1->isChecked());
        QVERIFY(!second->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(!second->lastPlacement());
    }

    // A window position in twips becomes the nearest pixel, a half to the even neighbour.
    void pixelPositionRoundsHalfToEven() {
        QCOMPARE(twipsPoint(1500, 2250), QPoint(100, 150));
        QCOMPARE(twipsPoint(1508, 2250), QPoint(101, 150));     // 100.53
        QCOMPARE(twipsPoint(1507, 2242), QPoint(100, 149));     // 100.47, 149.47
        QCOMPARE(twipsPoint(1507.5, 2242.5), QPoint(100, 150)); // 100.5, 149.5
        QCOMPARE(twipsPoint(1522.5, -22.5), QPoint(102, -2));   // 101.5, -1.5
        QCOMPARE(stayOnTopPlacement(1508, 2250, false),
                 (WindowPlacement{101, 150, 150, 244, false, true}));
    }

    // "Stay On Top" places the window where it is, at its size, on top or not, without
    // activating it.
    void stayOnTopPlacesTheWindowWithoutActivatingIt() {
        Legend l;
        auto legend = l.open();
        legend->move(100, 150);
        QTRY_COMPARE(legend->frameGeometry().topLeft(), QPoint(100, 150));
        QCOMPARE(legend->leftTwips(), 1500.0);
        QCOMPARE(legend->topTwips(), 2250.0);
        for (const bool onTop : {true, false}) {
            legend->Check1->click();
            QCOMPARE(legend->lastPlacement(), (WindowPlacement{100, 150, 150, 244, onTop, true}));
            QVERIFY(legend->isVisible());
            QVERIFY(legend->testAttribute(Qt::WA_ShowWithoutActivating));
            QCOMPARE(legend->windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint), onTop);
            QCOMPARE(legend->windowFlags().testFlag(Qt::WindowStaysOnTopHint), onTop);
            QTRY_COMPARE(legend->frameGeometry(), QRect(100, 150, 150, 244));
        }
    }
};

QTEST_MAIN(FrmLegendTest)
#include "frmlegend_test.moc"
