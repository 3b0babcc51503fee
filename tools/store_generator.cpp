#include "tools/store_generator.h"

#include "calendar/ical/entry_id.h"
#include "calendar/calendar_service.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTime>
#include <algorithm>
#include <set>
#include <vector>

namespace rv::bench {

namespace {

// splitmix64: small, fast and the same on every compiler and library, unlike the standard
// distributions, whose results are left to each library.
class Random {
public:
    explicit Random(quint64 seed) : state_(seed) {}
    quint64 next() {
        quint64 z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // 0 .. n - 1
    int below(int n) { return n <= 1 ? 0 : int(next() % quint64(n)); }
    int between(int low, int high) { return low + below(high - low + 1); }
    bool percent(int p) { return below(100) < p; }
    template <typename T> const T& pick(const std::vector<T>& list) {
        return list[size_t(below(int(list.size())))];
    }

private:
    quint64 state_;
};

struct DemoPerson {
    const char* user;
    const char* displayName;
    const char* email;
    const char* timeZone;
    int group; // 0 Design, 1 Support
};

// The demo team. The connected user is the first; the fifth does not share a calendar with them.
const DemoPerson kDemoPeople[] = {
    {"alice", "Alice Brennan", "alice.brennan@example.org", "", 0},
    {"chloe", "Chlo\u00e9 Martin", "chloe.martin@example.org", "", 0},
    {"daniel", "Daniel Okafor", "daniel.okafor@example.org", "America/New_York", 0},
    {"hannah", "Hannah Lindqvist", "hannah.lindqvist@example.org", "", 0},
    {"marco", "Marco Rossi", "marco.rossi@example.org", "", 0},
    {"priya", "Priya Raman", "priya.raman@example.org", "", 0},
    {"ben", "Ben Carter", "ben.carter@example.org", "", 1},
    {"juergen", "J\u00fcrgen Wei\u00df", "juergen.weiss@example.org", "", 1},
    {"kenji", "Kenji Sato", "kenji.sato@example.org", "Asia/Tokyo", 1},
    {"laura", "Laura G\u00f3mez", "laura.gomez@example.org", "", 1},
    {"sam", "Sam Whitfield", "sam.whitfield@example.org", "America/New_York", 1},
    {"zoe", "Zoe Adams", "zoe.adams@example.org", "", 1},
};
constexpr int kDemoCount = int(sizeof(kDemoPeople) / sizeof(kDemoPeople[0]));
constexpr int kUnsharedIndex = 4;
constexpr int kReadersByEmailIndex = 5;
constexpr int kReadersEveryoneIndex = 6;
// The former member stands in the member files after this many people.
constexpr int kFormerMemberPosition = 3;

const char* const kFirstNames[] = {
    "Aaron",  "Beatrice", "Carlos", "Dana",   "Elif",  "Felix",  "Grace",   "Hugo",
    "Ingrid", "Jonas",    "Keira",  "Lucas",  "Maya",  "Nils",   "Olivia",  "Pavel",
    "Quinn",  "Rosa",     "Stefan", "Tara",   "Umar",  "Vera",   "William", "Ximena",
    "Yusuf",  "Zara",     "Amir",   "Bianca", "Conor", "Dmitri", "Esther",  "Farah",
    "Gavin",  "Helena",   "Ivan",   "Julia",  "Karim", "Lena",   "Mateo",   "Nadia"};
const char* const kLastNames[] = {
    "Abbott", "Bauer",  "Castillo", "Dubois",    "Evans",   "Fischer",  "Garcia",  "Hansen",
    "Ito",    "Jensen", "Kowalski", "Larsen",    "Moreau",  "Novak",    "Olsen",   "Patel",
    "Quinn",  "Reyes",  "Schmidt",  "Tanaka",    "Ueda",    "Varga",    "Walsh",   "Xu",
    "Young",  "Zimmer", "Ahmed",    "Brooks",    "Coleman", "Duarte",   "Eriksen", "Ferreira",
    "Grant",  "Horvat", "Iqbal",    "Jovanovic", "Keller",  "Lindgren", "Murphy",  "Nakamura"};
constexpr int kNameCount = 40;

const QStringList kGroupNames = {QStringLiteral("Design"), QStringLiteral("Support")};
const QString kEveryoneGroup = QStringLiteral("Everyone");

const char kProviderTag[] = "RotaviewLocal";

QString asciiUser(const QString& first, const QString& last) {
    return (first + QLatin1Char('.') + last).toLower();
}

// ---------------------------------------------------------------------------------------------
// iCalendar text

QString escapeText(QString text) {
    text.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    text.replace(QLatin1Char(';'), QStringLiteral("\\;"));
    text.replace(QLatin1Char(','), QStringLiteral("\\,"));
    text.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    return text;
}

// Content lines end in CRLF and are folded at 75 octets, never inside a UTF-8 sequence.
class ContentWriter {
public:
    void line(const QString& text) {
        const QByteArray utf8 = text.toUtf8();
        qsizetype pos = 0;
        int limit = 75;
        while (utf8.size() - pos > limit) {
            qsizetype cut = pos + limit;
            while (cut > pos && (uchar(utf8.at(cut)) & 0xC0) == 0x80)
                --cut;
            out_.append(utf8.mid(pos, cut - pos));
            out_.append("\r\n ");
            pos = cut;
            limit = 74; // the leading blank counts
        }
        out_.append(utf8.mid(pos));
        out_.append("\r\n");
    }
    const QByteArray& bytes() const { return out_; }

private:
    QByteArray out_;
};

const char* const kNewYorkZone[] = {"BEGIN:VTIMEZONE",
                                    "TZID:America/New_York",
                                    "BEGIN:DAYLIGHT",
                                    "TZOFFSETFROM:-0500",
                                    "TZOFFSETTO:-0400",
                                    "TZNAME:EDT",
                                    "DTSTART:19700308T020000",
                                    "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=2SU",
                                    "END:DAYLIGHT",
                                    "BEGIN:STANDARD",
                                    "TZOFFSETFROM:-0400",
                                    "TZOFFSETTO:-0500",
                                    "TZNAME:EST",
                                    "DTSTART:19701101T020000",
                                    "RRULE:FREQ=YEARLY;BYMONTH=11;BYDAY=1SU",
                                    "END:STANDARD",
                                    "END:VTIMEZONE"};
const char* const kTokyoZone[] = {"BEGIN:VTIMEZONE",         "TZID:Asia/Tokyo",  "BEGIN:STANDARD",
                                  "TZOFFSETFROM:+0900",      "TZOFFSETTO:+0900", "TZNAME:JST",
                                  "DTSTART:19700101T000000", "END:STANDARD",     "END:VTIMEZONE"};

QString dateText(QDate d) {
    return d.toString(QStringLiteral("yyyyMMdd"));
}

QString dateTimeText(QDate d, QTime t) {
    return dateText(d) + QLatin1Char('T') + t.toString(QStringLiteral("hhmmss"));
}

// One VEVENT's property lines, without BEGIN and END.
using Event = QStringList;

// Lays out one person's calendar.
class PersonCalendar {
public:
    PersonCalendar(const StorePlan& plan, int index)
        : plan_(plan), person_(plan.people[index]), group_(person_.team),
          random_(plan.options.seed * 1000003ull + quint64(index) * 7919ull + 17ull) {
        for (QDate d = plan.firstDay; d <= plan.lastDay; d = d.addDays(1))
            if (d.dayOfWeek() <= 5)
                workdays_.push_back(d);
    }

