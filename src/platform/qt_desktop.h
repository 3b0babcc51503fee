#pragma once

#include "platform/desktop.h"

namespace rv {

// QDesktopServices and QProcess::startDetached.
class QtDesktop : public Desktop {
public:
    bool openUrl(const QUrl& url) override;
    bool startProgram(const QString& path) override;
};

} // namespace rv
