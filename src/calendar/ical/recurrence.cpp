#include "calendar/ical/recurrence_p.h"

#include "calendar/calendar_log.h"
#include "calendar/ical/rule_starts_p.h"

#include <algorithm>
#include <memory>

namespace rv::ical {

namespace {

// What one expansion of a calendar (a month, for a board) may spend on its recurrence rules, in
// RuleStarts' units. A rule alone in a calendar, such as a series repeating every second, gets
// all of it: some tens of milliseconds on an ordinary machine. Calendars of many rules share it.
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
// Fuzzing runs the same sharing and the same cut, sooner: its time goes to new inputs.
constexpr qint64 kExpansionWork = 40000;
#else
constexpr qint64 kExpansionWork = 800000;
#endif
// Less than this is not worth a turn: sharing among thousands of rules still gets on.
constexpr qint64 kLeastShare = 1000;
// What one step of libical's own iterator counts, for the rules left to it (those of another
// calendar scale): it costs some microseconds.
constexpr qint64 kLibicalStepCost = 100;
// Occurrences are first compared by their own wall clock, before conversion; two zones are at
// most a little over a day apart.
constexpr qint64 kZoneMarginSeconds = 2 * 24 * 3600;

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
    const auto& changes = event.futureChanges;
    if (changes.empty())
        return nullptr;
    if (start.kind != TimeKind::Date && event.changesAtInstantsOnly) {
        // All instants, in order: the last at or before the occurrence's.
        const qint64 secs = local.toSecsSinceEpoch();
        const auto after =
            std::upper_bound(changes.begin(), changes.end(), secs,
                             [](qint64 s, const FutureChange& c) { return s < c.from.secs; });
        return after == changes.begin() ? nullptr : &*(after - 1);
    }
    for (auto c = changes.rbegin(); c != changes.rend(); ++c) {
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

bool touches(const Occurrence& o, qint64 from, qint64 to) {
    return std::min(o.startMinute, o.endMinute) <= to &&
           std::max(o.startMinute, o.endMinute) >= from;
}

qint64 extraStartRaw(const ExtraStart& extra) {
    return rawWallSeconds(extra.start.t);
}

// One recurring event's part of an expansion: which starts, compared by their own wall clock,
// can give an occurrence touching the window, and the occurrence each gives.
class EventWindow {
public:
    EventWindow(const Event& event, qint64 from, qint64 to, std::vector<Occurrence>& out)
        : event_(event), from_(from), to_(to), out_(out) {
        // How far an occurrence reaches from its start, forwards and backwards, and how far a
        // THISANDFUTURE override moves it.
        qint64 span =
            std::max<qint64>(event.durationSecs, qint64(event.durationDays) * kSecondsPerDay);
        qint64 backwards = std::max<qint64>(0, -event.durationSecs);
        qint64 shift = 0;
        for (const FutureChange& c : event.futureChanges) {
            span =
                std::max<qint64>({span, c.durationSecs, qint64(c.durationDays) * kSecondsPerDay});
            backwards = std::max(backwards, -c.durationSecs);
            shift = std::max(
                {shift, std::abs(c.shiftSecs), std::abs(qint64(c.shiftDays)) * kSecondsPerDay});
        }
        span = std::max(span, event.extrasReach);
        firstRaw_ = from * 60 - std::max(span, backwards) - kZoneMarginSeconds - shift;
        lastRaw_ = to * 60 + 59 + kZoneMarginSeconds + backwards + shift;
    }

    qint64 firstRaw() const { return firstRaw_; }
    qint64 lastRaw() const { return lastRaw_; }
    const Event& event() const { return event_; }

    void consider(const EventTime& start, const ExtraStart* extra) {
        std::optional<Occurrence> o = occurrenceAt(event_, start, extra);
        if (!o)
            return;
        // Exclusions and overrides name an occurrence by its original start.
        const QDateTime original = o->start;
        if (const FutureChange* change = changeFor(event_, start, original))
            o = changedOccurrence(event_, *change, start);
        if (o && touches(*o, from_, to_) && !excluded(event_, start, original))
            out_.push_back(std::move(*o));
    }

private:
    const Event& event_;
    qint64 from_;
    qint64 to_;
    std::vector<Occurrence>& out_;
    qint64 firstRaw_ = 0;
    qint64 lastRaw_ = 0;
};

// Whether a start of the series lies after the rule's UNTIL, compared as libical compares them: a
// date with a date, a UTC time with the start's instant, anything else on the wall clock (a date
// UNTIL of a timed series is its midnight).
std::function<bool(const icaltimetype&)> pastUntil(const Event& event,
                                                   const icalrecurrencetype& rule) {
    if (icaltime_is_null_time(rule.until))
        return {};
    const icaltimetype until = rule.until;
    return [&event, until](const icaltimetype& t) {
        if (until.is_date && event.start.t.is_date)
            return dateOf(t) > dateOf(until);
        if (!until.is_date && icaltime_is_utc(until)) {
            EventTime at = event.start;
            at.t = t;
            return toLocal(at).toSecsSinceEpoch() > rawWallSeconds(until);
        }
        return rawWallSeconds(t) > rawWallSeconds(until);
    };
}

// One rule's starts, handed out a share of the expansion's work at a time.
class Walk {
public:
    virtual ~Walk() = default;
    // True when the rule has no more starts in the window.
    virtual bool run(qint64& allowance) = 0;
};

class RuleWalk : public Walk {
public:
    RuleWalk(EventWindow& window, const icalrecurrencetype& rule)
        : window_(window), starts_(rule, window.event().start.t, window.firstRaw(),
                                   window.lastRaw(), pastUntil(window.event(), rule)) {}
    bool supported() const { return starts_.supported(); }
    bool run(qint64& allowance) override {
        return starts_.run(allowance, [this](const icaltimetype& t) {
            EventTime at = window_.event().start;
            at.t = t;
            window_.consider(at, nullptr);
        });
    }

private:
    EventWindow& window_;
    RuleStarts starts_;
};

// The extra dates (RDATE) whose own wall clock lies in the window, each charged as a rule's start
// is: a file may list hundreds of thousands.
class ExtrasWalk : public Walk {
public:
    explicit ExtrasWalk(EventWindow& window) : window_(window) {
        const auto& extras = window.event().extras;
        next_ = std::lower_bound(
            extras.begin(), extras.end(), window.firstRaw(),
            [](const ExtraStart& extra, qint64 raw) { return extraStartRaw(extra) < raw; });
    }
    bool run(qint64& allowance) override {
        const auto& extras = window_.event().extras;
        for (; next_ != extras.end() && extraStartRaw(*next_) <= window_.lastRaw(); ++next_) {
            if (allowance <= 0)
                return false;
            allowance -= RuleStarts::kStartCost;
            window_.consider(next_->start, &*next_);
        }
        return true;
    }

private:
    EventWindow& window_;
    std::vector<ExtraStart>::const_iterator next_;
};

// A rule of another calendar scale (RSCALE), walked by libical's own iterator from the series'
// start. Its UNTIL is brought to the window's end, so that no step runs past it (libical tests
// UNTIL as it steps), and every step is charged.
class LibicalWalk : public Walk {
public:
    LibicalWalk(EventWindow& window, const icalrecurrencetype& rule) : window_(window) {
        const Event& event = window.event();
        icalrecurrencetype bounded = rule;
        const qint64 stop = window.lastRaw() + kZoneMarginSeconds;
        if (icaltime_is_null_time(rule.until) || rawWallSeconds(rule.until) > stop)
            bounded.until = icaltime_from_timet_with_zone(static_cast<time_t>(stop), 0,
                                                          icaltimezone_get_utc_timezone());
        icaltimetype seed = event.start.t;
        seed.zone =
            event.start.kind == TimeKind::Utc ? icaltimezone_get_utc_timezone() : event.start.zone;
        it_ = icalrecur_iterator_new(bounded, seed);
    }
    ~LibicalWalk() override {
        if (it_)
            icalrecur_iterator_free(it_);
    }
    bool run(qint64& allowance) override {
        while (it_) {
            if (allowance <= 0)
                return false;
            allowance -= kLibicalStepCost;
            const icaltimetype t = icalrecur_iterator_next(it_);
            const qint64 raw = icaltime_is_null_time(t) ? 0 : rawWallSeconds(t);
            if (icaltime_is_null_time(t) || raw > window_.lastRaw()) {
                icalrecur_iterator_free(it_);
                it_ = nullptr;
                break;
            }
            if (raw < window_.firstRaw())
                continue;
            EventTime at = window_.event().start;
            at.t = t;
            at.t.zone = nullptr;
            at.t.is_date = window_.event().start.t.is_date;
            window_.consider(at, nullptr);
        }
        return true;
    }

private:
    EventWindow& window_;
    icalrecur_iterator* it_ = nullptr;
};

// Shares the expansion's work out evenly among the rules still walking, again and again, until
// every rule is done or the work is spent: a rule that needs little finishes in its first turn
// and leaves the rest to the others.
void shareWork(std::vector<std::unique_ptr<Walk>>& walks) {
    std::vector<Walk*> active;
    for (const auto& walk : walks)
        active.push_back(walk.get());
    qint64 work = kExpansionWork;
    while (!active.empty() && work > 0) {
        const qint64 share = std::max(kLeastShare, work / qint64(active.size()));
        std::vector<Walk*> going;
        for (Walk* walk : active) {
            if (work <= 0) {
                going.push_back(walk);
                continue;
            }
            qint64 allowance = std::min(share, work);
            const qint64 granted = allowance;
            if (!walk->run(allowance))
                going.push_back(walk);
            work -= granted - allowance;
        }
        active.swap(going);
    }
    if (!active.empty())
        qCInfo(calendarLog()).noquote()
            << active.size() << "of" << walks.size()
            << "recurrence rules and extra dates cut short: the calendar's series asked for more "
               "work than one expansion may take";
}

} // namespace

bool excluded(const Event& event, const EventTime& start, const QDateTime& local) {
    if (event.exclusions.empty())
        return false;
    const bool allDay = start.kind == TimeKind::Date;
    return event.exclusions.contains(allDay, dayNumber(start.t.year, start.t.month, start.t.day),
                                     allDay ? 0 : local.toSecsSinceEpoch());
}

std::optional<Occurrence> occurrenceAt(const Event& event, const EventTime& start,
                                       const ExtraStart* extra) {
    return occurrenceOf(event.data, event.start.kind == TimeKind::Date, event.durationDays,
                        event.durationSecs, start, extra);
}

void prepareEvent(Event& event) {
    event.changesAtInstantsOnly =
        std::none_of(event.futureChanges.begin(), event.futureChanges.end(),
                     [](const FutureChange& c) { return c.from.isDate; });
    std::stable_sort(event.extras.begin(), event.extras.end(),
                     [](const ExtraStart& a, const ExtraStart& b) {
                         return extraStartRaw(a) < extraStartRaw(b);
                     });
    // An extra date given as a period may last longer than the event.
    for (const ExtraStart& extra : event.extras) {
        qint64 reach = 0;
        if (extra.end)
            reach = rawWallSeconds(extra.end->t) - extraStartRaw(extra);
        else if (extra.durationSecs)
            reach = *extra.durationSecs;
        event.extrasReach = std::max(event.extrasReach, std::abs(reach));
    }
}

void expandEvents(const std::vector<Event>& events, qint64 from, qint64 to,
                  std::vector<Occurrence>& out) {
    std::vector<std::unique_ptr<EventWindow>> windows;
    std::vector<std::unique_ptr<Walk>> walks;
    for (const Event& event : events) {
        if (!event.data.recurring) {
            if (!event.firstExcluded && touches(event.first, from, to))
                out.push_back(event.first);
            continue;
        }
        windows.push_back(std::make_unique<EventWindow>(event, from, to, out));
        EventWindow& window = *windows.back();
        if (event.rules.empty())
            window.consider(event.start, nullptr);
        if (!event.extras.empty())
            walks.push_back(std::make_unique<ExtrasWalk>(window));
        for (const icalrecurrencetype& rule : event.rules) {
            auto walk = std::make_unique<RuleWalk>(window, rule);
            if (walk->supported())
                walks.push_back(std::move(walk));
            else
                walks.push_back(std::make_unique<LibicalWalk>(window, rule));
        }
    }
    shareWork(walks);
}

} // namespace rv::ical
