#include "board/board_grid.h"

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
    // A build paints nothing in its first tenth of a second (one that ends by then looks
    // instant), then every waiting cell together about sixty times a second; what still waits at
    // the end is the caller's to repaint, and a grid without painting never paints.
    void progressIsPaintedInFramesAfterTheFirstTenthOfASecond() {
        BoardGrid grid;
        qint64 now = 5000;
        grid.setFrameClock([&now] { return now; });
        grid.setRowCount(3);
        grid.setColumnCount(3);
        grid.resize(300, 200);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        QCoreApplication::processEvents();
        PaintCounter counter;
        grid.viewport()->installEventFilter(&counter);

        grid.beginProgress();
        grid.repaintCell(1, 1);
        now += 99;
        grid.repaintCell(1, 1);
        QCOMPARE(counter.paints, 0);
        QVERIFY(!grid.frameDue());

        now += 1;
        QVERIFY(grid.frameDue());
        grid.repaintCell(1, 2);
        QCOMPARE(counter.paints, 1); // both waiting cells in one paint

        now += 15;
        QVERIFY(!grid.frameDue());
        grid.repaintCell(2, 1);
        QCOMPARE(counter.paints, 1);
        now += 1;
        grid.repaintCell(2, 2);
        QCOMPARE(counter.paints, 2);

        grid.repaintCell(1, 1);
        grid.endProgress();
        QCoreApplication::processEvents();
        QCOMPARE(counter.paints, 2);

        grid.setPaintingEnabled(false);
        grid.beginProgress();
        now += 1000;
        QVERIFY(!grid.frameDue());
        grid.repaintCell(1, 1);
        QCOMPARE(counter.paints, 2);
    }
};

QTEST_MAIN(BoardGridTest)
#include "board_grid_test.moc"
