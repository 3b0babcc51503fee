#include "platform/qt_desktop.h"

#include <QDesktopServices>
#include <QProcess>

namespace rv {

bool QtDesktop::openUrl(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

bool QtDesktop::startProgram(const QString& path) {
    return QProcess::startDetached(path, {});
}

} // namespace rv
