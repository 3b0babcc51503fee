#include "calendar/ical/month_prefilter.h"

#include <QDate>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace rv {

namespace {

constexpr qint64 kDay = 86400;
// How far a zone, a floating time read as local time or a clock change can move a time from its
// own wall clock, at most (a day either side of UTC for the zone, another for the machine), with
// a day to spare; the largest offset a VTIMEZONE of the text names comes on top.
constexpr qint64 kZoneMargin = 3 * kDay;
// Events longer than this are kept whatever their dates: lengths the engine cannot represent are
// not second-guessed here.
constexpr qint64 kLongestSpan = 3660 * kDay;

// One unfolded line as libical's reader makes it: continuation lines (a newline followed by a
// blank or a tab) joined, the line end and trailing blanks taken off.
struct Line {
    qsizetype begin = 0; // first byte of its first physical line
    qsizetype end = 0;   // after the newline of its last physical line
    bool folded = false;
    qsizetype firstPartLength = 0; // of the first physical line, without its line end
    std::string_view text;         // into the text itself, or for a folded line into `joined`
    std::string joined;
};

bool isTrailingBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

class LineReader {
public:
    explicit LineReader(const QByteArray& text) : data_(text.constData()), size_(text.size()) {}

    bool next(Line& line) {
        if (pos_ >= size_)
            return false;
        line.begin = pos_;
        line.folded = false;
        const char* start = data_ + pos_;
        qsizetype length = physicalLine(start);
        line.firstPartLength = length;
        if (continues()) {
            // Only a line ended by a newline can be continued, and only one that held more than
            // the newline itself.
            line.folded = true;
            line.joined.assign(start, size_t(length));
            while (continues()) {
                const char* part = data_ + pos_;
                const qsizetype partLength = physicalLine(part);
                line.joined.append(part + 1, size_t(partLength - 1));
            }
            line.text = line.joined;
        } else {
            line.text = std::string_view(start, size_t(length));
        }
        line.end = pos_;
        while (!line.text.empty() && isTrailingBlank(line.text.back()))
            line.text.remove_suffix(1);
        return true;
    }

private:
    // Steps over the physical line at start; its length without the line end.
    qsizetype physicalLine(const char* start) {
        const char* newline =
            static_cast<const char*>(std::memchr(start, '\n', size_t(data_ + size_ - start)));
        const qsizetype length = newline ? newline - start : data_ + size_ - start;
        ended_ = newline != nullptr;
        emptyLine_ = length == 0;
        pos_ = (start - data_) + length + (ended_ ? 1 : 0);
        return length > 0 && ended_ && start[length - 1] == '\r' ? length - 1 : length;
    }
    bool continues() const {
        return ended_ && !emptyLine_ && pos_ < size_ && (data_[pos_] == ' ' || data_[pos_] == '\t');
    }

    const char* data_;
    qsizetype size_;
    qsizetype pos_ = 0;
    bool ended_ = false;
    bool emptyLine_ = false;
};

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

bool isUpperName(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
    });
}

// A content line split as NAME *(;PARAM) : VALUE; nothing when it cannot be split plainly.
struct Property {
    std::string_view name;
    std::string_view params; // without the leading ';'
    std::string_view value;
};

std::optional<Property> splitProperty(std::string_view line) {
    const size_t nameEnd = line.find_first_of(";:");
    if (nameEnd == std::string_view::npos || nameEnd == 0)
        return std::nullopt;
    Property p;
    p.name = line.substr(0, nameEnd);
    size_t i = nameEnd;
    if (line[i] == ';') {
        bool quoted = false;
        for (++i; i < line.size(); ++i) {
            if (line[i] == '"')
                quoted = !quoted;
            else if (line[i] == ':' && !quoted)
                break;
        }
        if (i >= line.size())
            return std::nullopt;
        p.params = line.substr(nameEnd + 1, i - nameEnd - 1);
    }
    p.value = line.substr(i + 1);
    return p;
}

