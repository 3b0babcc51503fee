#pragma once

#include <QLoggingCategory>

namespace rv {

// Why the feedback mail could not be prepared (the user is told only where to write);
// QT_LOGGING_RULES="rotaview.about.info=true" shows it.
inline const QLoggingCategory& aboutLog() {
    static const QLoggingCategory category("rotaview.about", QtWarningMsg);
    return category;
}

} // namespace rv
