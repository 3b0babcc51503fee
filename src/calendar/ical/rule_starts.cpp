#include "calendar/ical/rule_starts_p.h"

#include "calendar/ical/ical_time_p.h"

#include <algorithm>
#include <cmath>

namespace rv::ical {

namespace {

constexpr qint64 kDay = kSecondsPerDay;
// Further than this from UNTIL, a start's own wall clock says on which side of it it lies: zones
// are less than a day apart.
constexpr qint64 kUntilMargin = 2 * kDay;

qint64 floorDiv(qint64 a, qint64 b) {
    const qint64 q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

qint64 ceilDiv(qint64 a, qint64 b) {
    return -floorDiv(-a, b);
}

bool leapYear(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && leapYear(y) ? 29 : days[m - 1];
}

int daysInYear(int y) {
    return leapYear(y) ? 366 : 365;
}

struct Civil {
    int year;
    int month;
    int day;
};

// The date of a day counted from 1970-01-01 (the inverse of dayNumber).
Civil civilOf(qint64 z) {
    z += 719468;
    const qint64 era = (z >= 0 ? z : z - 146096) / 146097;
    const qint64 doe = z - era * 146097;
    const qint64 yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const qint64 doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const qint64 mp = (5 * doy + 2) / 153;
    const int day = int(doy - (153 * mp + 2) / 5 + 1);
    const int month = int(mp < 10 ? mp + 3 : mp - 9);
    return {int(yoe + era * 400 + (month <= 2)), month, day};
}

// 1 for Sunday to 7 for Saturday, as libical numbers weekdays; 1970-01-01 was a Thursday.
int weekdayOf(qint64 day) {
    return int(((day + 4) % 7 + 7) % 7) + 1;
}

// The values of a BY list up to its end mark.
template <size_t N> std::vector<int> listOf(const short (&array)[N]) {
    std::vector<int> out;
    for (size_t i = 0; i < N && array[i] != ICAL_RECURRENCE_ARRAY_MAX; ++i)
        out.push_back(array[i]);
    return out;
}

// The first day of week 1 of a year: the week (starting on weekStart) holding at least four of
// the year's days.
qint64 firstWeekStart(int year, int weekStart) {
    const qint64 jan1 = dayNumber(year, 1, 1);
    const int offset = (weekdayOf(jan1) - weekStart + 7) % 7;
    return offset <= 3 ? jan1 - offset : jan1 - offset + 7;
}

// The candidates BYSETPOS keeps of `total`, as sorted indexes.
std::vector<qint64> setPositions(const std::vector<int>& positions, qint64 total) {
    std::vector<qint64> out;
    for (const int p : positions) {
        const qint64 index = p > 0 ? p - 1 : total + p;
        if (index >= 0 && index < total)
            out.push_back(index);
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

template <typename T> void sortUnique(std::vector<T>& values) {
    std::sort(values.begin(), values.end());
    values.erase(std::unique(values.begin(), values.end()), values.end());
}

template <typename T> void keepCommon(std::vector<T>& values, std::vector<T> other) {
    sortUnique(values);
    sortUnique(other);
    std::vector<T> common;
    std::set_intersection(values.begin(), values.end(), other.begin(), other.end(),
                          std::back_inserter(common));
    values.swap(common);
}

} // namespace

RuleStarts::RuleStarts(const icalrecurrencetype& rule, const icaltimetype& start, qint64 firstRaw,
                       qint64 lastRaw, std::function<bool(const icaltimetype&)> pastUntil)
    : start_(start), startRaw_(rawWallSeconds(start)), firstRaw_(firstRaw), lastRaw_(lastRaw),
      pastUntil_(std::move(pastUntil)) {
    if (start_.is_date)
        start_.hour = start_.minute = start_.second = 0;
    startDay_ = floorDiv(startRaw_, kDay);
    setUp(rule);
    if (!supported_ || done_)
        return;
    stopRaw_ = lastRaw_;
    if (hasUntil_)
        stopRaw_ = std::min(stopRaw_, untilRaw_ + kUntilMargin);
    dropUnreachableCount();
    if (startRaw_ > stopRaw_ || (!count_ && stopRaw_ < firstRaw_)) {
        done_ = true;
        return;
    }
    // Without a COUNT to follow, the walk begins at the window.
    const qint64 firstDay = floorDiv(std::max(firstRaw_, startRaw_), kDay);
    const Civil first = civilOf(firstDay);
    const Civil origin = civilOf(startDay_);
    switch (freq_) {
    case ICAL_SECONDLY_RECURRENCE:
    case ICAL_MINUTELY_RECURRENCE:
    case ICAL_HOURLY_RECURRENCE:
        next_ = count_ ? firstPeriod_ : std::max(firstPeriod_, firstRaw_ - offsets_.back());
        break;
    case ICAL_DAILY_RECURRENCE:
        period_ = count_ ? 0 : std::max<qint64>(0, floorDiv(firstDay - startDay_, interval_));
        break;
    case ICAL_WEEKLY_RECURRENCE:
        period_ = count_ ? 0 : std::max<qint64>(0, floorDiv(firstDay - weekOrigin_, 7 * interval_));
        break;
    case ICAL_MONTHLY_RECURRENCE:
        period_ = count_ ? 0
                         : std::max<qint64>(0, floorDiv((first.year - origin.year) * 12 +
                                                            first.month - origin.month,
                                                        interval_));
        break;
    default:
        // A week numbered in a year may begin in the year before.
        period_ =
            count_ ? 0 : std::max<qint64>(0, floorDiv(first.year - 1 - origin.year, interval_));
        break;
    }
}

void RuleStarts::setUp(const icalrecurrencetype& rule) {
    freq_ = rule.freq;
    if (freq_ == ICAL_NO_RECURRENCE ||
        (rule.rscale && *rule.rscale && qstricmp(rule.rscale, "GREGORIAN") != 0) ||
        (rule.skip != ICAL_SKIP_OMIT && rule.skip != ICAL_SKIP_UNDEFINED)) {
        supported_ = false;
        return;
    }
    interval_ = std::max<qint64>(1, rule.interval);
    count_ = std::max(0, rule.count);
    weekStart_ = rule.week_start >= ICAL_SUNDAY_WEEKDAY && rule.week_start <= ICAL_SATURDAY_WEEKDAY
                     ? int(rule.week_start)
                     : int(ICAL_MONDAY_WEEKDAY);
    hasUntil_ = !icaltime_is_null_time(rule.until);
    if (hasUntil_)
        untilRaw_ = rawWallSeconds(rule.until);

    // Values out of range are dropped; a BY part left with none leaves nothing to choose from.
    bool emptied = false;
    auto inRange = [&emptied](std::vector<int> values, int low, int high, bool negativeToo) {
        const bool given = !values.empty();
        values.erase(std::remove_if(values.begin(), values.end(),
                                    [&](int v) {
                                        const int a = negativeToo ? std::abs(v) : v;
                                        return a < low || a > high;
                                    }),
                     values.end());
        emptied = emptied || (given && values.empty());
        return values;
    };
    bySecond_ = inRange(listOf(rule.by_second), 0, 59, false);
    byMinute_ = inRange(listOf(rule.by_minute), 0, 59, false);
    byHour_ = inRange(listOf(rule.by_hour), 0, 23, false);
    byMonthDay_ = inRange(listOf(rule.by_month_day), 1, 31, true);
    byYearDay_ = inRange(listOf(rule.by_year_day), 1, 366, true);
    byWeekNo_ = inRange(listOf(rule.by_week_no), 1, 53, true);
    byMonth_ = inRange(listOf(rule.by_month), 1, 12, false);
    bySetPos_ = inRange(listOf(rule.by_set_pos), 1, 366 * 24 * 60 * 60, true);
    const std::vector<int> days = listOf(rule.by_day);
    for (const int d : days) {
        const int weekday = icalrecurrencetype_day_day_of_week(short(d));
        if (weekday >= ICAL_SUNDAY_WEEKDAY && weekday <= ICAL_SATURDAY_WEEKDAY)
            byDay_.push_back(short(d));
    }
    emptied = emptied || (!days.empty() && byDay_.empty());
    // What libical refuses: parts that do not go with the frequency, and yearly combinations it
    // does not implement.
    const bool daily = freq_ == ICAL_DAILY_RECURRENCE;
    const bool weekly = freq_ == ICAL_WEEKLY_RECURRENCE;
    const bool monthly = freq_ == ICAL_MONTHLY_RECURRENCE;
    const bool yearly = freq_ == ICAL_YEARLY_RECURRENCE;
    const bool refused = (!byWeekNo_.empty() && !yearly) ||
                         (!byYearDay_.empty() && (daily || weekly || monthly)) ||
                         (!byMonthDay_.empty() && weekly) ||
                         (yearly && !byYearDay_.empty() &&
                          (!byWeekNo_.empty() || !byMonth_.empty() || !byMonthDay_.empty())) ||
                         (yearly && !byWeekNo_.empty() &&
                          (!byMonthDay_.empty() || (!byMonth_.empty() && byDay_.empty())));
    if (emptied || refused) {
        done_ = true;
        return;
    }

    for (int m = 1; m <= 12; ++m)
        months_[m] = byMonth_.empty() || yearly ||
                     std::find(byMonth_.begin(), byMonth_.end(), m) != byMonth_.end();
    for (int h = 0; h < 24; ++h)
        hours_[h] =
            byHour_.empty() || std::find(byHour_.begin(), byHour_.end(), h) != byHour_.end();
    for (int m = 0; m < 60; ++m)
        minutes_[m] = byMinute_.empty() ||
                      std::find(byMinute_.begin(), byMinute_.end(), m) != byMinute_.end();
    for (int s = 0; s <= 60; ++s)
        seconds_[s] = bySecond_.empty() ||
                      std::find(bySecond_.begin(), bySecond_.end(), s) != bySecond_.end();

    const std::vector<int> hours = byHour_.empty() ? std::vector<int>{start_.hour} : byHour_;
    const std::vector<int> minutes =
        byMinute_.empty() ? std::vector<int>{start_.minute} : byMinute_;
    const std::vector<int> seconds =
        bySecond_.empty() ? std::vector<int>{std::min(start_.second, 59)} : bySecond_;
    switch (freq_) {
    case ICAL_SECONDLY_RECURRENCE:
    case ICAL_MINUTELY_RECURRENCE:
    case ICAL_HOURLY_RECURRENCE: {
        // A period is one step of the rule's unit; what it expands into lies within it.
        const qint64 unit = freq_ == ICAL_HOURLY_RECURRENCE     ? 3600
                            : freq_ == ICAL_MINUTELY_RECURRENCE ? 60
                                                                : 1;
        periodSeconds_ = unit * interval_;
        firstPeriod_ = startRaw_ - (startRaw_ - floorDiv(startRaw_, unit) * unit);
        if (freq_ == ICAL_HOURLY_RECURRENCE) {
            for (const int m : minutes)
                for (const int s : seconds)
                    offsets_.push_back(m * 60 + s);
        } else if (freq_ == ICAL_MINUTELY_RECURRENCE) {
            offsets_ = seconds;
        } else {
            offsets_ = {0};
        }
        sortUnique(offsets_);
        if (!bySetPos_.empty()) {
            std::vector<int> kept;
            for (const qint64 i : setPositions(bySetPos_, qint64(offsets_.size())))
                kept.push_back(offsets_[size_t(i)]);
            offsets_.swap(kept);
        }
        if (offsets_.empty())
            done_ = true;
        break;
    }
    default:
        // The times of a day are every hour, minute and second the rule names, in order: kept as
        // the three lists (a day of every second is 86,400 of them).
        timeHours_ = hours;
        timeMinutes_ = minutes;
        timeSeconds_ = seconds;
        sortUnique(timeHours_);
        sortUnique(timeMinutes_);
        sortUnique(timeSeconds_);
        timesPerDay_ =
            qint64(timeHours_.size()) * qint64(timeMinutes_.size()) * qint64(timeSeconds_.size());
        // A day's candidates are its times: with BYSETPOS, the same choice every day.
        if (daily && !bySetPos_.empty()) {
            dayPicks_ = setPositions(bySetPos_, timesPerDay_);
            if (dayPicks_.empty())
                done_ = true;
        }
        weekOrigin_ = startDay_ - (weekdayOf(startDay_) - weekStart_ + 7) % 7;
        break;
    }
}

// A COUNT larger than the starts the rule can possibly give up to the window's end cannot end
// the series within it: the walk need not count from the series' start.
void RuleStarts::dropUnreachableCount() {
    if (!count_)
        return;
    const qint64 stopDay = floorDiv(stopRaw_, kDay);
    const Civil stop = civilOf(stopDay);
    const Civil origin = civilOf(startDay_);
    const double times = double(timesPerDay_);
    double periods = 0;
    double perPeriod = 0;
    switch (freq_) {
    case ICAL_SECONDLY_RECURRENCE:
    case ICAL_MINUTELY_RECURRENCE:
    case ICAL_HOURLY_RECURRENCE:
        periods = double(floorDiv(stopRaw_ - firstPeriod_, periodSeconds_)) + 1;
        perPeriod = double(offsets_.size());
        break;
    case ICAL_DAILY_RECURRENCE:
        periods = double(floorDiv(stopDay - startDay_, interval_)) + 1;
        perPeriod = times;
        break;
    case ICAL_WEEKLY_RECURRENCE:
        periods = double(floorDiv(stopDay - weekOrigin_, 7 * interval_)) + 1;
        perPeriod = 7 * times;
        break;
    case ICAL_MONTHLY_RECURRENCE:
        periods = double(floorDiv((stop.year - origin.year) * 12 + stop.month - origin.month,
                                  interval_)) +
                  1;
        perPeriod = 31 * times;
        break;
    default:
        periods = double(floorDiv(stop.year + 1 - origin.year, interval_)) + 1;
        perPeriod = 371 * times;
        break;
    }
    if (!bySetPos_.empty())
        perPeriod = std::min(perPeriod, double(bySetPos_.size()));
    if (double(count_) > std::max(0.0, periods) * perPeriod)
        count_ = 0;
}

bool RuleStarts::dayAllowed(qint64 day, int year, int month, int dayOfMonth) const {
    if (!byMonthDay_.empty()) {
        const int length = daysInMonth(year, month);
        if (std::none_of(byMonthDay_.begin(), byMonthDay_.end(),
                         [&](int v) { return (v > 0 ? v : length + 1 + v) == dayOfMonth; }))
            return false;
    }
    if (!byYearDay_.empty()) {
        const qint64 dayOfYear = day - dayNumber(year, 1, 1) + 1;
        const int length = daysInYear(year);
        if (std::none_of(byYearDay_.begin(), byYearDay_.end(),
                         [&](int v) { return (v > 0 ? v : length + 1 + v) == dayOfYear; }))
            return false;
    }
    if (!byDay_.empty()) {
        const int weekday = weekdayOf(day);
        if (std::none_of(byDay_.begin(), byDay_.end(), [&](short v) {
                return int(icalrecurrencetype_day_day_of_week(v)) == weekday;
            }))
            return false;
    }
    return true;
}

// The days of [first, last] that BYDAY names: every such weekday, or the nth (from the end when
// negative) of them.
void RuleStarts::weekdaysIn(qint64 first, qint64 last, std::vector<qint64>& out) const {
    for (const short v : byDay_) {
        const int weekday = icalrecurrencetype_day_day_of_week(v);
        const int position = icalrecurrencetype_day_position(v);
        const qint64 firstMatch = first + (weekday - weekdayOf(first) + 7) % 7;
        const qint64 lastMatch = last - (weekdayOf(last) - weekday + 7) % 7;
        if (position == 0) {
            for (qint64 d = firstMatch; d <= last; d += 7)
                out.push_back(d);
        } else if (position > 0) {
            const qint64 d = firstMatch + 7 * qint64(position - 1);
            if (d <= last)
                out.push_back(d);
        } else {
            const qint64 d = lastMatch + 7 * qint64(position + 1);
            if (d >= first)
                out.push_back(d);
        }
    }
}

int RuleStarts::timeAt(qint64 index) const {
    const qint64 seconds = qint64(timeSeconds_.size());
    const qint64 minutes = qint64(timeMinutes_.size());
    return timeHours_[size_t(index / (minutes * seconds))] * 3600 +
           timeMinutes_[size_t(index / seconds % minutes)] * 60 +
           timeSeconds_[size_t(index % seconds)];
}

// The days BYMONTHDAY names in the month (the series' own day without it); a day the month does
// not have is skipped.
void RuleStarts::daysOfMonthByNumber(int year, int month, std::vector<qint64>& days) const {
    const int length = daysInMonth(year, month);
    const qint64 first = dayNumber(year, month, 1);
    const std::vector<int> monthDays =
        byMonthDay_.empty() ? std::vector<int>{start_.day} : byMonthDay_;
    for (const int v : monthDays) {
        const int d = v > 0 ? v : length + 1 + v;
        if (d >= 1 && d <= length)
            days.push_back(first + d - 1);
    }
}

// A monthly rule's days: those BYMONTHDAY names, those BYDAY names, or the days both name.
void RuleStarts::daysOfMonth(int year, int month, std::vector<qint64>& days) const {
    const int length = daysInMonth(year, month);
    const qint64 first = dayNumber(year, month, 1);
    if (!byMonthDay_.empty() || byDay_.empty())
        daysOfMonthByNumber(year, month, days);
    if (!byDay_.empty()) {
        std::vector<qint64> weekdays;
        weekdaysIn(first, first + length - 1, weekdays);
        if (byMonthDay_.empty())
            days.swap(weekdays);
        else
            keepCommon(days, weekdays);
    }
    sortUnique(days);
}

// A yearly rule's days: those BYYEARDAY names (BYDAY narrowing them), the days of the weeks
// BYWEEKNO names, or the days of its months (BYMONTH, else the series' own) that BYMONTHDAY or
// BYDAY name; BYDAY counts within each month when BYMONTH is given, else within the year.
void RuleStarts::daysOfYear(int year, std::vector<qint64>& days) const {
    const qint64 jan1 = dayNumber(year, 1, 1);
    const int length = daysInYear(year);
    if (!byYearDay_.empty()) {
        for (const int v : byYearDay_) {
            const int d = v > 0 ? v : length + 1 + v;
            if (d >= 1 && d <= length)
                days.push_back(jan1 + d - 1);
        }
        if (!byDay_.empty()) {
            std::vector<qint64> weekdays;
            weekdaysIn(jan1, jan1 + length - 1, weekdays);
            keepCommon(days, weekdays);
        }
    } else if (!byWeekNo_.empty()) {
        const qint64 week1 = firstWeekStart(year, weekStart_);
        const qint64 weeks = (firstWeekStart(year + 1, weekStart_) - week1) / 7;
        std::vector<int> weekdays;
        if (byDay_.empty())
            weekdays.push_back(weekdayOf(startDay_));
        for (const short v : byDay_)
            weekdays.push_back(icalrecurrencetype_day_day_of_week(v));
        for (const int w : byWeekNo_) {
            const qint64 n = w > 0 ? w : weeks + 1 + w;
            if (n < 1 || n > weeks)
                continue;
            for (const int weekday : weekdays) {
                const qint64 d = week1 + 7 * (n - 1) + (weekday - weekStart_ + 7) % 7;
                if (byMonth_.empty() ||
                    std::find(byMonth_.begin(), byMonth_.end(), civilOf(d).month) != byMonth_.end())
                    days.push_back(d);
            }
        }
    } else {
        const std::vector<int> months =
            byMonth_.empty() ? std::vector<int>{start_.month} : byMonth_;
        if (!byDay_.empty()) {
            std::vector<qint64> weekdays;
            if (byMonth_.empty()) {
                weekdaysIn(jan1, jan1 + length - 1, weekdays);
            } else {
                for (const int m : months) {
                    const qint64 first = dayNumber(year, m, 1);
                    weekdaysIn(first, first + daysInMonth(year, m) - 1, weekdays);
                }
            }
            if (byMonthDay_.empty()) {
                days.swap(weekdays);
            } else {
                for (const int m : months)
                    daysOfMonthByNumber(year, m, days);
                keepCommon(days, weekdays);
            }
        } else {
            for (const int m : months)
                daysOfMonthByNumber(year, m, days);
        }
    }
    sortUnique(days);
}

RuleStarts::Load RuleStarts::loadPeriod(qint64& allowance) {
    for (;;) {
        if (allowance <= 0)
            return Load::OutOfAllowance;
        --allowance;
        days_.clear();
        switch (freq_) {
        case ICAL_DAILY_RECURRENCE: {
            const qint64 day = startDay_ + period_ * interval_;
            if (day * kDay > stopRaw_)
                return Load::Finished;
            const Civil c = civilOf(day);
            if (!monthAllowed(c.month)) {
                // On to the first day of the series in the next month.
                const qint64 nextMonth =
                    c.month == 12 ? dayNumber(c.year + 1, 1, 1) : dayNumber(c.year, c.month + 1, 1);
                period_ = std::max(period_ + 1, ceilDiv(nextMonth - startDay_, interval_));
                continue;
            }
            ++period_;
            if (dayAllowed(day, c.year, c.month, c.day))
                days_.push_back(day);
            break;
        }
        case ICAL_WEEKLY_RECURRENCE: {
            const qint64 first = weekOrigin_ + period_ * 7 * interval_;
            if (first * kDay > stopRaw_)
                return Load::Finished;
            ++period_;
            std::vector<int> weekdays;
            if (byDay_.empty())
                weekdays.push_back(weekdayOf(startDay_));
            for (const short v : byDay_)
                weekdays.push_back(icalrecurrencetype_day_day_of_week(v));
            for (const int weekday : weekdays) {
                const qint64 d = first + (weekday - weekStart_ + 7) % 7;
                if (monthAllowed(civilOf(d).month))
                    days_.push_back(d);
            }
            sortUnique(days_);
            break;
        }
        case ICAL_MONTHLY_RECURRENCE: {
            const Civil origin = civilOf(startDay_);
            const qint64 index = qint64(origin.year) * 12 + origin.month - 1 + period_ * interval_;
            const int year = int(floorDiv(index, 12));
            const int month = int(index - qint64(year) * 12) + 1;
            if (dayNumber(year, month, 1) * kDay > stopRaw_)
                return Load::Finished;
            ++period_;
            if (monthAllowed(month))
                daysOfMonth(year, month, days_);
            break;
        }
        default: {
            const int year = civilOf(startDay_).year + int(period_ * interval_);
            // Week 1 of a year may begin up to three days before it.
            if ((dayNumber(year, 1, 1) - 3) * kDay > stopRaw_)
                return Load::Finished;
            ++period_;
            daysOfYear(year, days_);
            break;
        }
        }
        allowance -= qint64(days_.size());
        if (days_.empty())
            continue;
        allPicked_ = bySetPos_.empty();
        if (!allPicked_)
            picks_ = freq_ == ICAL_DAILY_RECURRENCE
                         ? dayPicks_
                         : setPositions(bySetPos_, qint64(days_.size()) * timesPerDay_);
        pick_ = 0;
        return Load::Loaded;
    }
}

RuleStarts::Offer RuleStarts::offer(qint64 raw,
                                    const std::function<void(const icaltimetype&)>& hand,
                                    qint64& allowance) {
    if (raw < startRaw_)
        return Offer::Next; // before the series' first start: no occurrence
    const qint64 day = floorDiv(raw, kDay);
    const Civil c = civilOf(day);
    icaltimetype t = start_;
    t.zone = nullptr;
    t.year = c.year;
    t.month = c.month;
    t.day = c.day;
    if (!start_.is_date) {
        const qint64 time = raw - day * kDay;
        t.hour = int(time / 3600);
        t.minute = int(time / 60 % 60);
        t.second = int(time % 60);
    } else {
        raw = day * kDay;
    }
    if (hasUntil_ && raw > untilRaw_ - kUntilMargin &&
        (raw > untilRaw_ + kUntilMargin || pastUntil_(t)))
        return Offer::Stop;
    if (count_ && ++seen_ > count_)
        return Offer::Stop;
    if (raw > lastRaw_)
        return Offer::Stop;
    if (raw < firstRaw_)
        return Offer::Next;
    // An all-day series repeating within the day names its day once.
    if (start_.is_date) {
        if (day == lastDateDay_)
            return Offer::Next;
        lastDateDay_ = day;
    }
    allowance -= kStartCost;
    hand(t);
    return Offer::Next;
}

bool RuleStarts::runSubDaily(qint64& allowance,
                             const std::function<void(const icaltimetype&)>& hand) {
    while (!done_) {
        while (!loaded_) {
            if (allowance <= 0)
                return false;
            --allowance;
            const qint64 period =
                firstPeriod_ + ceilDiv(next_ - firstPeriod_, periodSeconds_) * periodSeconds_;
            if (period > stopRaw_) {
                done_ = true;
                return true;
            }
            // Past a month, day, hour, minute or second the BY parts rule out, all at once.
            const qint64 day = floorDiv(period, kDay);
            const Civil c = civilOf(day);
            const qint64 time = period - day * kDay;
            const int hour = int(time / 3600);
            const int minute = int(time / 60 % 60);
            if (!monthAllowed(c.month))
                next_ = (c.month == 12 ? dayNumber(c.year + 1, 1, 1)
                                       : dayNumber(c.year, c.month + 1, 1)) *
                        kDay;
            else if (!dayAllowed(day, c.year, c.month, c.day))
                next_ = (day + 1) * kDay;
            else if (!hours_[hour])
                next_ = day * kDay + (hour + 1) * 3600;
            else if (freq_ != ICAL_HOURLY_RECURRENCE && !minutes_[minute])
                next_ = day * kDay + hour * 3600 + (minute + 1) * 60;
            else if (freq_ == ICAL_SECONDLY_RECURRENCE && !seconds_[time % 60])
                next_ = period + 1;
            else {
                current_ = period;
                pick_ = 0;
                loaded_ = true;
            }
        }
        while (pick_ < qint64(offsets_.size())) {
            if (allowance <= 0)
                return false;
            --allowance;
            if (offer(current_ + offsets_[size_t(pick_++)], hand, allowance) == Offer::Stop) {
                done_ = true;
                return true;
            }
        }
        loaded_ = false;
        next_ = current_ + periodSeconds_;
    }
    return true;
}

bool RuleStarts::runByPeriods(qint64& allowance,
                              const std::function<void(const icaltimetype&)>& hand) {
    const qint64 times = timesPerDay_;
    while (!done_) {
        if (!loaded_) {
            const Load load = loadPeriod(allowance);
            if (load == Load::OutOfAllowance)
                return false;
            if (load == Load::Finished) {
                done_ = true;
                return true;
            }
            loaded_ = true;
        }
        const qint64 picks = allPicked_ ? qint64(days_.size()) * times : qint64(picks_.size());
        while (pick_ < picks) {
            if (allowance <= 0)
                return false;
            --allowance;
            const qint64 index = allPicked_ ? pick_ : picks_[size_t(pick_)];
            ++pick_;
            const qint64 raw = days_[size_t(index / times)] * kDay + timeAt(index % times);
            if (offer(raw, hand, allowance) == Offer::Stop) {
                done_ = true;
                return true;
            }
        }
        loaded_ = false;
    }
    return true;
}

bool RuleStarts::run(qint64& allowance, const std::function<void(const icaltimetype&)>& hand) {
    if (!supported_ || done_)
        return true;
    switch (freq_) {
    case ICAL_SECONDLY_RECURRENCE:
    case ICAL_MINUTELY_RECURRENCE:
    case ICAL_HOURLY_RECURRENCE:
        return runSubDaily(allowance, hand);
    default:
        return runByPeriods(allowance, hand);
    }
}

} // namespace rv::ical