// The VALUE parameter's text ("" without one); nothing when the parameters cannot be read
// plainly (a quote left open, a value written twice).
std::optional<std::string_view> valueType(std::string_view params) {
    std::string_view found;
    int seen = 0;
    while (!params.empty()) {
        bool quoted = false;
        size_t end = 0;
        for (; end < params.size(); ++end) {
            if (params[end] == '"')
                quoted = !quoted;
            else if (params[end] == ';' && !quoted)
                break;
        }
        if (quoted)
            return std::nullopt;
        const std::string_view param = params.substr(0, end);
        const size_t eq = param.find('=');
        if (eq == std::string_view::npos)
            return std::nullopt;
        if (equalsIgnoringCase(param.substr(0, eq), "VALUE")) {
            found = param.substr(eq + 1);
            ++seen;
        }
        params = end < params.size() ? params.substr(end + 1) : std::string_view();
    }
    if (seen > 1)
        return std::nullopt;
    return found;
}

std::optional<int> digits(std::string_view s, size_t at, size_t count) {
    if (at + count > s.size())
        return std::nullopt;
    int n = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (s[i] < '0' || s[i] > '9')
            return std::nullopt;
        n = n * 10 + (s[i] - '0');
    }
    return n;
}

struct RawTime {
    qint64 secs = 0; // its own wall clock as if it were UTC
    bool isDate = false;
};

// A DATE or DATE-TIME value in its basic form, with the type its VALUE parameter gives.
std::optional<RawTime> readRawTime(std::string_view params, std::string_view value) {
    const std::optional<std::string_view> type = valueType(params);
    if (!type)
        return std::nullopt;
    const bool date = value.size() == 8;
    const bool dateTime =
        (value.size() == 15 || (value.size() == 16 && value[15] == 'Z')) && value[8] == 'T';
    if (!(date || dateTime) || (*type == "DATE" && !date) || (*type == "DATE-TIME" && !dateTime) ||
        (!type->empty() && *type != "DATE" && *type != "DATE-TIME"))
        return std::nullopt;
    const auto y = digits(value, 0, 4), mo = digits(value, 4, 2), d = digits(value, 6, 2);
    if (!y || !mo || !d || *y < 1 || !QDate::isValid(*y, *mo, *d))
        return std::nullopt;
    RawTime t;
    t.isDate = date;
    t.secs = QDate(1970, 1, 1).daysTo(QDate(*y, *mo, *d)) * kDay;
    if (dateTime) {
        const auto h = digits(value, 9, 2), mi = digits(value, 11, 2), s = digits(value, 13, 2);
        if (!h || !mi || !s || *h > 23 || *mi > 59 || *s > 60)
            return std::nullopt;
        t.secs += *h * 3600 + *mi * 60 + *s;
    }
    return t;
}

// A DURATION in its plain forms: [+|-]P nW, or [+|-]P [nD] [T [nH] [nM] [nS]].
std::optional<qint64> readDuration(std::string_view v) {
    qint64 sign = 1;
    if (!v.empty() && (v[0] == '+' || v[0] == '-')) {
        sign = v[0] == '-' ? -1 : 1;
        v.remove_prefix(1);
    }
    if (v.size() < 3 || v[0] != 'P')
        return std::nullopt;
    v.remove_prefix(1);
    qint64 total = 0;
    bool inTime = false;
    std::string_view units = "WD";
    int parts = 0;
    while (!v.empty()) {
        if (v[0] == 'T') {
            if (inTime || v.size() < 3)
                return std::nullopt;
            inTime = true;
            units = "HMS";
            v.remove_prefix(1);
            continue;
        }
        size_t n = 0;
        qint64 amount = 0;
        while (n < v.size() && v[n] >= '0' && v[n] <= '9' && n < 7)
            amount = amount * 10 + (v[n++] - '0');
        if (n == 0 || n >= v.size())
            return std::nullopt;
        const size_t unit = units.find(v[n]);
        if (unit == std::string_view::npos)
            return std::nullopt;
        units.remove_prefix(unit + 1); // each unit once, in order
        static constexpr struct {
            char unit;
            qint64 secs;
        } kUnits[] = {{'W', 7 * kDay}, {'D', kDay}, {'H', 3600}, {'M', 60}, {'S', 1}};
        for (const auto& u : kUnits)
            if (u.unit == v[n])
                total += amount * u.secs;
        // Weeks stand alone.
        if (v[n] == 'W' && n + 1 != v.size())
            return std::nullopt;
        v.remove_prefix(n + 1);
        ++parts;
    }
    if (parts == 0)
        return std::nullopt;
    return sign * total;
}

