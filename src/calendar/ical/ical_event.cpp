#include "calendar/ical/ical_event_p.h"

#include <QStringList>
#include <algorithm>

namespace rv::ical {

Exclusion exclusionOf(const EventTime& et) {
    Exclusion e;
    e.isDate = et.kind == TimeKind::Date;
    e.date = dateOf(et.t);
    if (!e.isDate)
        e.secs = toLocal(et).toSecsSinceEpoch();
    return e;
}

void Exclusions::add(const Exclusion& e) {
    const qint64 day = dayNumber(e.date.year(), e.date.month(), e.date.day());
    days_.insert(day);
    if (e.isDate)
        wholeDays_.insert(day);
    else
        instants_.insert(e.secs);
}

bool Exclusions::contains(bool allDay, qint64 day, qint64 secs) const {
    if (allDay)
        return days_.count(day) > 0;
    return wholeDays_.count(day) > 0 || instants_.count(secs) > 0;
}

namespace {

bool truthy(const char* value) {
    const QString v = QString::fromUtf8(value ? value : "").trimmed().toUpper();
    return v != QLatin1String("FALSE") && v != QLatin1String("0") && v != QLatin1String("NO");
}

} // namespace

int sensitivityOf(icalcomponent* event) {
    if (icalproperty* p = icalcomponent_get_first_property(event, ICAL_CLASS_PROPERTY)) {
        switch (icalproperty_get_class(p)) {
        case ICAL_CLASS_PUBLIC:
        case ICAL_CLASS_NONE:
            break;
        case ICAL_CLASS_PRIVATE:
            return 2;
        case ICAL_CLASS_CONFIDENTIAL:
            return 3;
        default:
            // Classes the reader does not know are to be treated as private.
            return 2;
        }
    }
    for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_X_PROPERTY); p;
         p = icalcomponent_get_next_property(event, ICAL_X_PROPERTY)) {
        const char* name = icalproperty_get_x_name(p);
        if (name && qstricmp(name, "X-ROTAVIEW-PERSONAL") == 0 && truthy(icalproperty_get_x(p)))
            return 1;
    }
    for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_CATEGORIES_PROPERTY); p;
         p = icalcomponent_get_next_property(event, ICAL_CATEGORIES_PROPERTY)) {
        const QStringList names =
            QString::fromUtf8(icalproperty_get_categories(p)).split(QLatin1Char(','));
        for (const QString& name : names)
            if (name.trimmed().compare(QLatin1String("Personal"), Qt::CaseInsensitive) == 0)
                return 1;
    }
    return 0;
}

QString textOf(const char* text) {
    return QString::fromUtf8(text ? text : "");
}

bool isCancelled(icalcomponent* event) {
    return icalcomponent_get_first_property(event, ICAL_STATUS_PROPERTY) &&
           icalcomponent_get_status(event) == ICAL_STATUS_CANCELLED;
}

QString uidOf(icalcomponent* event) {
    icalproperty* p = icalcomponent_get_first_property(event, ICAL_UID_PROPERTY);
    return p ? textOf(icalproperty_get_uid(p)) : QString();
}

bool isThisAndFuture(icalcomponent* event) {
    icalproperty* p = icalcomponent_get_first_property(event, ICAL_RECURRENCEID_PROPERTY);
    icalparameter* range = p ? icalproperty_get_first_parameter(p, ICAL_RANGE_PARAMETER) : nullptr;
    return range && icalparameter_get_range(range) == ICAL_RANGE_THISANDFUTURE;
}

namespace {

// DTEND or DURATION; an all-day event lasts whole days, at least one.
void setDuration(icalcomponent* vevent, icalcomponent* vcalendar, Event& event) {
    const std::optional<EventTime> end = propertyTime(vevent, ICAL_DTEND_PROPERTY, vcalendar);
    icalproperty* durationProperty =
        icalcomponent_get_first_property(vevent, ICAL_DURATION_PROPERTY);
    if (event.start.kind == TimeKind::Date) {
        // An all-day event covers whole local days: DTEND is the first day after it.
        int days = 1;
        if (end) {
            days = int(dateOf(event.start.t).daysTo(dateOf(end->t)));
            if (!end->t.is_date && (end->t.hour || end->t.minute || end->t.second))
                ++days;
        } else if (durationProperty) {
            const icaldurationtype d = icalproperty_get_duration(durationProperty);
            days = d.is_neg ? 0 : int(d.weeks * 7 + d.days) + (d.hours || d.minutes || d.seconds);
        }
        event.durationDays = std::max(days, 1);
        return;
    }
    if (end) {
        event.durationSecs = toLocal(event.start).secsTo(toLocal(*end));
    } else if (durationProperty) {
        event.durationSecs = icaldurationtype_as_int(icalproperty_get_duration(durationProperty));
    }
}

} // namespace

bool readEvent(icalcomponent* vevent, icalcomponent* vcalendar, Event& event) {
    const std::optional<EventTime> start = propertyTime(vevent, ICAL_DTSTART_PROPERTY, vcalendar);
    if (!start)
        return false;
    event.start = *start;
    event.data.subject = textOf(icalcomponent_get_summary(vevent));
    event.data.location = textOf(icalcomponent_get_location(vevent));
    event.data.sensitivity = sensitivityOf(vevent);
    setDuration(vevent, vcalendar, event);
    return true;
}

void readRecurrence(icalcomponent* vevent, icalcomponent* vcalendar, Event& event) {
    for (icalproperty* r = icalcomponent_get_first_property(vevent, ICAL_RRULE_PROPERTY); r;
         r = icalcomponent_get_next_property(vevent, ICAL_RRULE_PROPERTY)) {
        const icalrecurrencetype rule = icalproperty_get_rrule(r);
        if (rule.freq != ICAL_NO_RECURRENCE)
            event.rules.push_back(rule);
    }
    for (icalproperty* r = icalcomponent_get_first_property(vevent, ICAL_RDATE_PROPERTY); r;
         r = icalcomponent_get_next_property(vevent, ICAL_RDATE_PROPERTY)) {
        const icaldatetimeperiodtype value = icalproperty_get_rdate(r);
        ExtraStart extra;
        if (!icalperiodtype_is_null_period(value.period)) {
            const std::optional<EventTime> s = readTime(r, value.period.start, vcalendar);
            if (!s)
                continue;
            extra.start = *s;
            if (!icaltime_is_null_time(value.period.end))
                extra.end = readTime(r, value.period.end, vcalendar);
            else
                extra.durationSecs = icaldurationtype_as_int(value.period.duration);
        } else {
            const std::optional<EventTime> s = readTime(r, value.time, vcalendar);
            if (!s)
                continue;
            extra.start = *s;
        }
        event.extras.push_back(extra);
    }
    for (icalproperty* x = icalcomponent_get_first_property(vevent, ICAL_EXDATE_PROPERTY); x;
         x = icalcomponent_get_next_property(vevent, ICAL_EXDATE_PROPERTY)) {
        if (const std::optional<EventTime> t = readTime(x, icalproperty_get_exdate(x), vcalendar))
            event.exclusions.add(exclusionOf(*t));
    }
    event.data.recurring = !event.rules.empty() || !event.extras.empty();
}

} // namespace rv::ical
