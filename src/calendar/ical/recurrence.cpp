#include "calendar/ical/recurrence_p.h"

#include <algorithm>

namespace rv::ical {

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
// Occurrences are first compared by their own wall clock, before conversion; two zones are at
// most a little over a day apart.
constexpr qint64 kZoneMarginSeconds = 2 * 24 * 3600;

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

// Occurrence k of a plain rule is the start's wall time k steps of days later; the ones whose
// own wall clock lies in [firstRaw, lastRaw] are handed to `consider`, up to COUNT or UNTIL.
template <typename Consider>
void stepPlainRule(const Event& event, const icalrecurrencetype& rule, int stepDays,
                   qint64 firstRaw, qint64 lastRaw, Consider& consider) {
    const qint64 startRaw = rawWallSeconds(event.start.t);
    const qint64 stepSecs = qint64(stepDays) * kSecondsPerDay;
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

// Any other rule, walked through libical's iterator: the starts whose own wall clock lies in
// [firstRaw, lastRaw] are handed to `consider`.
template <typename Consider>
void walkRule(const Event& event, const icalrecurrencetype& rule, qint64 firstRaw, qint64 lastRaw,
              Consider& consider) {
    icaltimetype seed = event.start.t;
    seed.zone =
        event.start.kind == TimeKind::Utc ? icaltimezone_get_utc_timezone() : event.start.zone;
    icalrecur_iterator* it = icalrecur_iterator_new(rule, seed);
    if (!it)
        return;
    // A rule that repeats within the day would walk every step from the series' start to
    // the window: a plain one (no COUNT, no BY parts) starts at its last step before it.
    if (const qint64 step = plainSubDailyStepSeconds(rule); step > 0) {
        const qint64 seedWall = rawWallSeconds(seed);
        if (firstRaw > seedWall) {
            const qint64 aligned = seedWall + (firstRaw - seedWall) / step * step;
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
        if (raw > lastRaw)
            break;
        if (raw < firstRaw)
            continue;
        EventTime at = event.start;
        at.t = t;
        at.t.zone = nullptr;
        at.t.is_date = event.start.t.is_date;
        consider(at, nullptr);
    }
    icalrecur_iterator_free(it);
}

} // namespace

bool excluded(const Event& event, const EventTime& start, const QDateTime& local) {
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

namespace {

// The occurrence at `start` of an event of the given length and contents.
std::optional<Occurrence> occurrenceOf(Occurrence o, bool allDay, int durationDays,
                                       qint64 durationSecs, const EventTime& start,
                                       const ExtraStart* extra) {
    const QDateTime begin = toLocal(start);
    if (!begin.isValid())
        return std::nullopt;
    QDateTime end;
    if (extra && extra->end)
        end = toLocal(*extra->end);
    else if (extra && extra->durationSecs)
        end = begin.addSecs(*extra->durationSecs);
    else if (allDay)
        end = begin.addDays(durationDays);
    else
        end = begin.addSecs(durationSecs);
    if (!end.isValid())
        return std::nullopt;
    setOccurrenceTimes(o, begin, end);
    return o;
}

// The THISANDFUTURE override in force for the occurrence of the series at `start` (`local` in
// local time): the last one whose RECURRENCE-ID lies at or before it.
const FutureChange* changeFor(const Event& event, const EventTime& start, const QDateTime& local) {
    for (auto c = event.futureChanges.rbegin(); c != event.futureChanges.rend(); ++c) {
        const bool reached = c->from.isDate || start.kind == TimeKind::Date
                                 ? dateOf(start.t) >= c->from.date
                                 : local.toSecsSinceEpoch() >= c->from.secs;
        if (reached)
            return &*c;
    }
    return nullptr;
}

// The occurrence of the series at `start` as a THISANDFUTURE override has moved and reshaped it;
// nothing when it was cancelled or moved off the calendar.
std::optional<Occurrence> changedOccurrence(const Event& event, const FutureChange& change,
                                            EventTime start) {
    if (change.cancelled)
        return std::nullopt;
    const bool allDay = event.start.kind == TimeKind::Date;
    start.t = wallTimeAfter(start.t, allDay ? change.shiftDays * kSecondsPerDay : change.shiftSecs);
    if (!plausible(start.t))
        return std::nullopt;
    return occurrenceOf(change.data, allDay, change.durationDays, change.durationSecs, start,
                        nullptr);
}

} // namespace

std::optional<Occurrence> occurrenceAt(const Event& event, const EventTime& start,
                                       const ExtraStart* extra) {
    return occurrenceOf(event.data, event.start.kind == TimeKind::Date, event.durationDays,
                        event.durationSecs, start, extra);
}

void expandEvent(const Event& event, qint64 from, qint64 to, std::vector<Occurrence>& out) {
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
    // How far an occurrence reaches from its start, forwards and backwards, and how far a
    // THISANDFUTURE override moves it.
    qint64 span = std::max<qint64>(event.durationSecs, qint64(event.durationDays) * kSecondsPerDay);
    qint64 backwards = std::max<qint64>(0, -event.durationSecs);
    qint64 shift = 0;
    for (const FutureChange& c : event.futureChanges) {
        span = std::max<qint64>({span, c.durationSecs, qint64(c.durationDays) * kSecondsPerDay});
        backwards = std::max(backwards, -c.durationSecs);
        shift = std::max(
            {shift, std::abs(c.shiftSecs), std::abs(qint64(c.shiftDays)) * kSecondsPerDay});
    }
    auto consider = [&](const EventTime& start, const ExtraStart* extra) {
        std::optional<Occurrence> o = occurrenceAt(event, start, extra);
        if (!o)
            return;
        // Exclusions and overrides name an occurrence by its original start.
        const QDateTime original = o->start;
        if (const FutureChange* change = changeFor(event, start, original))
            o = changedOccurrence(event, *change, start);
        if (o && touches(*o) && !excluded(event, start, original))
            out.push_back(std::move(*o));
    };
    if (event.rules.empty())
        consider(event.start, nullptr);
    // Starts are first compared by their own wall clock, widened by the event's length, by what
    // a zone can shift them and by what an override moves them.
    const qint64 firstRaw = fromSecs - std::max(span, backwards) - kZoneMarginSeconds - shift;
    const qint64 lastRaw = toSecs + kZoneMarginSeconds + backwards + shift;
    for (const icalrecurrencetype& rule : event.rules) {
        if (const std::optional<int> step = plainStepDays(rule, event.start.t))
            stepPlainRule(event, rule, *step, firstRaw, lastRaw, consider);
        else
            walkRule(event, rule, firstRaw, lastRaw, consider);
    }
    for (const ExtraStart& extra : event.extras)
        consider(extra.start, &extra);
}

} // namespace rv::ical
