#pragma once

#include "platform/machine_registry.h"

#include <QStringList>

namespace rv {

// The machine registry kept in a machine-wide INI file: the key path is the group (written with
// backslashes, as "[SOFTWARE\Microsoft\Shared Tools\MSINFO]"), the value name the key, and every
// value a string (in double quotes when it holds a comma). The system-information tool's path is
// answered from the first installed tool of a short list when the file names none, so that the
// About window finds one on a desktop nobody has configured.
class IniMachineRegistry : public MachineRegistry {
public:
    static QString defaultPath(); // /etc/xdg/Vantrel/registry.ini
    static QStringList defaultSystemInfoTools();

    // searchPaths empty: the tools are looked for on PATH.
    explicit IniMachineRegistry(QString iniPath = defaultPath(),
                                QStringList systemInfoTools = defaultSystemInfoTools(),
                                QStringList searchPaths = {});

    std::optional<RawValue> queryValue(const QString& keyPath, const QString& valueName) override;

private:
    std::optional<QString> iniValue(const QString& keyPath, const QString& valueName) const;
    std::optional<QString> installedSystemInfoTool() const;

    QString iniPath_;
    QStringList systemInfoTools_;
    QStringList searchPaths_;
};

} // namespace rv
