#include "calendar/ical/ical_time_p.h"

#include <QStringList>

namespace rv::ical {

namespace {

// libical works a zone's changes out up to 2582, the last year its recurrence code reaches, and
// works them all out again for every later time it converts (some 10 ms a time): a zoned time
// after that year is read as local wall time, as a floating one is.
constexpr int kLastZonedYear = 2582;

qint64 daysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const qint64 yoe = y - era * 400;
    const qint64 doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const qint64 doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

} // namespace

qint64 rawWallSeconds(const icaltimetype& t) {
    qint64 s = daysFromCivil(t.year, t.month, t.day) * 86400;
    if (!t.is_date)
        s += t.hour * 3600 + t.minute * 60 + t.second;
    return s;
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

namespace {

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

} // namespace

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
