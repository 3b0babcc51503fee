#include "calendar/ical/ical_calendar.h"

#include "calendar/calendar_log.h"
#include "calendar/ical/ical_event_p.h"
#include "calendar/ical/ical_parse_p.h"
#include "calendar/ical/recurrence_p.h"

#include <algorithm>
#include <map>
#include <set>

namespace rv {

using namespace ical;

namespace {

// A VEVENT with the VCALENDAR its zones are looked up in (none for a bare VEVENT).
struct Component {
    icalcomponent* vevent;
    icalcomponent* vcalendar;
};

// The VEVENTs of the text's calendars, masters apart from overrides (those with RECURRENCE-ID).
void collectEvents(icalcomponent* root, std::vector<Component>& masters,
                   std::vector<Component>& overrides) {
    std::vector<icalcomponent*> calendars;
    switch (icalcomponent_isa(root)) {
    case ICAL_VCALENDAR_COMPONENT:
    case ICAL_VEVENT_COMPONENT:
        calendars.push_back(root);
        break;
    default:
        for (icalcomponent* c = icalcomponent_get_first_component(root, ICAL_ANY_COMPONENT); c;
             c = icalcomponent_get_next_component(root, ICAL_ANY_COMPONENT))
            if (icalcomponent_isa(c) == ICAL_VCALENDAR_COMPONENT)
                calendars.push_back(c);
    }
    for (icalcomponent* vcalendar : calendars) {
        std::vector<icalcomponent*> vevents;
        if (icalcomponent_isa(vcalendar) == ICAL_VEVENT_COMPONENT) {
            vevents.push_back(vcalendar);
            vcalendar = nullptr;
        } else {
            for (icalcomponent* e =
                     icalcomponent_get_first_component(vcalendar, ICAL_VEVENT_COMPONENT);
                 e; e = icalcomponent_get_next_component(vcalendar, ICAL_VEVENT_COMPONENT))
                vevents.push_back(e);
        }
        for (icalcomponent* e : vevents) {
            if (icalcomponent_get_first_property(e, ICAL_RECURRENCEID_PROPERTY))
                overrides.push_back({e, vcalendar});
            else
                masters.push_back({e, vcalendar});
        }
    }
}

} // namespace

struct IcalCalendar::Impl {
    icalcomponent* root = nullptr;
    std::vector<Event> events;
    int skipped = 0;
    // Series by UID, and the UIDs of cancelled series.
    std::map<QString, int> seriesByUid;
    std::set<QString> cancelledSeries;

    ~Impl() {
        if (root)
            icalcomponent_free(root);
    }

    void read(icalcomponent* component);
    void addMaster(const Component& c);
    void addOverride(const Component& c);
    void skip(const Component& c, const char* why);
    void finish();
};

void IcalCalendar::Impl::read(icalcomponent* component) {
    std::vector<Component> masters;
    std::vector<Component> overrides;
    collectEvents(component, masters, overrides);
    for (const Component& c : masters)
        addMaster(c);
    for (const Component& c : overrides)
        addOverride(c);
    finish();
}

void IcalCalendar::Impl::skip(const Component& c, const char* why) {
    ++skipped;
    qCInfo(calendarLog()).noquote() << "event" << uidOf(c.vevent) << "left out:" << why;
}

void IcalCalendar::Impl::addMaster(const Component& c) {
    const QString uid = uidOf(c.vevent);
    if (isCancelled(c.vevent)) {
        cancelledSeries.insert(uid);
        return;
    }
    Event event;
    if (!readEvent(c.vevent, c.vcalendar, event))
        return skip(c, "no start that can be read");
    readRecurrence(c.vevent, c.vcalendar, event);
    event.data.event = int(events.size());
    if (!uid.isEmpty())
        seriesByUid.emplace(uid, event.data.event);
    events.push_back(std::move(event));
}

// An override replaces the occurrence its RECURRENCE-ID names; a cancelled one only removes it.
void IcalCalendar::Impl::addOverride(const Component& c) {
    const QString uid = uidOf(c.vevent);
    const std::optional<EventTime> recurrenceId =
        propertyTime(c.vevent, ICAL_RECURRENCEID_PROPERTY, c.vcalendar);
    if (!recurrenceId)
        return skip(c, "a RECURRENCE-ID that cannot be read");
    const auto series = seriesByUid.find(uid);
    if (series != seriesByUid.end())
        events[series->second].exclusions.push_back(exclusionOf(*recurrenceId));
    else if (cancelledSeries.count(uid))
        return;
    if (isCancelled(c.vevent))
        return;
    Event event;
    if (!icalcomponent_get_first_property(c.vevent, ICAL_DTSTART_PROPERTY) &&
        series != seriesByUid.end()) {
        event = events[series->second];
        event.rules.clear();
        event.extras.clear();
        event.exclusions.clear();
        event.start = *recurrenceId;
    } else if (!readEvent(c.vevent, c.vcalendar, event)) {
        return skip(c, "no start that can be read");
    }
    event.master = series != seriesByUid.end() ? series->second : -1;
    event.data.recurring = event.master >= 0;
    event.data.event = int(events.size());
    events.push_back(std::move(event));
}

void IcalCalendar::Impl::finish() {
    for (Event& event : events) {
        const std::optional<Occurrence> first = occurrenceAt(event, event.start, nullptr);
        if (first)
            event.first = *first;
        event.firstExcluded = excluded(event, event.start, event.first.start);
    }
}

IcalCalendar::IcalCalendar(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
IcalCalendar::~IcalCalendar() = default;

std::shared_ptr<const IcalCalendar> IcalCalendar::parse(const QByteArray& text) {
    // Damaged input must be skipped, never abort the program.
    icalerror_set_errors_are_fatal(0);
    auto impl = std::make_unique<Impl>();
    std::vector<icalcomponent*> parsed = parseComponents(text);
    if (parsed.size() == 1) {
        impl->root = parsed.front();
    } else if (!parsed.empty()) {
        impl->root = icalcomponent_new(ICAL_XROOT_COMPONENT);
        for (icalcomponent* c : parsed)
            icalcomponent_add_component(impl->root, c);
    }
    icalerror_clear_errno();
    if (impl->root)
        impl->read(impl->root);
    return std::shared_ptr<const IcalCalendar>(new IcalCalendar(std::move(impl)));
}

std::vector<Occurrence> IcalCalendar::expand(qint64 fromMinute, qint64 toMinute) const {
    std::vector<Occurrence> out;
    for (const Event& event : impl_->events)
        expandEvent(event, fromMinute, toMinute, out);
    std::stable_sort(out.begin(), out.end(), [](const Occurrence& a, const Occurrence& b) {
        return a.startMinute != b.startMinute ? a.startMinute < b.startMinute : a.event < b.event;
    });
    // A rule and an extra date may name the same occurrence.
    out.erase(std::unique(out.begin(), out.end(),
                          [](const Occurrence& a, const Occurrence& b) {
                              return a.event == b.event && a.start == b.start;
                          }),
              out.end());
    return out;
}

std::vector<Occurrence> IcalCalendar::events() const {
    std::vector<Occurrence> out;
    for (const Event& event : impl_->events)
        if (event.master < 0 && event.first.start.isValid())
            out.push_back(event.first);
    std::stable_sort(out.begin(), out.end(), [](const Occurrence& a, const Occurrence& b) {
        return a.startMinute < b.startMinute;
    });
    return out;
}

int IcalCalendar::eventCount() const {
    return int(impl_->events.size());
}
int IcalCalendar::skippedCount() const {
    return impl_->skipped;
}

} // namespace rv