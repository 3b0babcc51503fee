#pragma once

#include <QString>
#include <cstdint>

namespace rv {

// The program's title and version numbers, as the About window and the feedback mail show them.
inline const QString kProgramTitle = QStringLiteral("Rotaview");
constexpr std::int16_t kVersionMajor = 1;
constexpr std::int16_t kVersionMinor = 3;
constexpr std::int16_t kVersionRevision = 60;

} // namespace rv
