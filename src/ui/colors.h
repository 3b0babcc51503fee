#pragma once

#include <QColor>
#include <cstdint>

namespace rv {

// Colours are kept as the 32-bit value 0x00BBGGRR (red in the low byte).
inline std::uint32_t colorRefFromQColor(const QColor& c) {
    return static_cast<std::uint32_t>(c.red()) | (static_cast<std::uint32_t>(c.green()) << 8) |
           (static_cast<std::uint32_t>(c.blue()) << 16);
}

inline QColor qcolorFromColorRef(std::uint32_t ref) {
    return QColor(ref & 0xFF, (ref >> 8) & 0xFF, (ref >> 16) & 0xFF);
}

} // namespace rv
