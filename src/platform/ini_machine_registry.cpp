#include "platform/ini_machine_registry.h"

#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace rv {

namespace {

const QLatin1String kSystemInfoKey("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QLatin1String kSystemInfoValue("PATH");

// QSettings separates groups with "/"; registry key paths use "\". Both the section written by
// hand ("[A\B C\D]") and the lookup end up as "A/B C/D".
QString settingsKey(const QString& keyPath, const QString& valueName) {
    QString key = keyPath;
    key.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (key.endsWith(QLatin1Char('/')))
        key.chop(1);
    return key + QLatin1Char('/') + valueName;
}

MachineRegistry::RawValue stringValue(const QString& text) {
    // Stored as the registry stores a string: its bytes and the terminating zero.
    QByteArray bytes = text.toUtf8();
    bytes.append('\0');
    return {MachineRegistry::kString, bytes};
}

} // namespace

QString IniMachineRegistry::defaultPath() {
    return QStringLiteral("/etc/xdg/Vantrel/registry.ini");
}

QStringList IniMachineRegistry::defaultSystemInfoTools() {
    return {QStringLiteral("hardinfo"),          QStringLiteral("gnome-system-monitor"),
            QStringLiteral("kinfocenter"),       QStringLiteral("mate-system-monitor"),
            QStringLiteral("xfce4-taskmanager"), QStringLiteral("lxtask")};
}

IniMachineRegistry::IniMachineRegistry(QString iniPath, QStringList systemInfoTools,
                                       QStringList searchPaths)
    : iniPath_(std::move(iniPath)), systemInfoTools_(std::move(systemInfoTools)),
      searchPaths_(std::move(searchPaths)) {}

std::optional<MachineRegistry::RawValue> IniMachineRegistry::queryValue(const QString& keyPath,
                                                                        const QString& valueName) {
    if (auto text = iniValue(keyPath, valueName))
        return stringValue(*text);
    if (keyPath.compare(kSystemInfoKey, Qt::CaseInsensitive) == 0 &&
        valueName.compare(kSystemInfoValue, Qt::CaseInsensitive) == 0) {
        if (auto tool = installedSystemInfoTool())
            return stringValue(*tool);
    }
    return std::nullopt;
}

std::optional<QString> IniMachineRegistry::iniValue(const QString& keyPath,
                                                    const QString& valueName) const {
    if (!QFileInfo(iniPath_).isFile())
        return std::nullopt;
    const QSettings ini(iniPath_, QSettings::IniFormat);
    const QVariant value = ini.value(settingsKey(keyPath, valueName));
    if (!value.isValid())
        return std::nullopt;
    // An unquoted value with commas comes back as a list; the registry holds it as one text.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

std::optional<QString> IniMachineRegistry::installedSystemInfoTool() const {
    for (const QString& tool : systemInfoTools_) {
        const QString path = QStandardPaths::findExecutable(tool, searchPaths_);
        if (!path.isEmpty())
            return path;
    }
    return std::nullopt;
}

} // namespace rv
