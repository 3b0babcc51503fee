#include "calendar/ical/ical_calendar.h"

#include "calendar/calendar_log.h"
#include "calendar/ical/ical_event_p.h"
#include "calendar/ical/ical_parse_p.h"
#include "calendar/ical/recurrence_p.h"
#include "calendar/ical/revisions_p.h"

#include <algorithm>
#include <map>
#include <set>

namespace rv {

using namespace ical;

namespace {

// The VEVENTs of the text's calendars in text order, masters apart from overrides (those with
// RECURRENCE-ID).
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
    int position = 0;
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
            const Component c{e, vcalendar, position++};
            if (icalcomponent_get_first_property(e, ICAL_RECURRENCEID_PROPERTY))
                overrides.push_back(c);
            else
                masters.push_back(c);
        }
    }
}

// Revisions of one series share its UID.
QString seriesKey(const Component& c) {
    return uidOf(c.vevent);
}

// Versions of one moved occurrence share the UID and the instant (or day) their RECURRENCE-ID
// names, however it is written.
QString occurrenceKey(const Component& c) {
    const QString uid = uidOf(c.vevent);
    const std::optional<EventTime> recurrenceId =
        propertyTime(c.vevent, ICAL_RECURRENCEID_PROPERTY, c.vcalendar);
    if (uid.isEmpty() || !recurrenceId)
        return {};
    const Exclusion at = exclusionOf(*recurrenceId);
    return uid + QChar(0) + (at.isDate ? at.date.toString(Qt::ISODate) : QString::number(at.secs));
}

constexpr size_t kMaxFutureChanges = 1000;

// THISANDFUTURE overrides in the order of their RECURRENCE-IDs (a day as its first second, so
// that an odd mix of days and times still sorts).
bool beforeInSeries(const FutureChange& a, const FutureChange& b) {
    const auto at = [](const Exclusion& e) {
        return e.isDate ? QDate(1970, 1, 1).daysTo(e.date) * kSecondsPerDay : e.secs;
    };
    return at(a.from) < at(b.from);
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
    void addSeries(const std::vector<Component>& revisions);
    void addOverride(const std::vector<Component>& versions);
    bool readOverride(const Component& c, const EventTime& recurrenceId, Event* master,
                      Event& event);
    void skip(const Component& c, const char* why);
    void finish();
};

void IcalCalendar::Impl::read(icalcomponent* component) {
    leaveOutCostlyZones(component);
    std::vector<Component> masters;
    std::vector<Component> overrides;
    collectEvents(component, masters, overrides);
    for (const std::vector<Component>& revisions : newestFirstByKey(masters, seriesKey))
        addSeries(revisions);
    for (const std::vector<Component>& versions : newestFirstByKey(overrides, occurrenceKey))
        addOverride(versions);
    finish();
}

void IcalCalendar::Impl::skip(const Component& c, const char* why) {
    ++skipped;
    qCInfo(calendarLog()).noquote() << "event" << uidOf(c.vevent) << "left out:" << why;
}

// The newest revision stands for the series; where it cannot be read, the newest one that can.
void IcalCalendar::Impl::addSeries(const std::vector<Component>& revisions) {
    const Component& newest = revisions.front();
    const QString uid = uidOf(newest.vevent);
    if (isCancelled(newest.vevent)) {
        if (!uid.isEmpty())
            cancelledSeries.insert(uid);
        return;
    }
    for (const Component& c : revisions) {
        Event event;
        if (!readEvent(c.vevent, c.vcalendar, event))
            continue;
        readRecurrence(c.vevent, c.vcalendar, event);
        event.data.event = int(events.size());
        if (!uid.isEmpty())
            seriesByUid.emplace(uid, event.data.event);
        events.push_back(std::move(event));
        return;
    }
    skip(newest, "no start that can be read");
}

