#include "legend/stay_on_top.h"

#include "ui/twips.h"

namespace rv {

WindowPlacement stayOnTopPlacement(double leftTwips, double topTwips, bool onTop) {
    const QPoint pixels = twipsPoint(leftTwips, topTwips);
    return {pixels.x(), pixels.y(), kStayOnTopWidth, kStayOnTopHeight, onTop, true};
}

} // namespace rv
