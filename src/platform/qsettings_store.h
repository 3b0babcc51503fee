#pragma once

#include "platform/settings_store.h"

#include <optional>

class QSettings;

namespace rv {

// QSettings in INI format, user scope, organisation "Vantrel": ~/.config/Vantrel.ini (the user's
// configuration folder). The file is taken only when it is a regular file of a sane size: in its
// place a FIFO, a device or a folder is never waited on, and then, like a file that cannot be
// written, every value is the default and nothing is stored, which the failure listener is told.
class QSettingsStore : public SettingsStore {
public:
    QString GetSetting(const QString& section, const QString& key,
                       const QString& defaultText) override;
    void SaveSetting(const QString& section, const QString& key, const QString& value) override;
    void setFailureListener(FailureListener listener) override { listener_ = std::move(listener); }

    // The file the settings live in.
    static QString filePath();

private:
    // What keeps the file from being used, or nothing when it can be.
    std::optional<QString> refusal() const;
    void failed(const QString& message);
    void worked() { told_ = false; }

    FailureListener listener_;
    bool told_ = false;
};

} // namespace rv
