#include "calendar/ical/revisions_p.h"

#include "calendar/ical/ical_time_p.h"

#include <QHash>
#include <algorithm>
#include <limits>
#include <tuple>

namespace rv::ical {

namespace {

struct Revision {
    int sequence = 0;
    qint64 stamp = std::numeric_limits<qint64>::min();
    int position = 0;

    bool operator>(const Revision& other) const {
        return std::tie(sequence, stamp, position) >
               std::tie(other.sequence, other.stamp, other.position);
    }
};

// DTSTAMP and LAST-MODIFIED both say when a component was last changed (without METHOD, DTSTAMP
// is the store's revision time) and clients keep them apart or in step as they please: the later
// of the two stands for the component.
qint64 changedAt(icalcomponent* vevent) {
    qint64 latest = std::numeric_limits<qint64>::min();
    for (icalproperty_kind kind : {ICAL_DTSTAMP_PROPERTY, ICAL_LASTMODIFIED_PROPERTY}) {
        icalproperty* p = icalcomponent_get_first_property(vevent, kind);
        if (!p)
            continue;
        const icaltimetype t = kind == ICAL_DTSTAMP_PROPERTY ? icalproperty_get_dtstamp(p)
                                                             : icalproperty_get_lastmodified(p);
        if (plausible(t))
            latest = std::max(latest, rawWallSeconds(t));
    }
    return latest;
}

Revision revisionOf(const Component& c) {
    icalproperty* sequence = icalcomponent_get_first_property(c.vevent, ICAL_SEQUENCE_PROPERTY);
    return {sequence ? icalproperty_get_sequence(sequence) : 0, changedAt(c.vevent), c.position};
}

} // namespace

std::vector<std::vector<Component>>
newestFirstByKey(const std::vector<Component>& components,
                 const std::function<QString(const Component&)>& keyOf) {
    std::vector<std::vector<Component>> groups;
    QHash<QString, size_t> groupOfKey;
    for (const Component& c : components) {
        const QString key = keyOf(c);
        size_t group = groups.size();
        if (!key.isEmpty()) {
            const auto found = groupOfKey.constFind(key);
            if (found != groupOfKey.constEnd())
                group = *found;
            else
                groupOfKey.insert(key, group);
        }
        if (group == groups.size())
            groups.emplace_back();
        groups[group].push_back(c);
    }
    // Most events come once: only a group of several has its revisions read and compared.
    for (std::vector<Component>& group : groups) {
        if (group.size() < 2)
            continue;
        std::vector<std::pair<Revision, Component>> revisions;
        for (const Component& c : group)
            revisions.emplace_back(revisionOf(c), c);
        std::sort(revisions.begin(), revisions.end(),
                  [](const auto& a, const auto& b) { return a.first > b.first; });
        for (size_t i = 0; i < group.size(); ++i)
            group[i] = revisions[i].second;
    }
    std::sort(groups.begin(), groups.end(),
              [](const auto& a, const auto& b) { return a.front().position < b.front().position; });
    return groups;
}

} // namespace rv::ical