// An override replaces the occurrence its RECURRENCE-ID names; a cancelled one only removes it.
// With RANGE=THISANDFUTURE it also changes every later occurrence of its series. An override of
// an occurrence its series excludes is dropped, and one whose series is missing stands for itself.
void IcalCalendar::Impl::addOverride(const std::vector<Component>& versions) {
    const Component& newest = versions.front();
    const QString uid = uidOf(newest.vevent);
    const std::optional<EventTime> recurrenceId =
        propertyTime(newest.vevent, ICAL_RECURRENCEID_PROPERTY, newest.vcalendar);
    if (!recurrenceId)
        return skip(newest, "a RECURRENCE-ID that cannot be read");
    const auto series = uid.isEmpty() ? seriesByUid.end() : seriesByUid.find(uid);
    Event* master = series != seriesByUid.end() ? &events[series->second] : nullptr;
    if (master) {
        if (excluded(*master, *recurrenceId, toLocal(*recurrenceId)))
            return;
        master->exclusions.add(exclusionOf(*recurrenceId));
    } else if (cancelledSeries.count(uid)) {
        return;
    }
    const bool thisAndFuture = master && isThisAndFuture(newest.vevent);
    if (isCancelled(newest.vevent)) {
        if (thisAndFuture) {
            FutureChange change;
            change.from = exclusionOf(*recurrenceId);
            change.cancelled = true;
            master->futureChanges.push_back(change);
        }
        return;
    }
    Event event;
    const auto readable = std::find_if(versions.begin(), versions.end(), [&](const Component& c) {
        return readOverride(c, *recurrenceId, master, event);
    });
    if (readable == versions.end())
        return skip(newest, "no start that can be read");
    event.master = master ? master->data.event : -1;
    event.data.event = int(events.size());
    if (thisAndFuture) {
        // The rest of the series moves on its own wall clock by as much as this occurrence moved
        // on the override's; an all-day series only by whole days of an all-day override.
        const bool allDay = master->start.kind == TimeKind::Date;
        if (allDay == (event.start.kind == TimeKind::Date) &&
            allDay == (recurrenceId->kind == TimeKind::Date)) {
            FutureChange change;
            change.from = exclusionOf(*recurrenceId);
            if (allDay)
                change.shiftDays = int(dateOf(recurrenceId->t).daysTo(dateOf(event.start.t)));
            else if (recurrenceId->kind == event.start.kind &&
                     recurrenceId->zone == event.start.zone)
                change.shiftSecs = rawWallSeconds(event.start.t) - rawWallSeconds(recurrenceId->t);
            else
                change.shiftSecs = toLocal(*recurrenceId).secsTo(toLocal(event.start));
            change.durationDays = event.durationDays;
            change.durationSecs = event.durationSecs;
            change.data = event.data;
            change.data.event = master->data.event;
            change.data.recurring = true;
            master->futureChanges.push_back(change);
        }
    }
    events.push_back(std::move(event));
}

// One version of an override: its own start, length and contents, or without a DTSTART those of
// its series at the RECURRENCE-ID. Without a series it is an event of its own, repeats included.
bool IcalCalendar::Impl::readOverride(const Component& c, const EventTime& recurrenceId,
                                      Event* master, Event& event) {
    event = Event();
    if (master && !icalcomponent_get_first_property(c.vevent, ICAL_DTSTART_PROPERTY)) {
        event.data = master->data;
        event.durationDays = master->durationDays;
        event.durationSecs = master->durationSecs;
        event.start = recurrenceId;
    } else if (!readEvent(c.vevent, c.vcalendar, event)) {
        return false;
    }
    if (master)
        event.data.recurring = true;
    else
        readRecurrence(c.vevent, c.vcalendar, event);
    return true;
}

void IcalCalendar::Impl::finish() {
    for (Event& event : events) {
        std::stable_sort(event.futureChanges.begin(), event.futureChanges.end(), beforeInSeries);
        // Each occurrence looks for the change in force: thousands of them for one series are
        // no calendar's, and only the latest count.
        if (event.futureChanges.size() > kMaxFutureChanges) {
            qCInfo(calendarLog()).noquote()
                << "of" << event.futureChanges.size()
                << "changes to all later occurrences of one series, only the latest"
                << kMaxFutureChanges << "read";
            event.futureChanges.erase(event.futureChanges.begin(),
                                      event.futureChanges.end() - kMaxFutureChanges);
        }
        prepareEvent(event);
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
    expandEvents(impl_->events, fromMinute, toMinute, out);
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