#pragma once

#include <QLoggingCategory>

namespace rv {

// Failures the calendar code handles without telling the user (an event that cannot be read, a
// person who cannot be looked up) are logged here; QT_LOGGING_RULES="rotaview.calendar.info=true"
// shows them.
inline const QLoggingCategory& calendarLog() {
    static const QLoggingCategory category("rotaview.calendar", QtWarningMsg);
    return category;
}

} // namespace rv
