#pragma once

#include <QLoggingCategory>

namespace rv {

// What a build or a cell click skips without a word to the user (a row's person who cannot be
// looked up, a member file that cannot be read for one row); QT_LOGGING_RULES=
// "rotaview.board.info=true" shows it.
inline const QLoggingCategory& boardLog() {
    static const QLoggingCategory category("rotaview.board", QtWarningMsg);
    return category;
}

} // namespace rv
