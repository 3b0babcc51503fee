#pragma once

#include "calendar/service_profile.h"

#include <QString>
#include <optional>

namespace rv {

// Where to run the program from on a first start.
struct StartPaths {
    QString workingDir; // where the group files and a calendar-service.ini are looked for
    QString program;    // this program, to start again in the demo workspace
    QString demoTool;   // the demo workspace generator
};

// What the board says on a start without any calendar store, when it would otherwise show an
// empty board without a word: where the store was looked for, and how to make the demo workspace
// to try the program with. Nothing when the profile names a CalDAV server or the local store's
// folder exists.
std::optional<QString> missingStoreMessage(const ServiceProfile& profile, const StartPaths& paths);

// The paths of this run: the working directory, this program, and the demo generator installed
// beside it (else the one on the PATH).
StartPaths startPaths();

} // namespace rv
