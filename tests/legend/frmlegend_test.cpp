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

} // namespace

class FrmLegendTest : public QObject {
    Q_OBJECT

private slots:
    void showsTheTableAndTheCaptions();
    void pickingAColourChangesSwatchTableAndKey();
    void everySwatchChangesItsOwnCategory();
    void cancellingChangesNothing();
    void reopenedLegendShowsPickedColoursAndUncheckedBox();
    void pixelPositionRoundsHalfToEven();
    void stayOnTopPlacesTheWindowWithoutActivatingIt();
};

void FrmLegendTest::showsTheTableAndTheCaptions() {
    CategoryColors colors = defaultCategoryColors();
    colors[UpTo4] = 255.5; // fractional entries are rounded to the nearest, half to even
    colors[Between4And7] = 254.5;
    colors[MoreThan7] = 65280.4;
    test::MemorySettings settings;
    test::ScriptedPrompts prompts;
    frmlegend legend(colors, settings, prompts);

    QCOMPARE(legend.windowTitle(), QStringLiteral("Legend"));
    QCOMPARE(legend.size(), QSize(144, 221));
    QVERIFY(legend.windowFlags().testFlag(Qt::Tool));
    QVERIFY(!legend.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!legend.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));

    const QStringList captions = {
        QStringLiteral("Free All Day"),          QStringLiteral("0 to 4 Hours"),
        QStringLiteral("Between 4 and 7 Hours"), QStringLiteral("More than 7 Hours"),
        QStringLiteral("Special Event"),         QStringLiteral("Weekend")};
    for (int c = 0; c < kDayCategoryCount; ++c)
        QCOMPARE(legend.Label(DayCategory(c))->text(), captions[c]);
    QCOMPARE(legend.Picture(Weekend)->geometry(), QRect(8, 152, 14, 21));
    QCOMPARE(legend.Label(Between4And7)->geometry(), QRect(30, 72, 116, 15));
    QCOMPARE(legend.Check1->text(), QStringLiteral("Stay On Top"));
    QCOMPARE(legend.Check1->geometry(), QRect(56, 192, 81, 17));
    QCOMPARE(legend.Command1->text(), QStringLiteral("Close"));
    QCOMPARE(legend.Command1->geometry(), QRect(8, 189, 41, 25));
    QCOMPARE(legend.Command1->nextInFocusChain(), static_cast<QWidget*>(legend.Check1));

    QCOMPARE(paintedSwatchColor(legend.Picture(Free_All_day)), QColor(0xC0, 0xC0, 0xFF));
    QCOMPARE(legend.Picture(UpTo4)->color(), QColor(0, 1, 0));          // 255.5 -> 256
    QCOMPARE(legend.Picture(Between4And7)->color(), QColor(254, 0, 0)); // 254.5 -> 254
    QCOMPARE(paintedSwatchColor(legend.Picture(MoreThan7)), QColor(0, 0xFF, 0));
    QCOMPARE(paintedSwatchColor(legend.Picture(Special_Event)), QColor(0xFF, 0xFF, 0));
    QVERIFY(settings.writes.isEmpty());
}

void FrmLegendTest::pickingAColourChangesSwatchTableAndKey() {
    CategoryColors colors = defaultCategoryColors();
    const CategoryColors before = colors;
    test::MemorySettings settings;
    test::ScriptedPrompts prompts;
    prompts.colorAnswers = {0x00336699u};
    frmlegend legend(colors, settings, prompts);
    legend.show();
    QVERIFY(QTest::qWaitForWindowExposed(&legend));

    QTest::mouseDClick(legend.Picture(Weekend), Qt::LeftButton);

    QCOMPARE(prompts.count(QStringLiteral("color")), 1);
    QCOMPARE(paintedSwatchColor(legend.Picture(Weekend)), QColor(0x99, 0x66, 0x33));
    QCOMPARE(colors[Weekend], double(0x336699));
    QCOMPARE(settings.GetSetting(QStringLiteral("Color"), QStringLiteral("Weekend"),
                                 QStringLiteral("none")),
             QStringLiteral("3368601"));
    QCOMPARE(settings.writes.size(), 1);
    for (int c = 0; c < Weekend; ++c)
        QCOMPARE(colors[c], before[c]);
}

void FrmLegendTest::everySwatchChangesItsOwnCategory() {
    CategoryColors colors = defaultCategoryColors();
    test::MemorySettings settings;
    test::ScriptedPrompts prompts;
    for (std::uint32_t c = 0; c < kDayCategoryCount; ++c)
        prompts.colorAnswers.push_back(0x000010u + c);
    frmlegend legend(colors, settings, prompts);
    legend.show();
    QVERIFY(QTest::qWaitForWindowExposed(&legend));

    for (int c = 0; c < kDayCategoryCount; ++c)
        QTest::mouseDClick(legend.Picture(DayCategory(c)), Qt::LeftButton);

    QCOMPARE(settings.writes.size(), kDayCategoryCount);
    for (int c = 0; c < kDayCategoryCount; ++c) {
        const auto category = DayCategory(c);
        QCOMPARE(settings.writes[c].section, QStringLiteral("Color"));
        QCOMPARE(settings.writes[c].key, categoryKey(category));
        QCOMPARE(settings.writes[c].value, QString::number(0x10 + c));
        QCOMPARE(colors[c], double(0x10 + c));
        QCOMPARE(legend.Picture(category)->color(), qcolorFromColorRef(0x10 + c));
    }
}