    QByteArray text() {
        std::vector<Event> events;
        layOut(events);
        const int wanted = std::max(0, plan_.options.eventsPerPerson);
        if (int(events.size()) > wanted)
            events.resize(size_t(wanted));

        ContentWriter w;
        w.line(QStringLiteral("BEGIN:VCALENDAR"));
        w.line(QStringLiteral("VERSION:2.0"));
        w.line(QStringLiteral("PRODID:-//Vantrel//Rotaview demo store//EN"));
        w.line(QStringLiteral("CALSCALE:GREGORIAN"));
        w.line(QStringLiteral("X-WR-CALNAME:") + escapeText(person_.displayName));
        if (person_.timeZone == QLatin1String("America/New_York"))
            for (const char* l : kNewYorkZone)
                w.line(QString::fromLatin1(l));
        else if (person_.timeZone == QLatin1String("Asia/Tokyo"))
            for (const char* l : kTokyoZone)
                w.line(QString::fromLatin1(l));
        for (const Event& e : events) {
            w.line(QStringLiteral("BEGIN:VEVENT"));
            for (const QString& l : e)
                w.line(l);
            w.line(QStringLiteral("END:VEVENT"));
        }
        w.line(QStringLiteral("END:VCALENDAR"));
        return w.bytes();
    }

private:
    // A date-time property in the person's zone (or floating, the machine's local time).
    QString timeProperty(const char* name, QDate d, QTime t) const {
        if (person_.timeZone.isEmpty())
            return QString::fromLatin1(name) + QLatin1Char(':') + dateTimeText(d, t);
        return QString::fromLatin1(name) + QStringLiteral(";TZID=") + person_.timeZone +
               QLatin1Char(':') + dateTimeText(d, t);
    }
    static QString dateProperty(const char* name, QDate d) {
        return QString::fromLatin1(name) + QStringLiteral(";VALUE=DATE:") + dateText(d);
    }
    // The end of the covered span, as a recurrence rule's UNTIL: UTC with a zoned start,
    // floating with a floating one.
    QString until() const {
        const QDate after = plan_.lastDay.addDays(1);
        return person_.timeZone.isEmpty() ? dateTimeText(plan_.lastDay, QTime(23, 59, 59))
                                          : dateTimeText(after, QTime(0, 0)) + QLatin1Char('Z');
    }

