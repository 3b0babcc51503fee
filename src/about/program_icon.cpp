#include "about/program_icon.h"

// The icon lives in a resource compiled into this static library; nothing refers to its
// initialiser, so it is registered explicitly before first use.
static void registerProgramIconResource() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(program_icon);
        return true;
    }();
    (void)registered;
}

namespace rv {

QPixmap programIconPixmap() {
    registerProgramIconResource();
    return QPixmap(QStringLiteral(":/icons/rotaview.png"));
}

QIcon programIcon() {
    return QIcon(programIconPixmap());
}

} // namespace rv
