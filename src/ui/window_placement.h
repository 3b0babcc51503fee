#pragma once

class QWidget;

namespace rv {

// What the program asks of the window system for one top-level window: the outer (frame)
// rectangle in pixels, whether it stays above all other windows, and whether it may take the
// focus when it is shown.
struct WindowPlacement {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool topmost = false;
    bool noActivate = false;

    friend bool operator==(const WindowPlacement&, const WindowPlacement&) = default;
};

// Places and shows the window. The stacking is changed on the live window, without recreating
// or activating it; the size is the outer size, the window's frame included.
void applyWindowPlacement(QWidget& window, const WindowPlacement& placement);

} // namespace rv
