#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

namespace rv {

// The machine-wide registry: values addressed by a key path ("SOFTWARE\Vendor\Tool") and a value
// name, each held as a type and raw bytes. Read only.
class MachineRegistry {
public:
    // Value types as the registry numbers them.
    static constexpr std::uint32_t kString = 1;
    static constexpr std::uint32_t kNumber32 = 4;

    struct RawValue {
        std::uint32_t type = kString;
        // The stored bytes; a string value normally ends with its terminating zero byte.
        QByteArray bytes;
    };

    virtual ~MachineRegistry() = default;
    // The value, or nullopt when the key or the value does not exist.
    virtual std::optional<RawValue> queryValue(const QString& keyPath,
                                               const QString& valueName) = 0;
};

} // namespace rv
