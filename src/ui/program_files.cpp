#include "ui/program_files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

// Where the installed data folder lies, seen from the installed executable's folder; set by the
// install rules from the install directories.
#ifndef ROTAVIEW_DATA_FROM_BIN
#define ROTAVIEW_DATA_FROM_BIN "../share/rotaview"
#endif

namespace rv {

QString programFileFor(const QString& programDir, const QString& name) {
    const QDir dir(programDir);
    const QString beside = dir.filePath(name);
    if (QFileInfo::exists(beside))
        return beside;
    const QString installed =
        QDir::cleanPath(dir.filePath(QStringLiteral(ROTAVIEW_DATA_FROM_BIN "/") + name));
    return QFileInfo::exists(installed) ? installed : beside;
}

QString programFile(const QString& name) {
    return programFileFor(QCoreApplication::applicationDirPath(), name);
}

} // namespace rv