    Event newEvent(const QString& subject) {
        Event e;
        e << QStringLiteral("UID:%1-%2@rotaview.example")
                 .arg(person_.user)
                 .arg(++serial_, 5, 10, QLatin1Char('0'));
        e << QStringLiteral("DTSTAMP:") + dateTimeText(plan_.options.today, QTime(0, 0)) +
                 QLatin1Char('Z');
        e << QStringLiteral("SUMMARY:") + escapeText(subject);
        return e;
    }
    static QString uidOf(const Event& e) { return e.first().mid(4); }

    void timed(Event& e, QDate d, QTime start, int minutes) const {
        const qint64 total = qint64(start.msecsSinceStartOfDay() / 60000) + minutes;
        const QDate endDay = d.addDays(total / 1440);
        const QTime endTime = QTime(0, 0).addSecs(int(total % 1440) * 60);
        e << timeProperty("DTSTART", d, start) << timeProperty("DTEND", endDay, endTime);
    }

    // Days away, on which no meeting is put and the series are excluded.
    bool blocked(QDate d) const { return blocked_.count(d.toJulianDay()) > 0; }
    void block(QDate d) { blocked_.insert(d.toJulianDay()); }

    // A working day inside the span that nothing all-day or away holds.
    QDate freeWorkday() {
        for (int tries = 0; tries < 50; ++tries) {
            const QDate d = random_.pick(workdays_);
            if (!blocked(d))
                return d;
        }
        return random_.pick(workdays_);
    }

    // A working day in today's month (so that the demo's first board shows it), or anywhere.
    QDate freeWorkdayThisMonth() {
        std::vector<QDate> days;
        for (const QDate& d : workdays_)
            if (d.year() == plan_.options.today.year() &&
                d.month() == plan_.options.today.month() && !blocked(d))
                days.push_back(d);
        return days.empty() ? freeWorkday() : random_.pick(days);
    }

    void layOut(std::vector<Event>& out) {
        // Days away first: the series skip them and no meeting is put on them.
        std::vector<Event> away;
        layOutHolidays(away);
        layOutLeave(away);
        layOutTrips(away);
        layOutAllDay(away);

        std::vector<Event> series;
        std::vector<Event> moved;
        layOutSeries(series, moved);

        for (auto* part : {&series, &moved, &away})
            out.insert(out.end(), part->begin(), part->end());
        const int oneOffs = plan_.options.eventsPerPerson - int(out.size());
        for (int i = 0; i < oneOffs; ++i)
            out.push_back(oneOff());
    }

    void layOutHolidays(std::vector<Event>& out) {
        for (int year = plan_.firstDay.year(); year <= plan_.lastDay.year(); ++year) {
            const std::pair<QDate, const char*> days[] = {{QDate(year, 1, 1), "New Year's Day"},
                                                          {QDate(year, 12, 25), "Christmas Day"},
                                                          {QDate(year, 12, 26), "Boxing Day"}};
            for (const auto& [d, name] : days) {
                if (d < plan_.firstDay || d > plan_.lastDay)
                    continue;
                Event e = newEvent(QString::fromLatin1(name));
                e << dateProperty("DTSTART", d) << dateProperty("DTEND", d.addDays(1))
                  << QStringLiteral("TRANSP:TRANSPARENT");
                block(d);
                out.push_back(e);
            }
        }
    }

    void layOutLeave(std::vector<Event>& out) {
        const int months = plan_.options.monthsBefore + plan_.options.monthsAfter + 1;
        const int blocks = std::max(1, months / 6);
        for (int i = 0; i < blocks; ++i) {
            QDate start = freeWorkday();
            while (start.dayOfWeek() != 1 && start > plan_.firstDay && random_.percent(70))
                start = start.addDays(-1);
            const int days = random_.pick(std::vector<int>{3, 5, 5, 7, 10, 12});
            const bool family = random_.percent(20);
            Event e =
                newEvent(family ? QStringLiteral("Family visit") : QStringLiteral("Annual leave"));
            e << dateProperty("DTSTART", start) << dateProperty("DTEND", start.addDays(days));
            if (family)
                e << QStringLiteral("CATEGORIES:Personal");
            for (int k = 0; k < days; ++k)
                block(start.addDays(k));
            out.push_back(e);
        }
    }

