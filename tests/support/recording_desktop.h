#pragma once

#include "platform/desktop.h"

#include <QList>
#include <QStringList>

namespace rv::test {

// Records what the program hands to the desktop instead of opening it.
class RecordingDesktop : public Desktop {
public:
    bool openUrl(const QUrl& url) override {
        openedUrls << url;
        return acceptUrls;
    }
    bool startProgram(const QString& path) override {
        startedPrograms << path;
        return acceptPrograms;
    }

    bool acceptUrls = true;
    bool acceptPrograms = true;
    QList<QUrl> openedUrls;
    QStringList startedPrograms;
};

} // namespace rv::test
