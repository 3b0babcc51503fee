#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace rv::caldav {

// Copies of calendars read from a CalDAV server, kept between runs with the version the server
// named for them (getctag, sync-token or ETag), so that after a restart a calendar the server
// still names by that version is not read again: one cache file per server, user and calendar
// in the user's cache folder (cache_file.h). Safe to use from several threads at once.
class CopyCache {
public:
    struct Copy {
        QString version;
        QByteArray text;
    };

    // Copies in folder; an empty folder keeps nothing.
    explicit CopyCache(QString folder);
    // $XDG_CACHE_HOME/Vantrel/caldav.
    static QString defaultFolder();

    // The copy kept of the calendar at `path` on the server at `server` for `user`, whatever its
    // version; nothing when none is kept (or the file is not one).
    std::optional<Copy> load(const QString& server, const QString& user, const QString& path) const;
    // Keeps a copy; one without a version is not kept (it could never be checked).
    void save(const QString& server, const QString& user, const QString& path,
              const Copy& copy) const;

private:
    QString fileOf(const QString& server, const QString& user, const QString& path) const;
    QString folder_;
};

} // namespace rv::caldav