    void layOutTrips(std::vector<Event>& out) {
        static const std::vector<QString> places = {
            QStringLiteral("Lyon"),   QStringLiteral("Rotterdam"), QStringLiteral("Krak\u00f3w"),
            QStringLiteral("Dublin"), QStringLiteral("Toronto"),   QStringLiteral("Singapore")};
        const int months = plan_.options.monthsBefore + plan_.options.monthsAfter + 1;
        for (int i = 0; i < std::max(1, months / 3); ++i) {
            const QDate start = freeWorkday();
            const int nights = random_.between(1, 3);
            const QString place = random_.pick(places);
            Event e = newEvent(QStringLiteral("Trip to ") + place);
            e << timeProperty("DTSTART", start, QTime(7, 30))
              << timeProperty("DTEND", start.addDays(nights), QTime(19, 0))
              << QStringLiteral("LOCATION:") + escapeText(place);
            for (int k = 0; k <= nights; ++k)
                block(start.addDays(k));
            out.push_back(e);
        }
    }

    void layOutAllDay(std::vector<Event>& out) {
        static const std::vector<QString> subjects = {
            QStringLiteral("Training day"), QStringLiteral("Conference"),
            QStringLiteral("Offsite workshop"), QStringLiteral("Company away day"),
            QStringLiteral("Volunteering day")};
        const int months = plan_.options.monthsBefore + plan_.options.monthsAfter + 1;
        for (int i = 0; i < months; ++i) {
            const QDate d = i == 0 ? freeWorkdayThisMonth() : freeWorkday();
            Event e = newEvent(random_.pick(subjects));
            e << dateProperty("DTSTART", d) << dateProperty("DTEND", d.addDays(1));
            block(d);
            out.push_back(e);
        }
    }

    // Excludes every occurrence that falls on a day away, and cancels `cancelled` more on free
    // days (weekday 0: any working day), none of them a moved occurrence's.
    void exclude(Event& e, QTime at, int weekday, int cancelled) {
        for (const QDate& d : workdays_)
            if ((weekday == 0 || d.dayOfWeek() == weekday) && blocked(d))
                e << timeProperty("EXDATE", d, at);
        for (int i = 0; i < cancelled; ++i) {
            const QDate d = nextFree(freeWorkday(), weekday);
            if (d <= plan_.lastDay && !moved_.count(d.toJulianDay()))
                e << timeProperty("EXDATE", d, at);
        }
    }

    // A moved occurrence of a series: same UID, the original start as RECURRENCE-ID.
    Event movedOccurrence(const Event& master, const QString& subject, QDate original,
                          QTime originalTime, QDate to, QTime at, int minutes) {
        Event e;
        e << QStringLiteral("UID:") + uidOf(master);
        e << QStringLiteral("DTSTAMP:") + dateTimeText(plan_.options.today, QTime(0, 0)) +
                 QLatin1Char('Z');
        e << timeProperty("RECURRENCE-ID", original, originalTime);
        e << QStringLiteral("SUMMARY:") + escapeText(subject);
        timed(e, to, at, minutes);
        return e;
    }

    // The first free day on or after d that falls on the weekday (1 Monday .. 5 Friday; 0 any
    // working day); after the span when there is none.
    QDate nextFree(QDate d, int weekday) const {
        while (d <= plan_.lastDay &&
               ((weekday == 0 ? d.dayOfWeek() > 5 : d.dayOfWeek() != weekday) || blocked(d)))
            d = d.addDays(1);
        return d;
    }

