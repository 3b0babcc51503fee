#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace rv::caldav {

// A principal as an address-book entry.
struct PrincipalEntry {
    QString path;
    QString displayName;
    QStringList addresses; // e-mail addresses
    QString userName;      // the last segment of its path

    QString name() const { return displayName.isEmpty() ? userName : displayName; }
};

// The one entry a typed name means: the only entry equal to it (case ignored) as display name,
// e-mail address or user name, else the only entry whose display name or e-mail address starts
// with it. Nothing when none or several do. Entries listed twice (same path) count once.
std::optional<PrincipalEntry> matchPrincipal(const std::vector<PrincipalEntry>& entries,
                                             const QString& name);

} // namespace rv::caldav