// A UTC offset "+HHMM" or "-HHMMSS" in seconds, without its sign.
std::optional<qint64> readOffset(std::string_view v) {
    if ((v.size() != 5 && v.size() != 7) || (v[0] != '+' && v[0] != '-'))
        return std::nullopt;
    const auto h = digits(v, 1, 2), m = digits(v, 3, 2);
    const auto s = v.size() == 7 ? digits(v, 5, 2) : std::optional<int>(0);
    if (!h || !m || !s)
        return std::nullopt;
    return *h * 3600 + *m * 60 + *s;
}

// UIDs are compared as libical might read them and more loosely still (case, blanks and escapes
// ignored), by a hash: two UIDs that could be one, or merely hash alike, keep both events.
quint64 uidKey(std::string_view value) {
    quint64 hash = 14695981039346656037ULL; // FNV-1a
    for (char c : value)
        if (c != '\\' && c != ' ' && c != '\t')
            hash = (hash ^ quint64(std::tolower(static_cast<unsigned char>(c)))) * 1099511628211ULL;
    return hash;
}

struct EventScan {
    qsizetype begin = 0;
    qsizetype end = 0;
    bool keep = false; // something this reader cannot vouch for
    int uids = 0;
    quint64 uid = uidKey({}); // events without a UID share one key
    int starts = 0;
    int ends = 0;
    int durations = 0;
    std::optional<RawTime> start;
    std::optional<RawTime> finish;
    std::optional<qint64> duration;
};

char upper(char c) {
    return char(std::toupper(static_cast<unsigned char>(c)));
}

// The line's name: what comes before its first ';' or ':' (the whole line without either).
std::string_view nameOf(std::string_view line) {
    return line.substr(0, line.find_first_of(";:"));
}

// Whether a name is one of these, ignoring case (cheap for the names that are none).
bool named(std::string_view name, std::initializer_list<std::string_view> candidates) {
    for (std::string_view c : candidates)
        if (name.size() == c.size() && upper(name[0]) == c[0] && equalsIgnoringCase(name, c))
            return true;
    return false;
}

// One direct property of a VEVENT.
void readEventProperty(const Line& line, std::string_view name, EventScan& event) {
    if (name.size() == line.text.size() || name.empty() || name.find('.') != name.npos) {
        event.keep = true; // no value, or a name this reader does not know how libical reads
        return;
    }
    if (named(name, {"RRULE", "RDATE", "EXRULE", "RECURRENCE-ID"})) {
        event.keep = true;
        return;
    }
    // A name split over lines may read otherwise to libical; so may a value this reader takes.
    if (line.folded && line.firstPartLength <= qsizetype(name.size())) {
        event.keep = true;
        return;
    }
    if (!named(name, {"DTSTART", "DTEND", "DURATION", "UID"}))
        return;
    const std::optional<Property> p = splitProperty(line.text);
    if (!p || line.folded || !isUpperName(name)) {
        event.keep = true;
        return;
    }
    if (name == "UID") {
        ++event.uids;
        event.uid = uidKey(p->value);
    } else if (name == "DTSTART") {
        ++event.starts;
        event.start = readRawTime(p->params, p->value);
        event.keep = event.keep || !event.start;
    } else if (name == "DTEND") {
        ++event.ends;
        event.finish = readRawTime(p->params, p->value);
        event.keep = event.keep || !event.finish;
    } else {
        ++event.durations;
        event.duration = readDuration(p->value);
        event.keep = event.keep || !event.duration;
    }
}

