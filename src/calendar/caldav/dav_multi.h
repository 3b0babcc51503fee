#pragma once

#include "calendar/caldav/dav_http.h"
#include "calendar/calendar_service.h"

#include <optional>
#include <vector>

namespace rv::caldav {

// Requests to one server sent side by side through libcurl's multi interface: a few at a time,
// over connections kept open between them where the server allows, each set up and answered as
// DavHttp::send sets up and answers it (the same credentials, time-out and checks). The first
// request a connection makes goes alone, so that a server that asks for a log-in asks once; a
// request answered 401 is sent again through DavHttp::send, which asks for the password.
class DavMulti {
public:
    struct Answer {
        std::optional<HttpResponse> response;
        std::optional<CalendarError> failure; // what send() would have thrown
        bool tooLarge = false;                // the failure is an answer cut off for its size
    };

    DavMulti(DavHttp& http, int atOnce);
    ~DavMulti();
    DavMulti(const DavMulti&) = delete;
    DavMulti& operator=(const DavMulti&) = delete;

    // The answers in the order of the requests.
    std::vector<Answer> send(const std::vector<HttpRequest>& requests);

private:
    Answer sendAlone(const HttpRequest& request);

    DavHttp& http_;
    void* multi_ = nullptr; // CURLM, with its connections kept between calls
};

} // namespace rv::caldav
