#include "app/command_line.h"

#include "about/program_version.h"

namespace rv {

StartRequest readCommandLine(const QStringList& arguments) {
    StartRequest request;
    bool help = false, version = false, userWorkspace = false;
    QString failure;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (arg == QLatin1String("-h") || arg == QLatin1String("--help")) {
            help = true;
        } else if (arg == QLatin1String("-v") || arg == QLatin1String("--version")) {
            version = true;
        } else if (arg == QLatin1String("--user-workspace")) {
            userWorkspace = true;
        } else if (arg == QLatin1String("--workspace") ||
                   arg.startsWith(QLatin1String("--workspace="))) {
            QString dir;
            if (arg.contains(QLatin1Char('=')))
                dir = arg.section(QLatin1Char('='), 1);
            else if (i + 1 < arguments.size())
                dir = arguments[++i];
            if (dir.isEmpty() && failure.isEmpty())
                failure = QStringLiteral("--workspace needs a folder: --workspace DIR");
            request.workspace = StartRequest::Workspace::Given;
            request.workspaceDir = dir;
        } else {
            request.notOurs << arg;
        }
    }
    if (userWorkspace && request.workspace != StartRequest::Workspace::Given)
        request.workspace = StartRequest::Workspace::User;
    // Help and the version answer whatever else was given.
    if (help)
        request.action = StartRequest::Action::Help;
    else if (version)
        request.action = StartRequest::Action::Version;
    else if (!failure.isEmpty()) {
        request.action = StartRequest::Action::Fail;
        request.error = failure;
    }
    return request;
}

QString usageText(const QString& userWorkspace) {
    return QStringLiteral(
               "Usage: rotaview [options]\n"
               "Shows how booked each person of a group is on each day of a month.\n"
               "\n"
               "Options:\n"
               "  -h, --help          show this help and end\n"
               "  -v, --version       show the version and end\n"
               "  --workspace DIR     work in the folder DIR: its group files (Rotalist.dat, "
               "GRP*.DAT)\n"
               "                      and its calendar-service.ini\n"
               "  --user-workspace    work in your own workspace, made on first use; the\n"
               "                      desktop menu starts Rotaview with it. Yours is\n"
               "                      %1\n"
               "\n"
               "Without a workspace option Rotaview works in the current folder.\n"
               "Qt's own options (-platform, -style, ...) are understood as well.\n")
        .arg(userWorkspace.isEmpty() ? QStringLiteral("(no data folder known)") : userWorkspace);
}

QString versionText() {
    return QStringLiteral("%1 %2.%3.%4\n")
        .arg(kProgramTitle)
        .arg(kVersionMajor)
        .arg(kVersionMinor)
        .arg(kVersionRevision);
}

} // namespace rv
