#pragma once

#include "app/command_line.h"

#include <QString>

namespace rv {

// The folder the program works in: its group files and the calendar service's profile live there.
// From a shell it is the current folder. The desktop menu starts the program with
// --user-workspace: a folder under the user's data directory, made on first use, so that the
// group files never land in whatever folder the desktop starts programs in (the home folder).
// --workspace DIR names an existing folder.

// The user's own workspace ($XDG_DATA_HOME/Vantrel/Rotaview); empty when the system names no
// data folder for the user.
QString userWorkspacePath();

struct WorkspaceChoice {
    QString path;  // absolute; empty on failure
    QString error; // why no folder could be had, for the user
};

// Resolves the requested folder, making the user's workspace when it does not exist yet. Never
// the home folder itself or the file system's root.
WorkspaceChoice chooseWorkspace(const StartRequest& request);

// Makes the folder the working directory; false with the reason when it cannot.
bool enterWorkspace(const QString& path, QString* error);

} // namespace rv
