// The command line and the workspace a start works in: help and the version answer without a
// display, a shell start works in the current folder, --workspace in the folder named, and the
// desktop menu's start in the user's own workspace under their data folder, made on first use.

#include "app/command_line.h"
#include "app/workspace.h"
#include "support/data_files.h"
#include "support/temp_workdir.h"
#include "ui/program_files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace rv;
using Workspace = StartRequest::Workspace;

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

    // Rotaview's options are found wherever they stand, help wins over the rest, --workspace over
    // --user-workspace, and what is not ours is left to Qt.
    void readsTheOptions_data() {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QString>("expected"); // action, workspace, folder | not ours
        test::addDataRows(QStringLiteral("app/options.tsv"));
    }
    void readsTheOptions() {
        QFETCH(QString, arguments);
        QFETCH(QString, expected);
        const StartRequest request = readCommandLine(
            QStringList{"rotaview"} + arguments.split(QLatin1Char(' '), Qt::SkipEmptyParts));
        const char* actions[] = {"Run", "Help", "Version", "Fail"};
        const char* workspaces[] = {"Current", "User", "Given"};
        QString seen = QString::fromLatin1(actions[int(request.action)]) + QLatin1Char(' ') +
                       QString::fromLatin1(workspaces[int(request.workspace)]);
        if (!request.workspaceDir.isEmpty())
            seen += QLatin1Char(' ') + request.workspaceDir;
        if (!request.notOurs.isEmpty())
            seen += QStringLiteral(" | ") + request.notOurs.join(QLatin1Char(' '));
        QCOMPARE(seen, expected);
        QCOMPARE(request.error.isEmpty(), request.action != StartRequest::Action::Fail);
    }

    // The folder a start works in: the current one, the one given (which must be a folder), or
    // the user's own under the data folder, made on first use and kept afterwards.
    void choosesTheWorkspace_data() {
        QTest::addColumn<QString>("start");    // shell, given, menu
        QTest::addColumn<QString>("folder");   // relative to the test's folder
        QTest::addColumn<QString>("expected"); // the folder worked in; empty for a refusal
        test::addDataRows(QStringLiteral("app/workspaces.tsv"));
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
        QVERIFY(QFile::exists(dir.filePath("used/Vantrel/Rotaview/Rotalist.dat")));
    }

    // The program answers in a terminal without a display; a start it cannot honour ends with a
    // message, never with Qt looking for a display first.
    void answersWithoutDisplay_data() {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QString>("exitCode");
        QTest::addColumn<QString>("out"); // what the standard output holds
        QTest::addColumn<QString>("err"); // what the standard error holds
        test::addDataRows(QStringLiteral("app/answers.tsv"));
    }
    void answersWithoutDisplay() {
        QFETCH(QString, arguments);
        QFETCH(QString, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(ROTAVIEW_BINARY_DIR "/bin/rotaview"),
                      arguments.split(QLatin1Char(' ')));
        QVERIFY(program.waitForFinished(30000));
        const QString stdOut = QString::fromLocal8Bit(program.readAllStandardOutput());
        const QString stdErr = QString::fromLocal8Bit(program.readAllStandardError());
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QVERIFY2(program.exitCode() == exitCode.toInt(), qPrintable(stdErr));
        if (out.startsWith(QStringLiteral("Rotaview")))
            QCOMPARE(stdOut, out + QLatin1Char('\n'));
        else
            QVERIFY2(stdOut.contains(out), qPrintable(stdOut));
        QVERIFY2(stdErr.contains(err), qPrintable(stdErr));
    }

    // The installed program finds its access-denied picture in its data folder; in the build
    // folder, beside itself.
    void findsItsPicture_data() {
        QTest::addColumn<QString>("files");
        QTest::addColumn<QString>("expected");
        test::addDataRows(QStringLiteral("app/pictures.tsv"));
    }
    void findsItsPicture() {
        QFETCH(QString, files);
        QFETCH(QString, expected);
        QTemporaryDir prefix;
        const QDir dir(prefix.path());
        QVERIFY(dir.mkpath("bin"));
        for (const QString& file : files.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            QVERIFY(dir.mkpath(QFileInfo(file).path()));
            QVERIFY(touch(dir.filePath(file)));
        }
        QCOMPARE(programFileFor(dir.filePath("bin"), "msgbox03.ico"), dir.filePath(expected));
    }
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "command_line_test.moc"
