#pragma once

#include <QString>
#include <functional>

namespace rv {

// The per-user settings store: (section, key) -> text, all under the application "Vantrel".
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // The stored text, or defaultText when the key is absent.
    virtual QString GetSetting(const QString& section, const QString& key,
                               const QString& defaultText) = 0;
    virtual void SaveSetting(const QString& section, const QString& key, const QString& value) = 0;

    // Where a store that can fail (a file that cannot be read or written) tells of it: once, with
    // a message for the user, and again only after it has worked in between.
    using FailureListener = std::function<void(const QString& message)>;
    virtual void setFailureListener(FailureListener listener) { Q_UNUSED(listener); }
};

} // namespace rv