    void layOutSeries(std::vector<Event>& series, std::vector<Event>& moved) {
        const bool design = group_ == 0;
        const QDate first = workdays_.front();

        // Daily stand-up.
        const QTime standUpAt = design ? QTime(9, 15) : QTime(9, 0);
        const QString standUp =
            design ? QStringLiteral("Design stand-up") : QStringLiteral("Support stand-up");
        Event daily = newEvent(standUp);
        timed(daily, first, standUpAt, 15);
        daily << QStringLiteral("RRULE:FREQ=DAILY;BYDAY=MO,TU,WE,TH,FR;UNTIL=") + until();
        daily << QStringLiteral("LOCATION:Video call");

        // Weekly team meeting.
        const int teamDay = design ? 2 : 4;
        const QTime teamAt = design ? QTime(10, 0) : QTime(14, 0);
        const QString team = design ? QStringLiteral("Design team meeting")
                                    : QStringLiteral("Support weekly review");
        Event weekly = newEvent(team);
        timed(weekly, first.addDays((teamDay - first.dayOfWeek() + 7) % 7), teamAt, 60);
        weekly << QStringLiteral("RRULE:FREQ=WEEKLY;BYDAY=") + QLatin1String(design ? "TU" : "TH") +
                      QStringLiteral(";UNTIL=") + until();
        weekly << QStringLiteral("LOCATION:") +
                      (design ? QStringLiteral("Room Aurora") : QStringLiteral("Room Birch"));

        // Moved occurrences: two stand-ups, one of them this month, and this month's team meeting
        // moved to the next day.
        const QDate standUpMoved = freeWorkdayThisMonth();
        moved_.insert(standUpMoved.toJulianDay());
        moved.push_back(movedOccurrence(daily, standUp + QStringLiteral(" (moved)"), standUpMoved,
                                        standUpAt, standUpMoved, QTime(11, 30), 15));
        const QDate standUpLonger = freeWorkday();
        if (moved_.insert(standUpLonger.toJulianDay()).second)
            moved.push_back(movedOccurrence(daily, standUp, standUpLonger, standUpAt, standUpLonger,
                                            QTime(12, 0), 30));
        const QDate meeting = nextFree(freeWorkdayThisMonth().addDays(-6), teamDay);
        if (meeting >= first && meeting < plan_.lastDay && !moved_.count(meeting.toJulianDay())) {
            moved_.insert(meeting.toJulianDay());
            moved.push_back(movedOccurrence(weekly, team + QStringLiteral(" (moved)"), meeting,
                                            teamAt, meeting.addDays(1), QTime(15, 0), 90));
        }

        exclude(daily, standUpAt, 0, 2);
        exclude(weekly, teamAt, teamDay, 2);
        series.push_back(daily);
        series.push_back(weekly);

        // Monthly all-hands on the first Wednesday.
        QDate firstWednesday = plan_.firstDay;
        while (firstWednesday.dayOfWeek() != 3)
            firstWednesday = firstWednesday.addDays(1);
        Event monthly = newEvent(QStringLiteral("All-hands"));
        timed(monthly, firstWednesday, QTime(16, 0), 60);
        monthly << QStringLiteral("RRULE:FREQ=MONTHLY;BYDAY=1WE;UNTIL=") + until();
        series.push_back(monthly);

        // Fortnightly one-to-one.
        QDate firstFriday = plan_.firstDay;
        while (firstFriday.dayOfWeek() != 5)
            firstFriday = firstFriday.addDays(1);
        Event oneToOne = newEvent(QStringLiteral("1:1 with team lead"));
        timed(oneToOne, firstFriday, QTime(14, 0), 30);
        oneToOne << QStringLiteral("RRULE:FREQ=WEEKLY;INTERVAL=2;BYDAY=FR;UNTIL=") + until();
        oneToOne << QStringLiteral("CLASS:PRIVATE");
        series.push_back(oneToOne);
    }

