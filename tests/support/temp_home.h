#pragma once

#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace rv::test {

// HOME pointed at a fresh folder of the test's own, where a .netrc may be written, for the
// lifetime of the object.
class TempHome {
public:
    TempHome() : previous_(qgetenv("HOME")) { qputenv("HOME", dir_.path().toUtf8()); }
    ~TempHome() { qputenv("HOME", previous_); }
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    // False when the file could not be written with that mode.
    bool writeNetrc(const QString& text, mode_t mode = 0600) {
        const QString path = dir_.filePath(QStringLiteral(".netrc"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text.toUtf8()) < 0)
            return false;
        file.close();
        return ::chmod(QFile::encodeName(path).constData(), mode) == 0;
    }

private:
    QTemporaryDir dir_;
    QByteArray previous_;
};

} // namespace rv::test
