#pragma once

#include <QString>
#include <QStringList>

namespace rv {

// What a start asks for on the command line. Rotaview's own options:
//   -h, --help               the usage, without opening a window
//   -v, --version            "Rotaview 1.3.60", the About window's version
//   --workspace DIR          work in DIR (which must exist)
//   --user-workspace         work in the user's own workspace under their data folder: what the
//                            desktop menu starts, so that group files never land in the folder a
//                            desktop session happens to start programs in (the home folder)
// Without a workspace option the program works in the current folder, as started from a shell.
// Anything else is left to Qt's own options (-platform, -style, ...), checked once Qt took them.
struct StartRequest {
    enum class Action { Run, Help, Version, Fail };
    enum class Workspace { Current, User, Given };

    Action action = Action::Run;
    Workspace workspace = Workspace::Current;
    QString workspaceDir; // with Given, as typed
    QString error;        // with Fail, for the standard error
    QStringList notOurs;  // arguments that are not Rotaview's, in order
};

// Reads the arguments, the program's name first. --workspace wins over --user-workspace, so that
// a menu entry can be made to start on a team folder by adding it.
StartRequest readCommandLine(const QStringList& arguments);

// The usage, naming the user's own workspace folder.
QString usageText(const QString& userWorkspace);
QString versionText();

} // namespace rv
