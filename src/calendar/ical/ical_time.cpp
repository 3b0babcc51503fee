#include "calendar/ical/ical_time_p.h"

#include "calendar/calendar_log.h"
#include "calendar/ical/rule_starts_p.h"

#include <QStringList>
#include <QTimeZone>
#include <ctime>
#include <vector>

namespace rv::ical {

namespace {

// libical works a zone's changes out up to 2582, the last year its recurrence code reaches, and
// works them all out again for every later time it converts (some 10 ms a time): a zoned time
// after that year is read as local wall time, as a floating one is.
constexpr int kLastZonedYear = 2582;

} // namespace

qint64 dayNumber(int y, int m, int d) {
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const qint64 yoe = y - era * 400;
    const qint64 doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const qint64 doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

qint64 rawWallSeconds(const icaltimetype& t) {
    qint64 s = dayNumber(t.year, t.month, t.day) * kSecondsPerDay;
    if (!t.is_date)
        s += t.hour * 3600 + t.minute * 60 + t.second;
    return s;
}

QDate dateOf(const icaltimetype& t) {
    return QDate(t.year, t.month, t.day);
}

icaltimetype wallTimeAfter(icaltimetype t, qint64 seconds) {
    const qint64 wall = rawWallSeconds(t) + seconds;
    qint64 days = wall / kSecondsPerDay;
    qint64 rest = wall % kSecondsPerDay;
    if (rest < 0) {
        rest += kSecondsPerDay;
        --days;
    }
    const QDate day = QDate(1970, 1, 1).addDays(days);
    t.year = day.year();
    t.month = day.month();
    t.day = day.day();
    if (!t.is_date) {
        t.hour = int(rest / 3600);
        t.minute = int(rest / 60 % 60);
        t.second = int(rest % 60);
    }
    return t;
}

namespace {

// The instant of a wall time, given the offset from UTC its zone has at any instant, read the way
// RFC 5545 reads it: a time the clocks skip takes the offset before the change (02:30 on the
// night summer time begins is 03:30 summer time), a time that comes twice its first occurrence.
// libical takes the offset after the change for both, and Qt 6.4 makes a skipped local time an
// invalid QDateTime, which would drop the occurrence.
template <typename OffsetAt> qint64 instantOfWallTime(qint64 wall, OffsetAt offsetAt) {
    // A day either side of the wall time lies beyond any offset a zone has.
    const int before = offsetAt(wall - kSecondsPerDay);
    const int after = offsetAt(wall + kSecondsPerDay);
    if (before == after || offsetAt(wall - before) == before)
        return wall - before;
    return offsetAt(wall - after) == after ? wall - after : wall - before;
}

int zoneOffsetAt(icaltimezone* zone, qint64 utcSeconds) {
    icaltimetype t = icaltime_from_timet_with_zone(static_cast<time_t>(utcSeconds), 0,
                                                   icaltimezone_get_utc_timezone());
    int daylight = 0;
    return icaltimezone_get_utc_offset_of_utc_time(zone, &t, &daylight);
}

// The machine's offset from UTC at an instant. localtime_r rather than a local QDateTime: Qt
// re-reads the zone's settings (a stat of /etc/localtime) for every local time it works out,
// which made a third of a month's expansion; the C library keeps what it last read.
int localOffsetAt(qint64 utcSeconds) {
    const time_t t = static_cast<time_t>(utcSeconds);
    struct tm local;
    return localtime_r(&t, &local) ? int(local.tm_gmtoff) : 0;
}

QDateTime localWallTime(qint64 wall) {
    return QDateTime::fromSecsSinceEpoch(instantOfWallTime(wall, localOffsetAt));
}

} // namespace

QDateTime toLocal(const icaltimetype& t, TimeKind kind, icaltimezone* zone) {
    switch (kind) {
    case TimeKind::Date:
        return localWallTime(dayNumber(t.year, t.month, t.day) * kSecondsPerDay);
    case TimeKind::Utc:
        return QDateTime::fromSecsSinceEpoch(rawWallSeconds(t));
    case TimeKind::Zoned:
        if (t.year <= kLastZonedYear)
            return QDateTime::fromSecsSinceEpoch(instantOfWallTime(
                rawWallSeconds(t), [zone](qint64 utc) { return zoneOffsetAt(zone, utc); }));
        [[fallthrough]];
    case TimeKind::Floating:
        return localWallTime(rawWallSeconds(t));
    }
    return {};
}

QDateTime toLocal(const EventTime& et) {
    return toLocal(et.t, et.kind, et.zone);
}

namespace {

// RFC 5545 asks a VTIMEZONE for at least one STANDARD or DAYLIGHT observance; libical converts
// with one that has none as if it were UTC.
bool hasObservance(icaltimezone* zone) {
    icalcomponent* vtimezone = icaltimezone_get_component(zone);
    return vtimezone && (icalcomponent_get_first_component(vtimezone, ICAL_XSTANDARD_COMPONENT) ||
                         icalcomponent_get_first_component(vtimezone, ICAL_XDAYLIGHT_COMPONENT));
}

icaltimezone* zoneNamed(const char* tzid, icalcomponent* vcalendar) {
    if (!tzid || !*tzid)
        return nullptr;
    if (vcalendar && icalcomponent_isa(vcalendar) == ICAL_VCALENDAR_COMPONENT) {
        icaltimezone* zone = icalcomponent_get_timezone(vcalendar, tzid);
        if (zone && hasObservance(zone))
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
    // Windows mail clients name zones by their Windows ids ("W. Europe Standard Time") and often
    // leave the VTIMEZONE out or empty: the zone database knows them by the IANA zone they mean.
    const QByteArray iana = QTimeZone::windowsIdToDefaultIanaId(QByteArray(tzid));
    if (!iana.isEmpty())
        return icaltimezone_get_builtin_timezone(iana.constData());
    return nullptr;
}

} // namespace

namespace {

// More changes of offset than any real zone's rules give up to the last year libical works out
// (two a year from 1601 are some 2,000).
constexpr qint64 kMaxZoneChanges = 50000;
// The Gregorian calendar repeats itself every 400 years: a yearly rule that gives no date in 400
// years gives none ever, and libical would look for one until the year 20000.
constexpr int kCalendarCycleYears = 400;

// How many starts the rule gives in [from, to] (wall seconds), or nothing when that takes more
// work than the allowance.
std::optional<qint64> startsBetween(const icalrecurrencetype& rule, const icaltimetype& start,
                                    qint64 from, qint64 to, qint64 allowance) {
    qint64 starts = 0;
    RuleStarts walk(rule, start, from, to, [&rule](const icaltimetype& t) {
        return rawWallSeconds(t) > rawWallSeconds(rule.until);
    });
    if (!walk.run(allowance, [&starts](const icaltimetype&) { ++starts; }))
        return std::nullopt;
    return starts;
}

// Why libical could not work the zone's changes out in reasonable time, or nothing when it can.
const char* costOfZone(icalcomponent* vtimezone) {
    qint64 changes = 0;
    const qint64 lastRaw = dayNumber(kLastZonedYear + 1, 1, 1) * kSecondsPerDay;
    for (icalcomponent* o = icalcomponent_get_first_component(vtimezone, ICAL_ANY_COMPONENT); o;
         o = icalcomponent_get_next_component(vtimezone, ICAL_ANY_COMPONENT)) {
        const icalcomponent_kind kind = icalcomponent_isa(o);
        if (kind != ICAL_XSTANDARD_COMPONENT && kind != ICAL_XDAYLIGHT_COMPONENT)
            continue;
        icalproperty* dtstart = icalcomponent_get_first_property(o, ICAL_DTSTART_PROPERTY);
        const icaltimetype start =
            dtstart ? icalproperty_get_dtstart(dtstart) : icaltime_null_time();
        for (icalproperty* r = icalcomponent_get_first_property(o, ICAL_RRULE_PROPERTY); r;
             r = icalcomponent_get_next_property(o, ICAL_RRULE_PROPERTY)) {
            const icalrecurrencetype rule = icalproperty_get_rrule(r);
            if (rule.freq == ICAL_NO_RECURRENCE || !plausible(start))
                continue;
            if (rule.freq != ICAL_YEARLY_RECURRENCE)
                return "its rules change the offset more often than once a year";
            const qint64 startRaw = rawWallSeconds(start);
            icalrecurrencetype unbounded = rule;
            unbounded.count = 0;
            unbounded.until = icaltime_null_time();
            const std::optional<qint64> inCycle = startsBetween(
                unbounded, start, startRaw, startRaw + kCalendarCycleYears * 366 * kSecondsPerDay,
                kMaxZoneChanges * 40);
            if (!inCycle || *inCycle > 4 * kCalendarCycleYears)
                return "its rules change the offset more often than a few times a year";
            if (*inCycle == 0)
                return "a rule of it names a day that never comes";
            const std::optional<qint64> all =
                startsBetween(rule, start, startRaw, lastRaw, kMaxZoneChanges * 40);
            changes += all.value_or(kMaxZoneChanges + 1);
            if (changes > kMaxZoneChanges)
                return "its rules give more changes of offset than any real zone has";
        }
    }
    return nullptr;
}

void leaveOutCostlyZonesOf(icalcomponent* vcalendar) {
    std::vector<icalcomponent*> costly;
    for (icalcomponent* z = icalcomponent_get_first_component(vcalendar, ICAL_VTIMEZONE_COMPONENT);
         z; z = icalcomponent_get_next_component(vcalendar, ICAL_VTIMEZONE_COMPONENT)) {
        if (const char* why = costOfZone(z)) {
            icalproperty* tzid = icalcomponent_get_first_property(z, ICAL_TZID_PROPERTY);
            const QString name = QString::fromUtf8(tzid ? icalproperty_get_tzid(tzid) : "");
            qCInfo(calendarLog()).noquote()
                << QStringLiteral("time zone \"%1\" of the calendar left out, as %2: its times are "
                                  "read in the system's zone of that name where there is one, "
                                  "else as local time")
                       .arg(name, QLatin1String(why));
            costly.push_back(z);
        }
    }
    for (icalcomponent* z : costly) {
        icalcomponent_remove_component(vcalendar, z);
        icalcomponent_free(z);
    }
}

} // namespace

void leaveOutCostlyZones(icalcomponent* root) {
    if (!root)
        return;
    if (icalcomponent_isa(root) == ICAL_VCALENDAR_COMPONENT) {
        leaveOutCostlyZonesOf(root);
        return;
    }
    for (icalcomponent* c = icalcomponent_get_first_component(root, ICAL_VCALENDAR_COMPONENT); c;
         c = icalcomponent_get_next_component(root, ICAL_VCALENDAR_COMPONENT))
        leaveOutCostlyZonesOf(c);
}

bool plausible(const icaltimetype& t) {
    if (icaltime_is_null_time(t) || t.year < 1 || t.year > 9999)
        return false;
    if (!QDate(t.year, t.month, t.day).isValid())
        return false;
    return t.is_date || (t.hour >= 0 && t.hour < 24 && t.minute >= 0 && t.minute < 60 &&
                         t.second >= 0 && t.second <= 60);
}

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

} // namespace rv::ical
