#include "board/first_start.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace rv {

std::optional<QString> missingStoreMessage(const ServiceProfile& profile, const StartPaths& paths) {
    if (profile.backend != QLatin1String("local") || QFileInfo(profile.folder).isDir())
        return std::nullopt;
    const QString folder = QDir::toNativeSeparators(profile.folder);
    QString where;
    if (profile.path.isEmpty())
        where = QStringLiteral("No calendar store was found, so the board shows nobody. Rotaview "
                               "looked for the calendar service's profile calendar-service.ini "
                               "in %1 and in %2, and then for a calendar store in %3.")
                    .arg(QDir::toNativeSeparators(paths.workingDir),
                         QDir::toNativeSeparators(QDir::homePath() +
                                                  QStringLiteral("/.config/Vantrel")),
                         folder);
    else
        where = QStringLiteral("No calendar store was found, so the board shows nobody: the "
                               "calendar store %1 named in %2 does not exist.")
                    .arg(folder, QDir::toNativeSeparators(profile.path));
    const QString demo =
        QDir::toNativeSeparators(QDir::homePath() + QStringLiteral("/rotaview-demo"));
    return where + QStringLiteral("\n\nTo try Rotaview on demo data, make the demo workspace "
                                  "and start Rotaview in it:\n\n%1 --default-group Design %2\n"
                                  "cd %2 && %3")
                       .arg(paths.demoTool, demo, paths.program);
}

StartPaths startPaths() {
    const QString name = QStringLiteral("rotaview-demo-store");
    QString tool = QDir(QCoreApplication::applicationDirPath()).filePath(name);
    if (!QFileInfo(tool).isExecutable()) {
        tool = QStandardPaths::findExecutable(name);
        if (tool.isEmpty())
            tool = name;
    }
    return {QDir::currentPath(), QCoreApplication::applicationFilePath(), tool};
}

} // namespace rv
