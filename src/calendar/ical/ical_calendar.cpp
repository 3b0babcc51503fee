#include "calendar/ical/ical_calendar.h"

#include <libical/ical.h>

#include <QDate>
#include <QStringList>
#include <algorithm>
#include <map>
#include <optional>

namespace rv {

namespace {

// A runaway rule (a series whose start year was mistyped as 0024, a rule libical cannot satisfy)
// must not stall the board: no series yields more than this many steps per expansion. A daily
// series would need to have begun over 130 years before the month shown to reach it.
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
// Fuzzing runs the same stepping and the same cut, sooner: its time goes to new inputs rather
// than to walking each mutated runaway series 50,000 steps through libical.
constexpr int kMaxRecurrenceSteps = 1000;
#else
constexpr int kMaxRecurrenceSteps = 50000;
#endif
// libical works a zone's changes out up to 2582, the last year its recurrence code reaches, and
// works them all out again for every later time it converts (some 10 ms a time): a zoned time
// after that year is read as local wall time, as a floating one is.
constexpr int kLastZonedYear = 2582;
// Occurrences are first compared by their own wall clock, before conversion; two zones are at
// most a little over a day apart.
constexpr qint64 kZoneMarginSeconds = 2 * 24 * 3600;

enum class TimeKind { Date, Floating, Utc, Zoned };

struct EventTime {
    icaltimetype t = icaltime_null_time();
    icaltimezone* zone = nullptr;
    TimeKind kind = TimeKind::Floating;
};

struct Exclusion {
    bool isDate = false;
    QDate date;      // the excluded day as written
    qint64 secs = 0; // the excluded instant, for date-times
};

struct ExtraStart {
    EventTime start;
    std::optional<EventTime> end; // RDATE given as a period
    std::optional<qint64> durationSecs;
};

struct Event {
    Occurrence data; // subject, location, sensitivity, event index, recurring
    EventTime start;
    int durationDays = 1;    // all-day events
    qint64 durationSecs = 0; // timed events; negative when the end lies before the start
    std::vector<icalrecurrencetype> rules;
    std::vector<ExtraStart> extras;
    std::vector<Exclusion> exclusions;
    int master = -1; // for an override: the series it moves an occurrence of
    Occurrence first;
    bool firstExcluded = false;
};

qint64 daysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const qint64 yoe = y - era * 400;
    const qint64 doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const qint64 doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// The time's own wall clock as if it were UTC: cheap, and within a day of the real instant.
qint64 rawWallSeconds(const icaltimetype& t) {
    qint64 s = daysFromCivil(t.year, t.month, t.day) * 86400;
    if (!t.is_date)
        s += t.hour * 3600 + t.minute * 60 + t.second;
    return s;
}

bool emptyList(const short* list) {
    return list[0] == ICAL_RECURRENCE_ARRAY_MAX;
}

// Whether the rule has no BY parts, BYDAY aside.
bool noByPartsButDay(const icalrecurrencetype& rule) {
    return emptyList(rule.by_second) && emptyList(rule.by_minute) && emptyList(rule.by_hour) &&
           emptyList(rule.by_month_day) && emptyList(rule.by_year_day) &&
           emptyList(rule.by_week_no) && emptyList(rule.by_month) && emptyList(rule.by_set_pos);
}

// The length in wall seconds of each step of an hourly, minutely or secondly rule that has no
// COUNT and no BY parts, or 0 for every other rule.
qint64 plainSubDailyStepSeconds(const icalrecurrencetype& rule) {
    if (rule.count != 0 || rule.interval <= 0 || !noByPartsButDay(rule) || !emptyList(rule.by_day))
        return 0;
    switch (rule.freq) {
    case ICAL_HOURLY_RECURRENCE:
        return qint64(rule.interval) * 3600;
    case ICAL_MINUTELY_RECURRENCE:
        return qint64(rule.interval) * 60;
    case ICAL_SECONDLY_RECURRENCE:
        return rule.interval;
    default:
        return 0;
    }
}

QDate dateOf(const icaltimetype& t) {
    return QDate(t.year, t.month, t.day);
}

QDateTime toLocal(const icaltimetype& t, TimeKind kind, icaltimezone* zone) {
    switch (kind) {
    case TimeKind::Date:
        return QDateTime(dateOf(t), QTime(0, 0));
    case TimeKind::Utc:
        return QDateTime::fromSecsSinceEpoch(rawWallSeconds(t));
    case TimeKind::Zoned:
        if (t.year <= kLastZonedYear)
            return QDateTime::fromSecsSinceEpoch(icaltime_as_timet_with_zone(t, zone));
        [[fallthrough]];
    case TimeKind::Floating:
        return QDateTime(dateOf(t), QTime(t.hour, t.minute, t.second));
    }
    return {};
}

QDateTime toLocal(const EventTime& et) {
    return toLocal(et.t, et.kind, et.zone);
}

icaltimezone* zoneNamed(const char* tzid, icalcomponent* vcalendar) {
    if (!tzid || !*tzid)
        return nullptr;
    if (vcalendar && icalcomponent_isa(vcalendar) == ICAL_VCALENDAR_COMPONENT) {
        if (icaltimezone* zone = icalcomponent_get_timezone(vcalendar, tzid))
            return zone;
    }
    if (icaltimezone* zone = icaltimezone_get_builtin_timezone(tzid))
        return zone;
    if (icaltimezone* zone = icaltimezone_get_builtin_timezone_from_tzid(tzid))
        return zone;
    // Prefixed identifiers such as "/mozilla.org/20050126_1/Europe/Berlin": try the last two
    // and three path elements as a zone name.
    const QStringList parts = QString::fromUtf8(tzid).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (int n = 3; n >= 2; --n) {
        if (parts.size() > n) {
            const QByteArray name = parts.mid(parts.size() - n).join(QLatin1Char('/')).toUtf8();
            if (icaltimezone* zone = icaltimezone_get_builtin_timezone(name.constData()))
                return zone;
        }
    }
    return nullptr;
}

bool plausible(const icaltimetype& t) {
    if (icaltime_is_null_time(t) || t.year < 1 || t.year > 9999)
        return false;
    if (!QDate(t.year, t.month, t.day).isValid())
        return false;
    return t.is_date || (t.hour >= 0 && t.hour < 24 && t.minute >= 0 && t.minute < 60 &&
                         t.second >= 0 && t.second <= 60);
}

// A date or date-time value of a property, with the zone its TZID names. A zone that can be
// found neither in the calendar nor on the system leaves the time floating (local wall time).
std::optional<EventTime> readTime(icalproperty* property, icaltimetype t,
                                  icalcomponent* vcalendar) {
    if (!plausible(t))
        return std::nullopt;
    EventTime et;
    et.t = t;
    if (t.is_date) {
        et.kind = TimeKind::Date;
        return et;
    }
    icalparameter* tzid =
        property ? icalproperty_get_first_parameter(property, ICAL_TZID_PARAMETER) : nullptr;
    if (tzid) {
        et.zone = zoneNamed(icalparameter_get_tzid(tzid), vcalendar);
        if (et.zone == icaltimezone_get_utc_timezone())
            et.kind = TimeKind::Utc;
        else
            et.kind = et.zone ? TimeKind::Zoned : TimeKind::Floating;
    } else {
        et.kind = icaltime_is_utc(t) ? TimeKind::Utc : TimeKind::Floating;
    }
    et.t.zone = nullptr;
    return et;
}

std::optional<EventTime> propertyTime(icalcomponent* event, icalproperty_kind kind,
                                      icalcomponent* vcalendar) {
    icalproperty* p = icalcomponent_get_first_property(event, kind);
    if (!p)
        return std::nullopt;
    icaltimetype t = icaltime_null_time();
    switch (kind) {
    case ICAL_DTSTART_PROPERTY:
        t = icalproperty_get_dtstart(p);
        break;
    case ICAL_DTEND_PROPERTY:
        t = icalproperty_get_dtend(p);
        break;
    case ICAL_RECURRENCEID_PROPERTY:
        t = icalproperty_get_recurrenceid(p);
        break;
    default:
        return std::nullopt;
    }
    return readTime(p, t, vcalendar);
}

Exclusion exclusionOf(const EventTime& et) {
    Exclusion e;
    e.isDate = et.kind == TimeKind::Date;
    e.date = dateOf(et.t);
    if (!e.isDate)
        e.secs = toLocal(et).toSecsSinceEpoch();
    return e;
}

bool truthy(const char* value) {
    const QString v = QString::fromUtf8(value ? value : "").trimmed().toUpper();
    return v != QLatin1String("FALSE") && v != QLatin1String("0") && v != QLatin1String("NO");
}

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

struct TextReader {
    const char* pos;
    const char* end;
};

char* nextChunk(char* out, size_t size, void* data) {
    auto* reader = static_cast<TextReader*>(data);
    if (reader->pos >= reader->end || size < 2)
        return nullptr;
    size_t n = 0;
    while (reader->pos < reader->end && n + 1 < size) {
        const char c = *reader->pos++;
        out[n++] = c == '\0' ? ' ' : c;
        if (c == '\n')
            break;
    }
    out[n] = '\0';
    return out;
}

// Every top-level component of the text. Unlike icalparser_parse_string, a file cut short (a
// component without its END line) still gives what was read up to the cut.
std::vector<icalcomponent*> parseComponents(const QByteArray& text) {
    std::vector<icalcomponent*> out;
    TextReader reader{text.constData(), text.constData() + text.size()};
    icalparser* parser = icalparser_new();
    icalparser_set_gen_data(parser, &reader);
    char* line = nullptr;
    do {
        line = icalparser_get_line(parser, nextChunk);
        if (icalcomponent* c = icalparser_add_line(parser, line))
            out.push_back(c);
        if (line)
            icalmemory_free_buffer(line);
    } while (line);
    // The parser keeps (and frees) what it closed itself: take a copy.
    if (icalcomponent* unfinished = icalparser_clean(parser))
        if (!icalcomponent_get_parent(unfinished))
            out.push_back(icalcomponent_new_clone(unfinished));
    icalparser_free(parser);
    return out;
}

// The day step of a rule that is plain arithmetic: daily or weekly, by interval alone (a weekly
// rule may name the start's own weekday). Such series are stepped straight to a window instead
// of walked through libical's iterator from their start, which costs a few microseconds a step.
std::optional<int> plainStepDays(const icalrecurrencetype& rule, const icaltimetype& start) {
    if (rule.freq != ICAL_DAILY_RECURRENCE && rule.freq != ICAL_WEEKLY_RECURRENCE)
        return std::nullopt;
    if (rule.rscale && *rule.rscale)
        return std::nullopt;
    if (!noByPartsButDay(rule))
        return std::nullopt;
    if (!emptyList(rule.by_day)) {
        if (rule.freq != ICAL_WEEKLY_RECURRENCE || rule.by_day[1] != ICAL_RECURRENCE_ARRAY_MAX ||
            icalrecurrencetype_day_position(rule.by_day[0]) != 0 ||
            int(icalrecurrencetype_day_day_of_week(rule.by_day[0])) != icaltime_day_of_week(start))
            return std::nullopt;
    }
    const int interval = std::max<int>(1, rule.interval);
    return rule.freq == ICAL_DAILY_RECURRENCE ? interval : 7 * interval;
}

} // namespace

struct IcalCalendar::Impl {
    icalcomponent* root = nullptr;
    std::vector<Event> events;
    int skipped = 0;

