#pragma once

#include <QDir>
#include <QTemporaryDir>

namespace rv::test {

// Makes a fresh temporary folder the current working directory for the lifetime of the object.
class TempWorkdir {
public:
    TempWorkdir() : previous_(QDir::currentPath()) { QDir::setCurrent(dir_.path()); }
    ~TempWorkdir() { QDir::setCurrent(previous_); }
    TempWorkdir(const TempWorkdir&) = delete;
    TempWorkdir& operator=(const TempWorkdir&) = delete;

    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.filePath(name); }

private:
    QTemporaryDir dir_;
    QString previous_;
};

} // namespace rv::test
