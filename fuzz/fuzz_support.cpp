#include "fuzz_target.h"

#include <QDir>
#include <QTemporaryDir>
#include <cstdlib>
#include <ctime>

namespace rv::fuzz {

void enterScratchWorkdir() {
    const QString base =
        QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    // Lives until the process ends; removed then.
    static QTemporaryDir dir(base + QStringLiteral("/rotaview-fuzz-XXXXXX"));
    if (!dir.isValid() || !QDir::setCurrent(dir.path()))
        std::abort();
}

void useFixedTimeZone() {
    ::setenv("TZ", "Europe/Berlin", 1);
    ::tzset();
}

} // namespace rv::fuzz
