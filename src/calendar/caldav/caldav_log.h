#pragma once

#include <QLoggingCategory>

namespace rv {

// How the CalDAV client works around what a server does not offer (a calendar it will not hand
// out whole, a principal search it does not know); QT_LOGGING_RULES="rotaview.caldav.info=true"
// shows it.
inline const QLoggingCategory& caldavLog() {
    static const QLoggingCategory category("rotaview.caldav", QtWarningMsg);
    return category;
}

} // namespace rv
