#include "platform/qsettings_store.h"

#include <QSettings>

namespace rv {

namespace {
QSettings openStore() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Vantrel"));
}
} // namespace

QString QSettingsStore::GetSetting(const QString& section, const QString& key,
                                   const QString& defaultText) {
    QSettings store = openStore();
    const QVariant value = store.value(section + QLatin1Char('/') + key);
    if (!value.isValid())
        return defaultText;
    // A value written by hand as a list ("a, b") comes back as a list: keep its text form.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QStringLiteral(", "));
    return value.toString();
}

void QSettingsStore::SaveSetting(const QString& section, const QString& key, const QString& value) {
    QSettings store = openStore();
    store.setValue(section + QLatin1Char('/') + key, value);
    store.sync();
}

} // namespace rv
