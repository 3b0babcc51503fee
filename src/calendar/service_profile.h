#pragma once

#include <QString>

namespace rv {

class Prompts;
class Desktop;

// What a backend may need from the rest of the platform.
struct CalendarServiceContext {
    Prompts& prompts;
    Desktop& desktop;
};

// The calendar service's own profile, calendar-service.ini: which backend, where its data is,
// and who the connected user is. Looked for in the working directory (beside the group files),
// then in ~/.config/Vantrel/.
struct ServiceProfile {
    QString path;    // the profile file read; empty when none was found
    QString backend; // "local" or "caldav"
    QString folder;  // local store folder, absolute
    QString user;    // the connected user
    QString url;     // CalDAV server URL
    // CalDAV: which of a person's calendars to read where the server marks none default (a
    // calendar's path, the last segment of it, or its display name); see chooseCalendar.
    QString calendar;
    int timeoutSeconds = 20;
    // CalDAV: whether plain http to another machine is accepted (AllowPlainHttp=true); the
    // password then still goes only once the user has accepted it unencrypted.
    bool allowPlainHttp = false;
};

// Reads the profile. Without a profile file: the local store at ~/.local/share/Vantrel/store
// with the login name as the connected user.
ServiceProfile loadServiceProfile();
ServiceProfile readServiceProfile(const QString& iniPath);

} // namespace rv
