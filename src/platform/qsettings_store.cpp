#include "platform/qsettings_store.h"

#include "platform/regular_file.h"

#include <QSettings>
#include <QStandardPaths>

namespace rv {

namespace {

// A few dozen short values; a file near this size is not the program's.
constexpr qint64 kMaxSettingsBytes = qint64(1) << 20;

} // namespace

QString QSettingsStore::filePath() {
    // Where QSettings keeps the user-scope INI file of the organisation "Vantrel" on this
    // platform. Named here so that the file is looked at before QSettings opens it, which it does
    // blocking and whole.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Vantrel.ini");
}

std::optional<QString> QSettingsStore::refusal() const {
    try {
        RegularFile::open(filePath(), kMaxSettingsBytes);
    } catch (const FileError& error) {
        return error.message();
    }
    return std::nullopt;
}

void QSettingsStore::failed(const QString& message) {
    if (told_)
        return;
    told_ = true;
    if (listener_)
        listener_(message);
}

QString QSettingsStore::GetSetting(const QString& section, const QString& key,
                                   const QString& defaultText) {
    if (const auto why = refusal()) {
        failed(
            QStringLiteral("The settings cannot be read, so the defaults are used: %1").arg(*why));
        return defaultText;
    }
    QSettings store(filePath(), QSettings::IniFormat);
    const QVariant value = store.value(section + QLatin1Char('/') + key);
    if (!value.isValid())
        return defaultText;
    // A value written by hand as a list ("a, b") comes back as a list: keep its text form.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QStringLiteral(", "));
    return value.toString();
}

void QSettingsStore::SaveSetting(const QString& section, const QString& key, const QString& value) {
    if (const auto why = refusal()) {
        failed(QStringLiteral("The settings cannot be stored, so this choice lasts only until the "
                              "program ends: %1")
                   .arg(*why));
        return;
    }
    QSettings store(filePath(), QSettings::IniFormat);
    store.setValue(section + QLatin1Char('/') + key, value);
    store.sync();
    if (store.status() != QSettings::NoError) {
        failed(QStringLiteral("The settings could not be stored in \"%1\", so this choice lasts "
                              "only until the program ends. Check that the folder can be written "
                              "and the disk is not full.")
                   .arg(filePath()));
        return;
    }
    worked();
}

} // namespace rv
