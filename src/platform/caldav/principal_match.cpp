#include "platform/caldav/principal_match.h"

#include "platform/caldav/dav_xml.h"

namespace rv::caldav {

namespace {

std::optional<PrincipalEntry> onlyOne(const std::vector<const PrincipalEntry*>& found) {
    if (found.empty())
        return std::nullopt;
    for (const PrincipalEntry* e : found)
        if (!samePath(e->path, found.front()->path))
            return std::nullopt;
    return *found.front();
}

} // namespace

std::optional<PrincipalEntry> matchPrincipal(const std::vector<PrincipalEntry>& entries,
                                             const QString& name) {
    const QString text = name.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    auto equal = [&](const QString& s) {
        return !s.isEmpty() && s.compare(text, Qt::CaseInsensitive) == 0;
    };
    auto starts = [&](const QString& s) { return s.startsWith(text, Qt::CaseInsensitive); };

    std::vector<const PrincipalEntry*> exact;
    std::vector<const PrincipalEntry*> prefix;
    for (const PrincipalEntry& e : entries) {
        if (equal(e.displayName) || equal(e.userName) ||
            std::any_of(e.addresses.begin(), e.addresses.end(), equal))
            exact.push_back(&e);
        else if (starts(e.displayName) ||
                 std::any_of(e.addresses.begin(), e.addresses.end(), starts))
            prefix.push_back(&e);
    }
    if (!exact.empty())
        return onlyOne(exact);
    return onlyOne(prefix);
}

} // namespace rv::caldav