void FrmLegendTest::cancellingChangesNothing() {
    CategoryColors colors = defaultCategoryColors();
    colors[Weekend] = 1234.5; // a fraction read from the store stays as it is
    test::MemorySettings settings;
    test::ScriptedPrompts prompts;
    prompts.colorAnswers = {std::nullopt};
    frmlegend legend(colors, settings, prompts);
    legend.show();
    QVERIFY(QTest::qWaitForWindowExposed(&legend));
    const QColor shown = paintedSwatchColor(legend.Picture(Weekend));

    legend.Picture6_DblClick();

    QCOMPARE(prompts.count(QStringLiteral("color")), 1);
    QCOMPARE(paintedSwatchColor(legend.Picture(Weekend)), shown);
    QCOMPARE(colors[Weekend], 1234.5);
    QVERIFY(settings.writes.isEmpty());
    QCOMPARE(prompts.count(QStringLiteral("message")), 0);
}

void FrmLegendTest::reopenedLegendShowsPickedColoursAndUncheckedBox() {
    CategoryColors colors = defaultCategoryColors();
    test::MemorySettings settings;
    test::ScriptedPrompts prompts;
    prompts.colorAnswers = {0x00112233u};

    QPointer<frmlegend> first = new frmlegend(colors, settings, prompts);
    first->setAttribute(Qt::WA_DeleteOnClose);
    first->show();
    QVERIFY(QTest::qWaitForWindowExposed(first));
    first->picture1_DblClick();
    first->Check1->click();
    QVERIFY(first->Check1->isChecked());
    QVERIFY(first->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QTest::mouseClick(first->Command1, Qt::LeftButton);
    QTRY_VERIFY(first.isNull());

    frmlegend second(colors, settings, prompts);
    second.show();
    QVERIFY(QTest::qWaitForWindowExposed(&second));
    QCOMPARE(paintedSwatchColor(second.Picture(Free_All_day)), QColor(0x33, 0x22, 0x11));
    QVERIFY(!second.Check1->isChecked());
    QVERIFY(!second.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(!second.lastPlacement());
}

void FrmLegendTest::pixelPositionRoundsHalfToEven() {
    QCOMPARE(twipsPoint(1500, 2250), QPoint(100, 150));
    QCOMPARE(twipsPoint(1508, 2250), QPoint(101, 150));     // 100.53
    QCOMPARE(twipsPoint(1507, 2242), QPoint(100, 149));     // 100.47, 149.47
    QCOMPARE(twipsPoint(1507.5, 2242.5), QPoint(100, 150)); // 100.5, 149.5
    QCOMPARE(twipsPoint(1522.5, -22.5), QPoint(102, -2));   // 101.5, -1.5

    const WindowPlacement on = stayOnTopPlacement(1500, 2250, true);
    QCOMPARE(on, (WindowPlacement{100, 150, 150, 244, true, true}));
    const WindowPlacement off = stayOnTopPlacement(1508, 2250, false);
    QCOMPARE(off, (WindowPlacement{101, 150, 150, 244, false, true}));
}

void FrmLegendTest::stayOnTopPlacesTheWindowWithoutActivatingIt() {
    CategoryColors colors = defaultCategoryColors();
    test::MemorySettings settings;
    test::ScriptedPrompts prompts;
    frmlegend legend(colors, settings, prompts);
    legend.show();
    QVERIFY(QTest::qWaitForWindowExposed(&legend));
    legend.move(100, 150);
    QTRY_COMPARE(legend.frameGeometry().topLeft(), QPoint(100, 150));
    QCOMPARE(legend.leftTwips(), 1500.0);
    QCOMPARE(legend.topTwips(), 2250.0);

    legend.Check1->click();
    QCOMPARE(legend.lastPlacement(), (WindowPlacement{100, 150, 150, 244, true, true}));
    QVERIFY(legend.isVisible());
    QVERIFY(legend.testAttribute(Qt::WA_ShowWithoutActivating));
    QVERIFY(legend.windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(legend.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QTRY_COMPARE(legend.frameGeometry(), QRect(100, 150, 150, 244));

    legend.Check1->click();
    QCOMPARE(legend.lastPlacement(), (WindowPlacement{100, 150, 150, 244, false, true}));
    QVERIFY(legend.isVisible());
    QVERIFY(!legend.windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(!legend.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QTRY_COMPARE(legend.frameGeometry(), QRect(100, 150, 150, 244));
}

QTEST_MAIN(FrmLegendTest)
#include "frmlegend_test.moc"