// Whether the event cannot touch [fromSecs, toSecs] of raw wall seconds, margin included.
bool outside(const EventScan& e, qint64 fromSecs, qint64 toSecs, qint64 margin) {
    if (e.keep || e.uids > 1 || e.starts != 1 || e.ends > 1 || e.durations > 1 ||
        (e.ends && e.durations) || !e.start)
        return false;
    qint64 lo = e.start->secs;
    qint64 hi = e.start->secs;
    if (e.finish) {
        lo = std::min(lo, e.finish->secs);
        hi = std::max(hi, e.finish->secs);
    } else if (e.duration) {
        if (std::abs(*e.duration) > kLongestSpan)
            return false;
        lo = std::min(lo, e.start->secs + *e.duration);
        hi = std::max(hi, e.start->secs + *e.duration);
    }
    // An all-day event lasts its day at least, whatever its end says.
    hi += kDay;
    if (hi - lo > kLongestSpan)
        return false;
    return hi + margin < fromSecs || lo - margin > toSecs;
}

} // namespace

TimeWindow monthWindow(int year, int month) {
    const QDate first(year, month, 1);
    const qint64 from = QDate(1970, 1, 1).daysTo(first) * 1440;
    return TimeWindow{from, from + qint64(first.daysInMonth()) * 1440 - 1};
}

PrefilteredText textForWindow(const QByteArray& text, const TimeWindow& window) {
    PrefilteredText whole{text, 0};
    if (text.contains('\0'))
        return whole;

    std::vector<EventScan> events;
    std::vector<std::string> open; // the components open at this line
    qint64 largestOffset = 0;
    bool offsetsRead = true;
    Line line;
    LineReader reader(text);
    bool firstLine = true;
    while (reader.next(line)) {
        if (firstLine && !line.text.empty() && (line.text[0] == ' ' || line.text[0] == '\t'))
            return whole;
        firstLine = false;
        const std::string_view t = line.text;
        const std::string_view name = nameOf(t);
        const bool begins = named(name, {"BEGIN"});
        const bool ends = !begins && named(name, {"END"});
        if (begins || ends) {
            // Written plainly, on one line, or the text is left whole.
            const std::string_view keyword = begins ? "BEGIN:" : "END:";
            if (line.folded || t.substr(0, keyword.size()) != keyword ||
                !isUpperName(t.substr(keyword.size())))
                return whole;
            const std::string_view component = t.substr(keyword.size());
            if (begins) {
                const bool event = component == "VEVENT";
                if (event && !(open.size() == 1 && open[0] == "VCALENDAR"))
                    return whole;
                if (component == "VCALENDAR" && !open.empty())
                    return whole;
                open.emplace_back(component);
                if (event) {
                    events.emplace_back();
                    events.back().begin = line.begin;
                }
                // An alarm inside an event is read past; anything nested deeper keeps the event.
                if (open.size() > 3 && open[1] == "VEVENT")
                    events.back().keep = true;
            } else {
                if (open.empty() || open.back() != component)
                    return whole;
                open.pop_back();
                if (component == "VEVENT" && open.size() == 1)
                    events.back().end = line.end;
            }
            continue;
        }
        if (named(name, {"TZOFFSETFROM", "TZOFFSETTO"})) {
            const std::optional<Property> p = splitProperty(t);
            const std::optional<qint64> offset =
                p && !line.folded ? readOffset(p->value) : std::nullopt;
            if (offset)
                largestOffset = std::max(largestOffset, *offset);
            else
                offsetsRead = false;
        }
        if (open.size() == 2 && open[1] == "VEVENT")
            readEventProperty(line, name, events.back());
    }
    if (!open.empty() || events.empty() || !offsetsRead)
        return whole;

    std::unordered_map<quint64, int> uidCounts;
    uidCounts.reserve(events.size());
    for (const EventScan& e : events)
        ++uidCounts[e.uid];
    const qint64 margin = kZoneMargin + largestOffset;
    const qint64 fromSecs = window.fromMinute * 60;
    const qint64 toSecs = window.toMinute * 60 + 59;

    PrefilteredText out;
    qsizetype copied = 0;
    for (const EventScan& e : events) {
        if (uidCounts[e.uid] > 1 || !outside(e, fromSecs, toSecs, margin))
            continue;
        if (out.text.isEmpty())
            out.text.reserve(text.size());
        out.text.append(text.constData() + copied, e.begin - copied);
        copied = e.end;
        ++out.eventsLeftOut;
    }
    if (out.eventsLeftOut == 0)
        return whole;
    out.text.append(text.constData() + copied, text.size() - copied);
    return out;
}

} // namespace rv
