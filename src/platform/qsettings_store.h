#pragma once

#include "platform/settings_store.h"

namespace rv {

// QSettings in INI format, user scope, organisation "Vantrel": ~/.config/Vantrel.ini.
class QSettingsStore : public SettingsStore {
public:
    QString GetSetting(const QString& section, const QString& key,
                       const QString& defaultText) override;
    void SaveSetting(const QString& section, const QString& key, const QString& value) override;
};

} // namespace rv
