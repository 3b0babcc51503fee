// The command line and the workspace a start works in: help and the version answer without a
// display, a shell start works in the current folder, --workspace in the folder named, and the
// desktop menu's start in the user's own workspace under their data folder, made on first use.

#include "app/command_line.h"
#include "app/workspace.h"
#include "support/temp_workdir.h"
#include "ui/program_files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace rv;
using Action = StartRequest::Action;
using Workspace = StartRequest::Workspace;

Q_DECLARE_METATYPE(Action)
Q_DECLARE_METATYPE(Workspace)

namespace {

bool touch(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly);
}

} // namespace

class CommandLineTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QCoreApplication::setApplicationName(QStringLiteral("Rotaview"));
        QCoreApplication::setOrganizationName(QStringLiteral("Vantrel"));
    }

    void readsTheOptions_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<Action>("action");
        QTest::addColumn<Workspace>("workspace");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QStringList>("notOurs");
        const QStringList none;
        QTest::newRow("shell start")
            << none << Action::Run << Workspace::Current << QString() << none;
        QTest::newRow("--help") << QStringList{"--help"} << Action::Help << Workspace::Current
                                << QString() << none;
        QTest::newRow("-h") << QStringList{"-h"} << Action::Help << Workspace::Current << QString()
                            << none;
        QTest::newRow("--version") << QStringList{"--version"} << Action::Version
                                   << Workspace::Current << QString() << none;
        QTest::newRow("-v") << QStringList{"-v"} << Action::Version << Workspace::Current
                            << QString() << none;
        QTest::newRow("help whatever else")
            << QStringList{"--bogus", "--help", "--workspace", "/srv/team"} << Action::Help
            << Workspace::Given << QString("/srv/team") << QStringList{"--bogus"};
        QTest::newRow("--workspace DIR") << QStringList{"--workspace", "/srv/team"} << Action::Run
                                         << Workspace::Given << QString("/srv/team") << none;
        QTest::newRow("--workspace=DIR") << QStringList{"--workspace=/srv/team"} << Action::Run
                                         << Workspace::Given << QString("/srv/team") << none;
        QTest::newRow("menu start") << QStringList{"--user-workspace"} << Action::Run
                                    << Workspace::User << QString() << none;
        QTest::newRow("menu entry with a folder added")
            << QStringList{"--user-workspace", "--workspace", "/srv/team"} << Action::Run
            << Workspace::Given << QString("/srv/team") << none;
        QTest::newRow("--workspace without folder")
            << QStringList{"--workspace"} << Action::Fail << Workspace::Given << QString() << none;
        QTest::newRow("--workspace= empty")
            << QStringList{"--workspace="} << Action::Fail << Workspace::Given << QString() << none;
        QTest::newRow("Qt's options left to Qt")
            << QStringList{"-platform", "offscreen", "--user-workspace"} << Action::Run
            << Workspace::User << QString() << QStringList{"-platform", "offscreen"};
    }

    void readsTheOptions() {
        QFETCH(QStringList, arguments);
        QFETCH(Action, action);
        QFETCH(Workspace, workspace);
        QFETCH(QString, folder);
        QFETCH(QStringList, notOurs);
        const StartRequest request = readCommandLine(QStringList{"rotaview"} + arguments);
        QCOMPARE(request.action, action);
        QCOMPARE(request.workspace, workspace);
        QCOMPARE(request.workspaceDir, folder);
        QCOMPARE(request.notOurs, notOurs);
        QCOMPARE(request.error.isEmpty(), action != Action::Fail);
    }

    void choosesTheWorkspace_data() {
        QTest::addColumn<QString>("start");    // shell, given, menu
        QTest::addColumn<QString>("folder");   // relative to the test's folder; $DATA the data home
        QTest::addColumn<QString>("expected"); // the folder worked in; empty for a refusal
        QTest::newRow("shell start: the current folder") << "shell"
                                                         << ""
                                                         << "cwd";
        QTest::newRow("--workspace: the folder") << "given"
                                                 << "team"
                                                 << "team";
        QTest::newRow("--workspace: relative to the current folder") << "given"
                                                                     << "cwd/../team"
                                                                     << "team";
        QTest::newRow("--workspace: a missing folder refused") << "given"
                                                               << "missing"
                                                               << "";
        QTest::newRow("--workspace: a file refused") << "given"
                                                     << "file"
                                                     << "";
        QTest::newRow("menu start: made under the data folder") << "menu"
                                                                << "data"
                                                                << "data/Vantrel/Rotaview";
        QTest::newRow("menu start: again, the same folder") << "menu"
                                                            << "used"
                                                            << "used/Vantrel/Rotaview";
        QTest::newRow("menu start: the home's data folder by default")
            << "menu"
            << ""
            << "home/.local/share/Vantrel/Rotaview";
        QTest::newRow("menu start: a data folder that cannot be made refused") << "menu"
                                                                               << "file"
                                                                               << "";
    }

    void choosesTheWorkspace() {
        QFETCH(QString, start);
        QFETCH(QString, folder);
        QFETCH(QString, expected);
        QTemporaryDir root;
        const QDir dir(root.path());
        for (const char* sub : {"cwd", "team", "home", "used/Vantrel/Rotaview"})
            QVERIFY(dir.mkpath(QString::fromLatin1(sub)));
        QVERIFY(touch(dir.filePath("file")));
        QVERIFY(touch(dir.filePath("used/Vantrel/Rotaview/Rotalist.dat")));
        const QByteArray home = qgetenv("HOME"), dataHome = qgetenv("XDG_DATA_HOME");
        qputenv("HOME", dir.filePath("home").toLocal8Bit());
        if (start == "menu" && !folder.isEmpty())
            qputenv("XDG_DATA_HOME", dir.filePath(folder).toLocal8Bit());
        else
            qunsetenv("XDG_DATA_HOME");
        const QString previous = QDir::currentPath();
        QDir::setCurrent(dir.filePath("cwd"));

        StartRequest request;
        request.workspace = start == "shell"  ? Workspace::Current
                            : start == "menu" ? Workspace::User
                                              : Workspace::Given;
        if (start == "given")
            request.workspaceDir = folder.startsWith("cwd/") ? folder.mid(4) : dir.filePath(folder);
        const WorkspaceChoice choice = chooseWorkspace(request);

        QDir::setCurrent(previous);
        qputenv("HOME", home);
        if (dataHome.isNull())
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", dataHome);

        if (expected.isEmpty()) {
            QVERIFY(choice.path.isEmpty());
            QVERIFY(!choice.error.isEmpty());
            return;
        }
        QVERIFY2(choice.error.isEmpty(), qPrintable(choice.error));
        QCOMPARE(choice.path, QDir::cleanPath(dir.filePath(expected)));
        QVERIFY(QFileInfo(choice.path).isDir());
        QVERIFY(choice.path != QDir::cleanPath(dir.filePath("home")));
        // A workspace in use keeps what it holds.
        if (folder == "used")
            QVERIFY(QFile::exists(dir.filePath("used/Vantrel/Rotaview/Rotalist.dat")));
    }

    // The program answers in a terminal without a display; a start it cannot honour ends with a
    // message, never with Qt looking for a display first.
    void answersWithoutDisplay_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::newRow("--help") << QStringList{"--help"} << 0 << "--workspace DIR"
                                << "";
        QTest::newRow("--version") << QStringList{"--version"} << 0 << "Rotaview 1.3.60\n"
                                   << "";
        QTest::newRow("-v") << QStringList{"-v"} << 0 << "Rotaview 1.3.60\n"
                            << "";
        QTest::newRow("missing workspace")
            << QStringList{"--workspace", "/nonexistent/rotaview"} << 1 << ""
            << "The workspace folder \"/nonexistent/rotaview\" does not exist.";
        QTest::newRow("--workspace without folder") << QStringList{"--workspace"} << 2 << ""
                                                    << "--workspace needs a folder";
    }

    void answersWithoutDisplay() {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(ROTAVIEW_BINARY_DIR "/bin/rotaview"), arguments);
        QVERIFY(program.waitForFinished(30000));
        const QString stdOut = QString::fromLocal8Bit(program.readAllStandardOutput());
        const QString stdErr = QString::fromLocal8Bit(program.readAllStandardError());
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QVERIFY2(program.exitCode() == exitCode, qPrintable(stdErr));
        if (arguments.first() == "--version" || arguments.first() == "-v")
            QCOMPARE(stdOut, out);
        else
            QVERIFY2(stdOut.contains(out), qPrintable(stdOut));
        QVERIFY2(stdErr.contains(err), qPrintable(stdErr));
    }

    // The installed program finds its access-denied picture in its data folder; in the build
    // folder, beside itself.
    void findsItsPicture_data() {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("expected");
        QTest::newRow("installed")
            << QStringList{"share/rotaview/msgbox03.ico"} << "share/rotaview/msgbox03.ico";
        QTest::newRow("build folder") << QStringList{"bin/msgbox03.ico"} << "bin/msgbox03.ico";
        QTest::newRow("beside wins")
            << QStringList{"bin/msgbox03.ico", "share/rotaview/msgbox03.ico"} << "bin/msgbox03.ico";
        QTest::newRow("nowhere: beside") << QStringList{} << "bin/msgbox03.ico";
    }

    void findsItsPicture() {
        QFETCH(QStringList, files);
        QFETCH(QString, expected);
        QTemporaryDir prefix;
        const QDir dir(prefix.path());
        QVERIFY(dir.mkpath("bin"));
        for (const QString& file : files) {
            QVERIFY(dir.mkpath(QFileInfo(file).path()));
            QVERIFY(touch(dir.filePath(file)));
        }
        QCOMPARE(programFileFor(dir.filePath("bin"), "msgbox03.ico"), dir.filePath(expected));
    }
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "command_line_test.moc"
