#include "calendar/caldav/principal_match.h"

#include "calendar/caldav/dav_xml.h"
#include "calendar/ical/name_match.h"

namespace rv::caldav {

std::optional<PrincipalEntry> matchPrincipal(const std::vector<PrincipalEntry>& entries,
                                             const QString& name) {
    std::vector<NameKeys> keys;
    keys.reserve(entries.size());
    for (const PrincipalEntry& e : entries)
        keys.push_back(NameKeys{e.displayName, e.addresses, e.userName});
    const int found = matchName(
        keys, name, [&](int a, int b) { return samePath(entries[a].path, entries[b].path); });
    if (found < 0)
        return std::nullopt;
    return entries[found];
}

} // namespace rv::caldav