    ~Impl() {
        if (root)
            icalcomponent_free(root);
    }

    void read(icalcomponent* component);
    bool readEvent(icalcomponent* vevent, icalcomponent* vcalendar, Event& event);
    void setDuration(icalcomponent* vevent, icalcomponent* vcalendar, Event& event);
    void finish();
    bool excluded(const Event& event, const EventTime& start, const QDateTime& local) const;
    std::optional<Occurrence> occurrenceAt(const Event& event, const EventTime& start,
                                           const ExtraStart* extra) const;
    void expandEvent(const Event& event, qint64 from, qint64 to,
                     std::vector<Occurrence>& out) const;
    template <typename Consider>
    void stepPlainRule(const Event& event, const icalrecurrencetype& rule, int stepDays,
                       qint64 firstRaw, qint64 lastRaw, Consider& consider) const;
};

// Occurrence k of a plain rule is the start's wall time k steps of days later; the ones whose
// own wall clock lies in [firstRaw, lastRaw] are handed to `consider`, up to COUNT or UNTIL.
template <typename Consider>
void IcalCalendar::Impl::stepPlainRule(const Event& event, const icalrecurrencetype& rule,
                                       int stepDays, qint64 firstRaw, qint64 lastRaw,
                                       Consider& consider) const {
    const qint64 startRaw = rawWallSeconds(event.start.t);
    const qint64 stepSecs = qint64(stepDays) * 86400;
    qint64 k = firstRaw > startRaw ? (firstRaw - startRaw) / stepSecs : 0;
    const bool hasUntil = !icaltime_is_null_time(rule.until);
    const bool untilUtc = hasUntil && !rule.until.is_date && icaltime_is_utc(rule.until);
    const QDate startDay = dateOf(event.start.t);
    for (int steps = 0; steps < kMaxRecurrenceSteps; ++steps, ++k) {
        if (rule.count > 0 && k >= rule.count)
            break;
        const qint64 raw = startRaw + k * stepSecs;
        if (raw > lastRaw)
            break;
        EventTime at = event.start;
        const QDate day = startDay.addDays(k * stepDays);
        at.t.year = day.year();
        at.t.month = day.month();
        at.t.day = day.day();
        if (hasUntil) {
            const bool after =
                rule.until.is_date && event.start.t.is_date ? day > dateOf(rule.until)
                : untilUtc ? toLocal(at).toSecsSinceEpoch() > rawWallSeconds(rule.until)
                           : raw > rawWallSeconds(rule.until);
            if (after)
                break;
        }
        consider(at, nullptr);
    }
}

bool IcalCalendar::Impl::readEvent(icalcomponent* vevent, icalcomponent* vcalendar, Event& event) {
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

void IcalCalendar::Impl::setDuration(icalcomponent* vevent, icalcomponent* vcalendar,
                                     Event& event) {
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

void IcalCalendar::Impl::read(icalcomponent* component) {
    std::vector<icalcomponent*> calendars;
    switch (icalcomponent_isa(component)) {
    case ICAL_VCALENDAR_COMPONENT:
    case ICAL_VEVENT_COMPONENT:
        calendars.push_back(component);
        break;
    default:
        for (icalcomponent* c = icalcomponent_get_first_component(component, ICAL_ANY_COMPONENT); c;
             c = icalcomponent_get_next_component(component, ICAL_ANY_COMPONENT))
            if (icalcomponent_isa(c) == ICAL_VCALENDAR_COMPONENT)
                calendars.push_back(c);
    }

    struct Pending {
        icalcomponent* vevent;
        icalcomponent* vcalendar;
    };
    std::vector<Pending> masters;
    std::vector<Pending> overrides;
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

    std::map<QString, int> seriesByUid;
    std::map<QString, bool> cancelledSeries;
    for (const Pending& p : masters) {
        const QString uid = uidOf(p.vevent);
        if (isCancelled(p.vevent)) {
            cancelledSeries.emplace(uid, true);
            continue;
        }
        Event event;
        if (!readEvent(p.vevent, p.vcalendar, event)) {
            ++skipped;
            continue;
        }
        for (icalproperty* r = icalcomponent_get_first_property(p.vevent, ICAL_RRULE_PROPERTY); r;
             r = icalcomponent_get_next_property(p.vevent, ICAL_RRULE_PROPERTY)) {
            const icalrecurrencetype rule = icalproperty_get_rrule(r);
            if (rule.freq != ICAL_NO_RECURRENCE)
                event.rules.push_back(rule);
        }
        for (icalproperty* r = icalcomponent_get_first_property(p.vevent, ICAL_RDATE_PROPERTY); r;
             r = icalcomponent_get_next_property(p.vevent, ICAL_RDATE_PROPERTY)) {
            const icaldatetimeperiodtype value = icalproperty_get_rdate(r);
            ExtraStart extra;
            if (!icalperiodtype_is_null_period(value.period)) {
                const std::optional<EventTime> s = readTime(r, value.period.start, p.vcalendar);
                if (!s)
                    continue;
                extra.start = *s;
                if (!icaltime_is_null_time(value.period.end))
                    extra.end = readTime(r, value.period.end, p.vcalendar);
                else
                    extra.durationSecs = icaldurationtype_as_int(value.period.duration);
            } else {
                const std::optional<EventTime> s = readTime(r, value.time, p.vcalendar);
                if (!s)
                    continue;
                extra.start = *s;
            }
            event.extras.push_back(extra);
        }
        for (icalproperty* x = icalcomponent_get_first_property(p.vevent, ICAL_EXDATE_PROPERTY); x;
             x = icalcomponent_get_next_property(p.vevent, ICAL_EXDATE_PROPERTY)) {
            if (const std::optional<EventTime> t =
                    readTime(x, icalproperty_get_exdate(x), p.vcalendar))
                event.exclusions.push_back(exclusionOf(*t));
        }
        event.data.recurring = !event.rules.empty() || !event.extras.empty();
        event.data.event = int(events.size());
        if (!uid.isEmpty())
            seriesByUid.emplace(uid, event.data.event);
        events.push_back(std::move(event));
    }

    // An override replaces the occurrence its RECURRENCE-ID names; a cancelled one only
    // removes it.
    for (const Pending& p : overrides) {
        const QString uid = uidOf(p.vevent);
        const std::optional<EventTime> recurrenceId =
            propertyTime(p.vevent, ICAL_RECURRENCEID_PROPERTY, p.vcalendar);
        if (!recurrenceId) {
            ++skipped;
            continue;
        }
        const auto series = seriesByUid.find(uid);
        if (series != seriesByUid.end())
            events[series->second].exclusions.push_back(exclusionOf(*recurrenceId));
        else if (cancelledSeries.count(uid))
            continue;
        if (isCancelled(p.vevent))
            continue;
        Event event;
        if (!icalcomponent_get_first_property(p.vevent, ICAL_DTSTART_PROPERTY) &&
            series != seriesByUid.end()) {
            event = events[series->second];
            event.rules.clear();
            event.extras.clear();
            event.exclusions.clear();
            event.start = *recurrenceId;
        } else if (!readEvent(p.vevent, p.vcalendar, event)) {
            ++skipped;
            continue;
        }
        event.master = series != seriesByUid.end() ? series->second : -1;
        event.data.recurring = event.master >= 0;
        event.data.event = int(events.size());
        events.push_back(std::move(event));
    }
    finish();
}

void IcalCalendar::Impl::finish() {
    for (Event& event : events) {
        const std::optional<Occurrence> first = occurrenceAt(event, event.start, nullptr);
        if (first)
            event.first = *first;
        event.firstExcluded = excluded(event, event.start, event.first.start);
    }
}

bool IcalCalendar::Impl::excluded(const Event& event, const EventTime& start,
                                  const QDateTime& local) const {
    if (event.exclusions.empty())
        return false;
    const QDate day = dateOf(start.t);
    const qint64 secs = start.kind == TimeKind::Date ? 0 : local.toSecsSinceEpoch();
    for (const Exclusion& e : event.exclusions) {
        if (e.isDate || start.kind == TimeKind::Date) {
            if (e.date == day)
                return true;
        } else if (e.secs == secs) {
            return true;
        }
    }
    return false;
}

std::optional<Occurrence> IcalCalendar::Impl::occurrenceAt(const Event& event,
                                                           const EventTime& start,
                                                           const ExtraStart* extra) const {
    Occurrence o = event.data;
    const QDateTime begin = toLocal(start);
    if (!begin.isValid())
        return std::nullopt;
    QDateTime end;
    if (extra && extra->end)
        end = toLocal(*extra->end);
    else if (extra && extra->durationSecs)
        end = begin.addSecs(*extra->durationSecs);
    else if (event.start.kind == TimeKind::Date)
        end = begin.addDays(event.durationDays);
    else
        end = begin.addSecs(event.durationSecs);
    if (!end.isValid())
        return std::nullopt;
    setOccurrenceTimes(o, begin, end);
    return o;
}

void IcalCalendar::Impl::expandEvent(const Event& event, qint64 from, qint64 to,
                                     std::vector<Occurrence>& out) const {
    auto touches = [&](const Occurrence& o) {
        return std::min(o.startMinute, o.endMinute) <= to &&
               std::max(o.startMinute, o.endMinute) >= from;
    };
    if (!event.data.recurring) {
        if (!event.firstExcluded && touches(event.first))
            out.push_back(event.first);
        return;
    }
    const qint64 fromSecs = from * 60;
    const qint64 toSecs = to * 60 + 59;
    const qint64 span = std::max<qint64>(
        {event.durationSecs, qint64(event.durationDays) * 86400, -event.durationSecs});
    auto consider = [&](const EventTime& start, const ExtraStart* extra) {
        std::optional<Occurrence> o = occurrenceAt(event, start, extra);
        if (o && touches(*o) && !excluded(event, start, o->start))
            out.push_back(std::move(*o));
    };
    if (event.rules.empty()) {
        consider(event.start, nullptr);
    }
    for (const icalrecurrencetype& rule : event.rules) {
        if (const std::optional<int> step = plainStepDays(rule, event.start.t)) {
            stepPlainRule(event, rule, *step, fromSecs - span - kZoneMarginSeconds,
                          toSecs + kZoneMarginSeconds + std::max<qint64>(0, -event.durationSecs),
                          consider);
            continue;
        }
        icaltimetype seed = event.start.t;
        seed.zone =
            event.start.kind == TimeKind::Utc ? icaltimezone_get_utc_timezone() : event.start.zone;
        icalrecur_iterator* it = icalrecur_iterator_new(rule, seed);
        if (!it)
            continue;
        // A rule that repeats within the day would walk every step from the series' start to
        // the window: a plain one (no COUNT, no BY parts) starts at its last step before it.
        if (const qint64 step = plainSubDailyStepSeconds(rule); step > 0) {
            const qint64 seedWall = rawWallSeconds(seed);
            const qint64 firstWanted = fromSecs - span - kZoneMarginSeconds;
            if (firstWanted > seedWall) {
                const qint64 aligned = seedWall + (firstWanted - seedWall) / step * step;
                icaltimetype start = icaltime_from_timet_with_zone(static_cast<time_t>(aligned), 0,
                                                                   icaltimezone_get_utc_timezone());
                start.zone = seed.zone;
                icalrecur_iterator_set_start(it, start);
            }
        }
        int steps = 0;
        for (icaltimetype t = icalrecur_iterator_next(it); !icaltime_is_null_time(t);
             t = icalrecur_iterator_next(it)) {
            if (++steps > kMaxRecurrenceSteps)
                break;
            const qint64 raw = rawWallSeconds(t);
            if (raw > toSecs + kZoneMarginSeconds + std::max<qint64>(0, -event.durationSecs))
                break;
            if (raw + span + kZoneMarginSeconds < fromSecs)
                continue;
            EventTime at = event.start;
            at.t = t;
            at.t.zone = nullptr;
            at.t.is_date = event.start.t.is_date;
            consider(at, nullptr);
        }
        icalrecur_iterator_free(it);
    }
    for (const ExtraStart& extra : event.extras)
        consider(extra.start, &extra);
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
        impl_->expandEvent(event, fromMinute, toMinute, out);
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
