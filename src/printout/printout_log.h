#pragma once

#include <QLoggingCategory>

namespace rv {

// What the printout leaves out without a word (a person who cannot be looked up, an item that
// cannot be read); QT_LOGGING_RULES="rotaview.printout.info=true" shows it.
inline const QLoggingCategory& printoutLog() {
    static const QLoggingCategory category("rotaview.printout", QtWarningMsg);
    return category;
}

} // namespace rv
