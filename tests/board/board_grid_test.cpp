#include "board/board_grid.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QTest>

using rv::BoardGrid;

namespace {

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

class BoardGridTest : public QObject {
    Q_OBJECT
private slots:
    void progressIsPaintedInFramesAfterTheFirstTenthOfASecond() {
        BoardGrid grid;
        grid.setRowCount(3);
        grid.setColumnCount(3);
        grid.resize(300, 200);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        QCoreApplication::processEvents();
        PaintCounter counter;
        grid.viewport()->installEventFilter(&counter);

        QElapsedTimer sinceBegin;
        sinceBegin.start();
        grid.beginProgress();
        grid.repaintCell(1, 1);
        QTest::qSleep(30);
        grid.repaintCell(1, 1);
        // Two frames' time on, a build that ended now has painted nothing yet (checked when this
        // machine got here within the tenth of a second, as it does unless badly overloaded).
        if (sinceBegin.elapsed() < 90) {
            QCOMPARE(counter.paints, 0);
            QVERIFY(!grid.frameDue());
        }

        QTest::qSleep(110);
        QVERIFY(grid.frameDue());
        grid.repaintCell(1, 2);
        QCOMPARE(counter.paints, 1); // both waiting cells in one paint

        // Later frames follow a sixtieth of a second apart.
        QTest::qSleep(20);
        QVERIFY(grid.frameDue());
        grid.repaintCell(2, 1);
        QCOMPARE(counter.paints, 2);

        // What is still waiting at the end is left to the caller's repaint of the whole board.
        grid.repaintCell(2, 2);
        grid.endProgress();
        QCOMPARE(counter.paints, 2);

        // Without painting nothing is ever due or painted.
        grid.setPaintingEnabled(false);
        grid.beginProgress();
        QTest::qSleep(110);
        QVERIFY(!grid.frameDue());
        grid.repaintCell(1, 1);
        QCOMPARE(counter.paints, 2);
    }
};

QTEST_MAIN(BoardGridTest)
#include "board_grid_test.moc"
