// Reading a build's calendars ahead: the same requests the build's questions would make, sent
// side by side, and the months expanded on every core. Everything read here goes where the
// questions look first (the operation's principals and homes, the copies kept), so that the
// build then asks the server nothing it has not already been asked, and what it is shown is
// what it would have been shown.

#include "calendar/caldav/caldav_log.h"
#include "calendar/caldav/caldav_session.h"
#include "calendar/caldav/dav_xml.h"
#include "calendar/ical/expanded_calendar.h"

namespace rv::caldav {

namespace {

// Requests sent at once to one server: a few, so as not to swamp it.
constexpr int kRequestsAtOnce = 4;

using Handler = std::function<void(const HttpResponse&)>;

} // namespace

DavMulti& CalDavSession::multi() {
    if (!multi_)
        multi_ = std::make_unique<DavMulti>(http_, kRequestsAtOnce);
    return *multi_;
}

void CalDavSession::exchange(const std::vector<HttpRequest>& requests,
                             const std::vector<Handler>& handlers) {
    if (requests.empty() || failure_)
        return;
    const std::vector<DavMulti::Answer> answers = multi().send(requests);
    for (size_t i = 0; i < answers.size(); ++i) {
        if (const auto& failure = answers[i].failure) {
            const bool serviceWide = failure->code() == calendar_error::NotConnected ||
                                     failure->code() == calendar_error::Timeout ||
                                     failure->code() == calendar_error::LoginFailed;
            if (i == 0 && serviceWide) {
                failure_ = *failure;
                return;
            }
            // A server sending without end is not asked again in this operation, as send() has it.
            if (answers[i].tooLarge)
                failure_ = *failure;
            continue;
        }
        try {
            handlers[i](*answers[i].response);
        } catch (const CalendarError& error) {
            qCInfo(caldavLog()).noquote() << "not read ahead:" << error.message();
        }
    }
}

void CalDavSession::prefetch(const QStringList& principalPaths, int monthIndex) {
    if (!readAhead_ || principalPaths.isEmpty())
        return;
    touchOperation();
    if (failure_)
        return;

    // The principals not yet known in this operation: each by its own PROPFIND, or by the
    // listing of the home where its calendars were found before.
    std::vector<HttpRequest> requests;
    std::vector<Handler> handlers;
    QSet<QString> asked;
    for (const QString& path : principalPaths) {
        if (principals_.contains(path) || asked.contains(path))
            continue;
        asked.insert(path);
        const auto place = places_.constFind(path);
        if (place != places_.cend()) {
            if (homes_.contains(place->home) || asked.contains(place->home))
                continue;
            asked.insert(place->home);
            requests.push_back(homeRequest(place->home));
            handlers.push_back([this, home = place->home](const HttpResponse& response) {
                homes_.insert(home, homeFrom(home, response));
            });
        } else {
            requests.push_back(principalRequest(path));
            handlers.push_back([this, path](const HttpResponse& response) {
                principals_.insert(path, principalFrom(path, response));
            });
        }
    }
    exchange(requests, handlers);

    // The principals found, as principal() finds them from what was read (asking nothing more),
    // and the homes their calendars live in apart from them.
    std::vector<std::shared_ptr<const Principal>> people;
    requests.clear();
    handlers.clear();
    for (const QString& path : principalPaths) {
        const auto place = places_.constFind(path);
        const bool known = principals_.contains(path) ||
                           (place != places_.cend() && homes_.value(place->home).found);
        if (!known)
            continue;
        const std::shared_ptr<const Principal> person = principal(path);
        if (person->access != Principal::Access::Found)
            continue;
        people.push_back(person);
        for (const QString& home : person->homes)
            if (!samePath(home, path) && !homes_.contains(home) && !asked.contains(home)) {
                asked.insert(home);
                requests.push_back(homeRequest(home));
                handlers.push_back([this, home](const HttpResponse& response) {
                    homes_.insert(home, homeFrom(home, response));
                });
            }
    }
    exchange(requests, handlers);

    // Each person's calendar, chosen from what was read; then the calendars not kept at the
    // version the server names, whole where the server hands them out whole.
    std::vector<CalendarRef> calendars;
    for (const auto& person : people) {
        const bool listed =
            std::all_of(person->homes.begin(), person->homes.end(), [&](const QString& home) {
                return samePath(home, person->entry.path) || homes_.contains(home);
            });
        if (!listed)
            continue;
        try {
            calendars.push_back(defaultCalendar(*person));
        } catch (const CalendarError&) {
            // Denied: told when the build opens the calendar.
        }
    }
    std::vector<CalendarRef> byQuery;
    requests.clear();
    handlers.clear();
    for (const CalendarRef& calendar : calendars) {
        if (auto kept = keptCopy(calendar.path);
            kept && !calendar.version.isEmpty() && kept->version() == calendar.version)
            continue;
        if (!calendar.offersWhole || wholeRefused_.contains(calendar.path)) {
            byQuery.push_back(calendar);
            continue;
        }
        auto byEtag = std::make_shared<std::shared_ptr<const CalendarCopy>>();
        requests.push_back(wholeRequest(calendar, *byEtag));
        handlers.push_back([this, calendar, byEtag, &byQuery](const HttpResponse& response) {
            if (!wholeFrom(calendar, *byEtag, response))
                byQuery.push_back(calendar);
        });
    }
    exchange(requests, handlers);
    requests.clear();
    handlers.clear();
    for (const CalendarRef& calendar : byQuery) {
        requests.push_back(reportRequest(calendar));
        handlers.push_back(
            [this, calendar](const HttpResponse& response) { reportFrom(calendar, response); });
    }
    exchange(requests, handlers);

    // The month of every calendar read, expanded on every core.
    struct Month {
        std::shared_ptr<const CalendarCopy> copy;
        std::vector<Occurrence> occurrences;
        std::shared_ptr<AheadJobs::Job> job;
    };
    std::vector<std::shared_ptr<Month>> months;
    const TimeWindow window = ExpandedCalendar::windowOfMonth(monthIndex);
    for (const CalendarRef& calendar : calendars) {
        const auto copy = copies_.value(calendar.path);
        if (!copy || copy->hasMonth(monthIndex) ||
            (!calendar.version.isEmpty() && copy->version() != calendar.version))
            continue;
        if (!jobs_)
            jobs_ = std::make_unique<AheadJobs>();
        auto month = std::make_shared<Month>();
        month->copy = copy;
        month->job = jobs_->start([month = month.get(), window] {
            month->occurrences = expandTextWindow(month->copy->text(), window);
        });
        months.push_back(month);
    }
    for (const auto& month : months) {
        AheadJobs::finish(*month->job);
        month->copy->addMonth(monthIndex, std::make_shared<const std::vector<Occurrence>>(
                                              std::move(month->occurrences)));
    }
}

} // namespace rv::caldav
