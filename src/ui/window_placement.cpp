#include "ui/window_placement.h"

#include <QMargins>
#include <QWidget>
#include <QWindow>

namespace rv {

void applyWindowPlacement(QWidget& window, const WindowPlacement& placement) {
    window.setAttribute(Qt::WA_ShowWithoutActivating, placement.noActivate);

    QWindow* handle = window.windowHandle();
    if (handle) {
        // Toggling the hint on the QWindow keeps it mapped; QWidget::setWindowFlag would hide and
        // recreate the window and move it by its frame margins.
        handle->setFlag(Qt::WindowStaysOnTopHint, placement.topmost);
        window.overrideWindowFlags(handle->flags());
    } else {
        window.setWindowFlag(Qt::WindowStaysOnTopHint, placement.topmost);
    }

    if (!window.isVisible())
        window.show();

    const QMargins frame =
        window.windowHandle() ? window.windowHandle()->frameMargins() : QMargins();
    const QSize inner(placement.width - frame.left() - frame.right(),
                      placement.height - frame.top() - frame.bottom());
    // A fixed-size window keeps the new size as its fixed size.
    if (window.minimumSize() == window.maximumSize())
        window.setFixedSize(inner);
    else
        window.resize(inner);
    window.move(placement.x, placement.y);
}

} // namespace rv