    Event oneOff() {
        static const std::vector<QString> design = {
            QStringLiteral("Design review"),         QStringLiteral("Wireframe walkthrough"),
            QStringLiteral("User research session"), QStringLiteral("Brand workshop"),
            QStringLiteral("Sprint planning"),       QStringLiteral("Client presentation"),
            QStringLiteral("Accessibility audit"),   QStringLiteral("Prototype testing")};
        static const std::vector<QString> support = {
            QStringLiteral("Escalation review"), QStringLiteral("Customer call"),
            QStringLiteral("Ticket triage"),     QStringLiteral("Knowledge base update"),
            QStringLiteral("On-call handover"),  QStringLiteral("Vendor call"),
            QStringLiteral("Release briefing"),  QStringLiteral("Service report")};
        static const std::vector<QString> common = {
            QStringLiteral("Budget planning"), QStringLiteral("Lunch & learn"),
            QStringLiteral("Interview panel"), QStringLiteral("Quarterly planning, part 2"),
            QStringLiteral("Coffee with a new starter")};
        static const std::vector<QString> rooms = {
            QStringLiteral("Room Aurora"), QStringLiteral("Room Birch"),
            QStringLiteral("Video call"),  QStringLiteral("Cafeteria"),
            QStringLiteral("Client site"), QString()};
        static const std::vector<int> lengths = {30, 30, 45, 60, 60, 60, 60, 90, 90, 120, 120, 180};

        const int kind = random_.below(100);
        if (kind < 8) { // an evening
            const QDate d = random_.pick(workdays_).addDays(random_.percent(30) ? 1 : 0);
            static const std::vector<std::pair<QString, int>> evenings = {
                {QStringLiteral("Choir rehearsal"), 2},
                {QStringLiteral("Parents' evening"), 1},
                {QStringLiteral("Dinner with clients"), 0},
                {QStringLiteral("Evening class"), 1}};
            const auto& [subject, sensitivity] = random_.pick(evenings);
            Event e = newEvent(subject);
            timed(e, d, QTime(19, random_.percent(50) ? 0 : 30),
                  random_.pick(std::vector<int>{90, 120, 150}));
            sensitive(e, sensitivity);
            return e;
        }
        if (kind < 12) { // a weekend item
            QDate d = random_.pick(workdays_);
            while (d.dayOfWeek() < 6)
                d = d.addDays(1);
            if (d > plan_.lastDay)
                d = d.addDays(-7);
            static const std::vector<QString> weekend = {QStringLiteral("Football"),
                                                         QStringLiteral("Family lunch"),
                                                         QStringLiteral("Release weekend cover")};
            const QString subject = random_.pick(weekend);
            Event e = newEvent(subject);
            timed(e, d, QTime(random_.between(9, 15), 0),
                  random_.pick(std::vector<int>{60, 120, 240}));
            if (!subject.startsWith(QLatin1String("Release")))
                sensitive(e, 1);
            return e;
        }

        // Working hours; meetings come in clusters, so that busy and quiet days alternate.
        const QDate d = (lastDay_.isValid() && random_.percent(40)) ? lastDay_ : freeWorkday();
        lastDay_ = d;
        if (kind < 18) { // private appointment during the day
            static const std::vector<std::pair<QString, int>> privateOnes = {
                {QStringLiteral("Doctor's appointment"), 2},
                {QStringLiteral("Dentist"), 1},
                {QStringLiteral("Bank"), 2},
                {QStringLiteral("School pick-up"), 1}};
            const auto& [subject, sensitivity] = random_.pick(privateOnes);
            Event e = newEvent(subject);
            timed(e, d, QTime(random_.between(8, 16), random_.percent(50) ? 0 : 30),
                  random_.pick(std::vector<int>{30, 60, 90}));
            sensitive(e, sensitivity);
            return e;
        }
        if (kind < 23) { // confidential
            static const std::vector<QString> confidential = {
                QStringLiteral("Salary review"), QStringLiteral("Interview: senior designer"),
                QStringLiteral("Performance review"), QStringLiteral("Restructuring talks")};
            Event e = newEvent(random_.pick(confidential));
            timed(e, d, QTime(random_.between(9, 16), 0),
                  random_.pick(std::vector<int>{45, 60, 90}));
            sensitive(e, 3);
            return e;
        }
        if (kind < 29) { // a long workshop
            Event e = newEvent(group_ == 0 ? QStringLiteral("Design sprint workshop")
                                           : QStringLiteral("Incident post-mortem"));
            timed(e, d, QTime(random_.between(9, 11), 0), random_.between(3, 6) * 60);
            e << QStringLiteral("LOCATION:") + random_.pick(rooms);
            return e;
        }
        const std::vector<QString>& own = group_ == 0 ? design : support;
        Event e = newEvent(random_.percent(80) ? random_.pick(own) : random_.pick(common));
        timed(e, d, QTime(random_.between(8, 16), random_.pick(std::vector<int>{0, 15, 30, 45})),
              random_.pick(lengths));
        const QString room = random_.pick(rooms);
        if (!room.isEmpty())
            e << QStringLiteral("LOCATION:") + escapeText(room);
        return e;
    }

    static void sensitive(Event& e, int sensitivity) {
        if (sensitivity == 1)
            e << QStringLiteral("CATEGORIES:Personal");
        else if (sensitivity == 2)
            e << QStringLiteral("CLASS:PRIVATE");
        else if (sensitivity == 3)
            e << QStringLiteral("CLASS:CONFIDENTIAL");
    }

    const StorePlan& plan_;
    const StorePerson& person_;
    int group_;
    Random random_;
    std::vector<QDate> workdays_;
    std::set<qint64> blocked_;
    std::set<qint64> moved_;
    QDate lastDay_;
    int serial_ = 0;
};

// ---------------------------------------------------------------------------------------------
// Files

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes) != bytes.size() || !file.flush())
        throw std::runtime_error(
            QStringLiteral("Could not write %1: %2").arg(path, file.errorString()).toStdString());
}

QByteArray addressBook(const StorePlan& plan) {
    ContentWriter w;
    for (const StorePerson& p : plan.people) {
        w.line(QStringLiteral("BEGIN:VCARD"));
        w.line(QStringLiteral("VERSION:4.0"));
        w.line(QStringLiteral("UID:") + p.user);
        w.line(QStringLiteral("FN:") + escapeText(p.displayName));
        w.line(QStringLiteral("EMAIL:") + p.email);
        w.line(QStringLiteral("END:VCARD"));
    }
    return w.bytes();
}

QByteArray serviceProfile(const StorePlan& plan) {
    return QStringLiteral("; The calendar service of this workspace: the local store in ./store,\n"
                          "; read as the connected user below.\n"
                          "[Service]\n"
                          "Backend=local\n"
                          "[Local]\n"
                          "Folder=store\n"
                          "User=%1\n")
        .arg(plan.connectedUser)
        .toUtf8();
}

