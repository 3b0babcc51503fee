#pragma once

#include <QString>
#include <QUrl>

namespace rv {

// Hands files and URLs to the desktop and starts other programs; never waits for them.
class Desktop {
public:
    virtual ~Desktop() = default;
    // Opens a file or URL with the desktop's default handler; false when nothing could take it.
    virtual bool openUrl(const QUrl& url) = 0;
    // Starts a program in a window of its own; false when it could not be started.
    virtual bool startProgram(const QString& path) = 0;
};

} // namespace rv
