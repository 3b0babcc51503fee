#pragma once

#include <QString>

namespace rv {

// A file the program ships with (the access-denied picture): next to the executable in the build
// folder, in the data folder of the installed program (<prefix>/share/rotaview beside
// <prefix>/bin). The path next to the executable when neither holds it.
QString programFile(const QString& name);
// The same rule for an executable living in programDir.
QString programFileFor(const QString& programDir, const QString& name);

} // namespace rv