QByteArray readme(const StorePlan& plan) {
    QString text = QStringLiteral(
        "Rotaview demo workspace\n"
        "\n"
        "Rotaview reads its group files (Rotalist.dat, GRP0.DAT, ...) and the calendar service's\n"
        "profile (calendar-service.ini) from this folder, its working directory. The calendars "
        "are\n"
        "in store/: people.vcf is the address book, store/calendars/<user>.ics each person's\n"
        "calendar and <user>.readers, where present, who may read it.\n"
        "\n"
        "The connected user is %1. %2's calendar is not shared with them, so the board shows the\n"
        "access-denied picture in that row; %3 is still in the group files but has left the\n"
        "address book, so the board has no row for them.\n"
        "\n"
        "Nothing here is written again once the folder exists: delete the folder to get a fresh\n"
        "demo laid out around the current date.\n");
    QString unshared = plan.unsharedUser;
    for (const StorePerson& p : plan.people)
        if (p.user == plan.unsharedUser)
            unshared = p.displayName;
    return text.arg(plan.connectedUser, unshared, plan.formerMember.displayName).toUtf8();
}

// Runs the group-file writers, which work in the current working directory.
class WorkingDirectory {
public:
    explicit WorkingDirectory(const QString& path) : previous_(QDir::currentPath()) {
        if (!QDir::setCurrent(path))
            throw std::runtime_error(QStringLiteral("Could not enter %1").arg(path).toStdString());
    }
    ~WorkingDirectory() { QDir::setCurrent(previous_); }
    WorkingDirectory(const WorkingDirectory&) = delete;
    WorkingDirectory& operator=(const WorkingDirectory&) = delete;

private:
    QString previous_;
};

void writeGroupFiles(const QString& folder, const StorePlan& plan) {
    WorkingDirectory inside(folder);
    try {
        // The group writers keep records past the end marker; start from empty files so that
        // the bytes depend on the plan alone.
        workdir::remove(groupIndexFileName());
        QStringList names;
        for (int g = 0; g < int(plan.groups.size()); ++g) {
            names << plan.groups[g].name;
            workdir::remove(memberFileName(g));
        }
        write_group_index(names);
        for (int g = 0; g < int(plan.groups.size()); ++g)
            write_members(g, plan.groups[g].members);
    } catch (const FileError& error) {
        throw std::runtime_error(error.message().toStdString());
    }
}

} // namespace

StorePlan planStore(const StoreOptions& options) {
    if (options.people < 2)
        throw std::invalid_argument("A store needs at least two people.");
    if (!options.today.isValid())
        throw std::invalid_argument("The date the calendars are laid out around is not valid.");

    StorePlan plan;
    plan.options = options;
    const QDate firstMonth = options.today.addMonths(-std::max(0, options.monthsBefore));
    const QDate lastMonth = options.today.addMonths(std::max(0, options.monthsAfter));
    plan.firstDay = QDate(firstMonth.year(), firstMonth.month(), 1);
    plan.lastDay = QDate(lastMonth.year(), lastMonth.month(), lastMonth.daysInMonth());

    QSet<QString> users;
    for (int i = 0; i < options.people; ++i) {
        StorePerson p;
        int group = i % 2;
        if (i < kDemoCount) {
            const DemoPerson& d = kDemoPeople[i];
            p = {QString::fromLatin1(d.user), QString::fromUtf8(d.displayName),
                 QString::fromLatin1(d.email), QString::fromLatin1(d.timeZone), d.group};
            group = d.group;
        } else {
            const QString first = QString::fromLatin1(kFirstNames[i % kNameCount]);
            const QString last =
                QString::fromLatin1(kLastNames[(i + 3 * (i / kNameCount)) % kNameCount]);
            p.displayName = first + QLatin1Char(' ') + last;
            p.user = asciiUser(first, last);
            for (int n = 2; users.contains(p.user); ++n)
                p.user = asciiUser(first, last) + QString::number(n);
            p.email = p.user + QStringLiteral("@example.org");
            if (i % 10 == 3)
                p.timeZone = QStringLiteral("America/New_York");
            else if (i % 10 == 7)
                p.timeZone = QStringLiteral("Asia/Tokyo");
        }
        p.team = group;
        users.insert(p.user);
        plan.people << p;
    }
    plan.connectedUser = plan.people.front().user;
    plan.unsharedUser = plan.people[std::min(kUnsharedIndex, options.people - 1)].user;
    plan.formerMember = {QStringLiteral("tom"), QStringLiteral("Tom Fischer"),
                         QStringLiteral("tom.fischer@example.org"), QString(), 0};

    const auto member = [](const StorePerson& p) {
        return GroupMember{p.displayName, makeEntryId(kProviderTag, p.user)};
    };
    for (int g = 0; g < 2; ++g) {
        StoreGroup group{kGroupNames[g], {}};
        for (int i = 0; i < options.people; ++i) {
            if (plan.people[i].team != g)
                continue;
            if (g == 0 && group.members.size() == kFormerMemberPosition)
                group.members << member(plan.formerMember);
            group.members << member(plan.people[i]);
        }
        if (g == 0 && group.members.size() < kFormerMemberPosition + 1)
            group.members << member(plan.formerMember);
        plan.groups << group;
    }
    if (options.everyoneGroup) {
        StoreGroup everyone{kEveryoneGroup, {}};
        for (int i = 0; i < options.people; ++i) {
            if (i == kFormerMemberPosition)
                everyone.members << member(plan.formerMember);
            everyone.members << member(plan.people[i]);
        }
        if (options.people <= kFormerMemberPosition)
            everyone.members << member(plan.formerMember);
        plan.groups << everyone;
    }
    return plan;
}

