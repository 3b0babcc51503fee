#pragma once

#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace rv::test {

// HOME pointed at a fresh folder of the test's own, where a .netrc may be written, for the
// lifetime of the object; the cache folder inside it, so that nothing cached by an earlier test
// (or test run) is found.
class TempHome {
public:
    TempHome() : previous_(qgetenv("HOME")), previousCache_(qgetenv("XDG_CACHE_HOME")) {
        qputenv("HOME", dir_.path().toUtf8());
        qputenv("XDG_CACHE_HOME", dir_.filePath(QStringLiteral(".cache")).toUtf8());
    }
    ~TempHome() {
        qputenv("HOME", previous_);
        qputenv("XDG_CACHE_HOME", previousCache_);
    }
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
    QByteArray previousCache_;
};

// The cache folder pointed at a fresh folder while a connection is opened: a connection opened
// meanwhile keeps its cache files there, and finds nothing another one kept. Outlives them.
class FreshCache {
public:
    FreshCache() : previous_(qgetenv("XDG_CACHE_HOME")) { use(); }
    // The cache folder pointed here again (a restart over what was kept), until restore().
    void use() { qputenv("XDG_CACHE_HOME", QFile::encodeName(dir_.path())); }
    void restore() { qputenv("XDG_CACHE_HOME", previous_); }
    ~FreshCache() { restore(); }
    FreshCache(const FreshCache&) = delete;
    FreshCache& operator=(const FreshCache&) = delete;

private:
    QTemporaryDir dir_;
    QByteArray previous_;
};

} // namespace rv::test
