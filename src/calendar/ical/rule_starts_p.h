#pragma once

// The starts one recurrence rule (RRULE) gives within a window of wall time, worked out on the
// calendar's own arithmetic rather than by libical's iterator, which walks a rule step by step
// from the series' first start and, for a rule no date satisfies, steps on for minutes to hours
// (every second until the year 2582 for a secondly one).
//
// The periods a rule repeats in (years, months, weeks, days, hours, minutes, seconds) are
// reached directly: the walk starts at the window, unless a COUNT that can end within it has to
// be counted from the series' start. Months, days and hours the rule's BY parts rule out are
// passed over whole. Every period looked at, every candidate and every start handed out is
// charged to an allowance, so that a rule costs at most what the caller grants it.
//
// The rules read as RFC 5545 defines them, as libical reads them where the two agree; where
// libical refuses a combination of parts (BYWEEKNO outside yearly rules, BYYEARDAY with BYMONTH,
// ...) the rule gives nothing, as it did through libical.

#include <libical/ical.h>

#include <QtGlobal>
#include <climits>
#include <functional>
#include <vector>

namespace rv::ical {

class RuleStarts {
public:
    // What handing out one start costs, against one for a period or candidate looked at: the
    // caller works an occurrence out of it (its local time, length, overrides, exclusions).
    static constexpr qint64 kStartCost = 20;

    // `start` is the series' first start on its own wall clock (a date for an all-day series).
    // Starts are handed out when their wall clock lies in [firstRaw, lastRaw] (seconds counted
    // as rawWallSeconds does). `pastUntil` tells whether a start lies after the rule's UNTIL
    // (asked only near it).
    RuleStarts(const icalrecurrencetype& rule, const icaltimetype& start, qint64 firstRaw,
               qint64 lastRaw, std::function<bool(const icaltimetype&)> pastUntil);

    // Whether the rule is one this walk reads: every rule in the Gregorian calendar. Rules of
    // another calendar scale (RSCALE) are left to libical.
    bool supported() const { return supported_; }

    // Hands the next starts to `hand`, in order, until the rule has no more in the window (then
    // true) or `allowance` is spent (false); called again, it goes on where it stopped.
    bool run(qint64& allowance, const std::function<void(const icaltimetype&)>& hand);

private:
    enum class Offer { Next, Stop };
    enum class Load { Loaded, OutOfAllowance, Finished };

    void setUp(const icalrecurrencetype& rule);
    void dropUnreachableCount();
    bool runSubDaily(qint64& allowance, const std::function<void(const icaltimetype&)>& hand);
    bool runByPeriods(qint64& allowance, const std::function<void(const icaltimetype&)>& hand);
    // The next period that holds candidates: its days, sorted, and which of its candidates
    // count (BYSETPOS).
    Load loadPeriod(qint64& allowance);
    void daysOfMonthByNumber(int year, int month, std::vector<qint64>& days) const;
    void daysOfMonth(int year, int month, std::vector<qint64>& days) const;
    void daysOfYear(int year, std::vector<qint64>& days) const;
    void weekdaysIn(qint64 first, qint64 last, std::vector<qint64>& out) const;
    bool monthAllowed(int month) const { return month >= 1 && month <= 12 && months_[month]; }
    bool dayAllowed(qint64 day, int year, int month, int dayOfMonth) const;
    int timeAt(qint64 index) const;
    Offer offer(qint64 raw, const std::function<void(const icaltimetype&)>& hand,
                qint64& allowance);

    bool supported_ = true;
    bool done_ = false;
    icalrecurrencetype_frequency freq_ = ICAL_NO_RECURRENCE;
    qint64 interval_ = 1;
    qint64 count_ = 0; // 0: no COUNT within reach
    int weekStart_ = ICAL_MONDAY_WEEKDAY;
    std::vector<int> bySecond_, byMinute_, byHour_, byMonthDay_, byYearDay_, byWeekNo_, byMonth_,
        bySetPos_;
    std::vector<short> byDay_;
    // The BY parts that narrow a period down, as look-up tables.
    bool months_[13] = {};
    bool hours_[24] = {};
    bool minutes_[60] = {};
    bool seconds_[61] = {};
    icaltimetype start_;
    qint64 startRaw_ = 0;
    qint64 firstRaw_ = 0;
    qint64 lastRaw_ = 0;
    qint64 stopRaw_ = 0;
    bool hasUntil_ = false;
    qint64 untilRaw_ = 0;
    std::function<bool(const icaltimetype&)> pastUntil_;

    // The times of day a daily or longer period's days take: every combination of these, in
    // order; timeAt gives the nth of them in seconds.
    std::vector<int> timeHours_, timeMinutes_, timeSeconds_;
    qint64 timesPerDay_ = 0;
    std::vector<qint64> dayPicks_; // daily: the times of a day BYSETPOS keeps
    // What a sub-daily period adds to its own start, BYSETPOS applied.
    std::vector<int> offsets_;
    qint64 periodSeconds_ = 0; // sub-daily
    qint64 firstPeriod_ = 0;   // sub-daily: the first period's start
    qint64 startDay_ = 0;      // the series' first day
    qint64 weekOrigin_ = 0;    // weekly: the first day of the series' first week

    // Where the walk stands.
    qint64 seen_ = 0;   // starts counted towards COUNT
    qint64 next_ = 0;   // sub-daily: the earliest period start still to look at
    qint64 period_ = 0; // the index of the period to load next
    std::vector<qint64> days_;
    std::vector<qint64> picks_; // the period's chosen candidates (indexes), BYSETPOS applied
    bool allPicked_ = true;     // every candidate counts (no BYSETPOS to apply)
    qint64 pick_ = 0;
    qint64 current_ = 0; // sub-daily: the period being handed out
    bool loaded_ = false;
    qint64 lastDateDay_ = LLONG_MIN;
};

} // namespace rv::ical