QByteArray calendarText(const StorePlan& plan, int person) {
    return PersonCalendar(plan, person).text();
}

StorePlan writeStore(const QString& folder, const StoreOptions& options) {
    const StorePlan plan = planStore(options);
    const QDir root(folder);
    if (!QDir().mkpath(root.filePath(QStringLiteral("store/calendars"))))
        throw std::runtime_error(
            QStringLiteral("Could not create %1").arg(root.filePath("store")).toStdString());

    const QDir calendars(root.filePath(QStringLiteral("store/calendars")));
    writeFile(root.filePath(QStringLiteral("store/people.vcf")), addressBook(plan));
    for (int i = 0; i < int(plan.people.size()); ++i)
        writeFile(calendars.filePath(plan.people[i].user + QStringLiteral(".ics")),
                  calendarText(plan, i));

    // Who may read what: one calendar the connected user may not read, one shared by e-mail
    // address, one open to everyone in so many words; the rest have no list (everyone).
    const auto readers = [&](int index, const QStringList& lines) {
        if (index < int(plan.people.size()) && plan.people[index].user != plan.connectedUser)
            writeFile(calendars.filePath(plan.people[index].user + QStringLiteral(".readers")),
                      (lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
    };
    const QString owner = plan.unsharedUser;
    const int colleague = plan.people.size() > 3 && plan.people[3].user != owner ? 3 : 1;
    if (plan.people[colleague].user != owner)
        writeFile(
            calendars.filePath(owner + QStringLiteral(".readers")),
            (owner + QLatin1Char('\n') + plan.people[colleague].user + QLatin1Char('\n')).toUtf8());
    else
        writeFile(calendars.filePath(owner + QStringLiteral(".readers")),
                  (owner + QLatin1Char('\n')).toUtf8());
    if (kReadersByEmailIndex < int(plan.people.size()) &&
        plan.people[kReadersByEmailIndex].user != owner)
        readers(kReadersByEmailIndex, {plan.people.front().email, plan.people[1].user,
                                       plan.people[kReadersByEmailIndex].user});
    if (kReadersEveryoneIndex < int(plan.people.size()) &&
        plan.people[kReadersEveryoneIndex].user != owner)
        readers(kReadersEveryoneIndex, {QStringLiteral("*")});

    writeFile(root.filePath(QStringLiteral("calendar-service.ini")), serviceProfile(plan));
    writeFile(root.filePath(QStringLiteral("README.txt")), readme(plan));
    writeGroupFiles(root.absolutePath(), plan);
    return plan;
}

StorePlan createWorkspace(const QString& folder, const StoreOptions& options) {
    const QFileInfo target(folder);
    if (target.exists()) {
        if (!target.isDir() || !QDir(folder).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot |
                                                     QDir::Hidden | QDir::System))
            throw WorkspaceExists(
                QStringLiteral("%1 already exists and is not empty; it is left as it is.")
                    .arg(target.absoluteFilePath())
                    .toStdString());
    }
    const QString part = target.absoluteFilePath() + QStringLiteral(".part");
    QDir(part).removeRecursively();
    try {
        const StorePlan plan = writeStore(part, options);
        if (target.exists())
            QDir().rmdir(target.absoluteFilePath());
        if (!QDir().rename(part, target.absoluteFilePath()))
            throw std::runtime_error(QStringLiteral("Could not move %1 to %2")
                                         .arg(part, target.absoluteFilePath())
                                         .toStdString());
        return plan;
    } catch (...) {
        QDir(part).removeRecursively();
        throw;
    }
}

} // namespace rv::bench
