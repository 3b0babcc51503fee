#pragma once

#include <QString>

namespace rv {

// The per-user settings store: (section, key) -> text, all under the application "Vantrel".
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // The stored text, or defaultText when the key is absent.
    virtual QString GetSetting(const QString& section, const QString& key,
                               const QString& defaultText) = 0;
    virtual void SaveSetting(const QString& section, const QString& key, const QString& value) = 0;
};

} // namespace rv
