#pragma once

#include <QLoggingCategory>

namespace rv {

// What the group files hold that the program reads past without a word (a file that ends
// without its end marker); QT_LOGGING_RULES="rotaview.groups.info=true" shows it.
inline const QLoggingCategory& groupsLog() {
    static const QLoggingCategory category("rotaview.groups", QtWarningMsg);
    return category;
}

} // namespace rv
