// A CalDAV server's multistatus answer (PROPFIND and REPORT), read into resources and their
// properties, and the principals found in it matched against typed names as the group editor
// and the board do.

#include "fuzz_target.h"
#include "calendar/caldav/dav_xml.h"
#include "calendar/caldav/principal_match.h"
#include "calendar/calendar_service.h"

#include <cstdlib>

using namespace rv::caldav;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const QUrl request(QStringLiteral("http://127.0.0.1:5232/alice/"));
    std::vector<DavResource> resources;
    try {
        resources = parseMultistatus(rv::fuzz::bytesOf(data, size), request);
    } catch (const rv::CalendarError& error) {
        if (error.code() != rv::calendar_error::ServerError)
            std::abort();
        return 0;
    }
    std::vector<PrincipalEntry> entries;
    for (const DavResource& r : resources) {
        samePath(r.path, request.path());
        r.isA(prop::kPrincipal);
        r.isA(prop::kCalendar);
        for (const QString& name : {prop::kGetCtag, prop::kSyncToken, prop::kGetEtag,
                                    prop::kCalendarData, prop::kCurrentUserPrincipal})
            r.text(name);
        QStringList addresses;
        for (const QString& href : r.props.value(prop::kCalendarUserAddressSet).hrefs)
            addresses << href;
        entries.push_back({r.path, r.text(prop::kDisplayName), addresses, lastSegment(r.path)});
    }
    matchPrincipal(entries, QStringLiteral("alice"));
    matchPrincipal(entries, QStringLiteral("B"));
    if (!entries.empty()) {
        const PrincipalEntry& first = entries.front();
        if (!first.name().isEmpty()) {
            const auto match = matchPrincipal(entries, first.name());
            if (match && match->path.isEmpty() != first.path.isEmpty())
                std::abort();
        }
    }
    return 0;
}
