#include "app/workspace.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace rv {

namespace {

// Folders a workspace must not be: group files there would mix with the user's own files.
bool isHomeOrRoot(const QString& path) {
    const QString clean = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    return clean == QDir::cleanPath(QDir::homePath()) || clean == QDir::rootPath() ||
           clean.isEmpty();
}

WorkspaceChoice failed(const QString& error) {
    return WorkspaceChoice{QString(), error};
}

} // namespace

QString userWorkspacePath() {
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

WorkspaceChoice chooseWorkspace(const StartRequest& request) {
    switch (request.workspace) {
    case StartRequest::Workspace::Current:
        return WorkspaceChoice{QDir::currentPath(), QString()};
    case StartRequest::Workspace::Given: {
        const QFileInfo folder(request.workspaceDir);
        if (!folder.exists())
            return failed(QStringLiteral("The workspace folder \"%1\" does not exist.")
                              .arg(request.workspaceDir));
        if (!folder.isDir())
            return failed(
                QStringLiteral("The workspace \"%1\" is not a folder.").arg(request.workspaceDir));
        return WorkspaceChoice{QDir::cleanPath(folder.absoluteFilePath()), QString()};
    }
    case StartRequest::Workspace::User: {
        const QString path = userWorkspacePath();
        if (path.isEmpty() || isHomeOrRoot(path))
            return failed(QStringLiteral("Your data folder could not be found, so Rotaview has "
                                         "no workspace of its own. Start it with "
                                         "--workspace DIR."));
        if (!QDir().mkpath(path))
            return failed(QStringLiteral("Rotaview's workspace \"%1\" could not be made.")
                              .arg(QDir::toNativeSeparators(path)));
        return WorkspaceChoice{QDir::cleanPath(path), QString()};
    }
    }
    return failed(QStringLiteral("No workspace was chosen."));
}

bool enterWorkspace(const QString& path, QString* error) {
    if (QDir::setCurrent(path))
        return true;
    if (error)
        *error = QStringLiteral("Rotaview cannot work in \"%1\": the folder cannot be opened.")
                     .arg(QDir::toNativeSeparators(path));
    return false;
}

} // namespace rv
