#include "calendar/service_profile.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace rv {

namespace {

QString loginName() {
    QString name = qEnvironmentVariable("USER");
    if (name.isEmpty())
        name = qEnvironmentVariable("LOGNAME");
    return name;
}

ServiceProfile defaultProfile() {
    ServiceProfile p;
    p.backend = QStringLiteral("local");
    p.folder = QDir::homePath() + QStringLiteral("/.local/share/Vantrel/store");
    p.user = loginName();
    return p;
}

} // namespace

ServiceProfile readServiceProfile(const QString& iniPath) {
    ServiceProfile p = defaultProfile();
    p.path = iniPath;
    QSettings ini(iniPath, QSettings::IniFormat);
    p.backend = ini.value(QStringLiteral("Service/Backend"), QStringLiteral("local"))
                    .toString()
                    .trimmed()
                    .toLower();
    const QString folder = ini.value(QStringLiteral("Local/Folder")).toString().trimmed();
    if (!folder.isEmpty()) {
        const QDir base = QFileInfo(iniPath).absoluteDir();
        p.folder = QDir::cleanPath(base.absoluteFilePath(folder));
    }
    const QString section = p.backend == QStringLiteral("caldav") ? QStringLiteral("CalDAV/")
                                                                  : QStringLiteral("Local/");
    const QString user = ini.value(section + QStringLiteral("User")).toString().trimmed();
    if (!user.isEmpty())
        p.user = user;
    p.url = ini.value(QStringLiteral("CalDAV/Url")).toString().trimmed();
    p.calendar = ini.value(QStringLiteral("CalDAV/Calendar")).toString().trimmed();
    bool ok = false;
    const int timeout = ini.value(QStringLiteral("CalDAV/TimeoutSeconds")).toInt(&ok);
    if (ok && timeout > 0)
        p.timeoutSeconds = timeout;
    const QString plain =
        ini.value(QStringLiteral("CalDAV/AllowPlainHttp")).toString().trimmed().toLower();
    p.allowPlainHttp = plain == QLatin1String("true") || plain == QLatin1String("yes") ||
                       plain == QLatin1String("1");
    return p;
}

ServiceProfile loadServiceProfile() {
    const QString name = QStringLiteral("calendar-service.ini");
    const QString here = QDir::current().absoluteFilePath(name);
    if (QFileInfo::exists(here))
        return readServiceProfile(here);
    const QString config = QDir::homePath() + QStringLiteral("/.config/Vantrel/") + name;
    if (QFileInfo::exists(config))
        return readServiceProfile(config);
    return defaultProfile();
}

} // namespace rv
