#include "calendar/caldav/dav_multi.h"

#include <curl/curl.h>

#include <map>
#include <memory>

namespace rv::caldav {

DavMulti::DavMulti(DavHttp& http, int atOnce) : http_(http) {
    CURLM* multi = curl_multi_init();
    if (multi) {
        curl_multi_setopt(multi, CURLMOPT_MAX_HOST_CONNECTIONS, long(std::max(1, atOnce)));
        curl_multi_setopt(multi, CURLMOPT_MAX_TOTAL_CONNECTIONS, long(std::max(1, atOnce)));
        curl_multi_setopt(multi, CURLMOPT_PIPELINING, long(CURLPIPE_NOTHING));
    }
    multi_ = multi;
}

DavMulti::~DavMulti() {
    if (multi_)
        curl_multi_cleanup(static_cast<CURLM*>(multi_));
}

DavMulti::Answer DavMulti::sendAlone(const HttpRequest& request) {
    Answer answer;
    try {
        answer.response = http_.send(request);
    } catch (const CalendarError& error) {
        answer.failure = error;
        answer.tooLarge = http_.lastAnswerTooLarge();
    }
    return answer;
}

std::vector<DavMulti::Answer> DavMulti::send(const std::vector<HttpRequest>& requests) {
    std::vector<Answer> answers(requests.size());
    size_t first = 0;
    // A connection that has asked nothing yet does not know whether the server wants a log-in.
    if (!requests.empty() && (http_.requestCount() == 0 || !multi_)) {
        answers[0] = sendAlone(requests[0]);
        first = 1;
    }
    if (!multi_) {
        for (size_t i = first; i < requests.size(); ++i)
            answers[i] = sendAlone(requests[i]);
        return answers;
    }
    CURLM* multi = static_cast<CURLM*>(multi_);
    std::map<CURL*, std::pair<size_t, std::shared_ptr<DavHttp::Transfer>>> running;
    for (size_t i = first; i < requests.size(); ++i) {
        try {
            auto transfer = http_.prepare(requests[i]);
            auto* handle = static_cast<CURL*>(DavHttp::handleOf(*transfer));
            if (curl_multi_add_handle(multi, handle) != CURLM_OK) {
                answers[i] = sendAlone(requests[i]);
                continue;
            }
            running.emplace(handle, std::make_pair(i, std::move(transfer)));
        } catch (const CalendarError& error) {
            answers[i].failure = error;
        }
    }
    std::vector<size_t> again; // answered 401: sent alone, for the password
    int stillRunning = int(running.size());
    while (!running.empty()) {
        if (curl_multi_perform(multi, &stillRunning) != CURLM_OK)
            break;
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
            if (message->msg != CURLMSG_DONE)
                continue;
            CURL* handle = message->easy_handle;
            const CURLcode result = message->data.result;
            curl_multi_remove_handle(multi, handle);
            auto done = running.find(handle);
            if (done == running.end())
                continue;
            const size_t index = done->second.first;
            try {
                HttpResponse response = http_.finish(*done->second.second, int(result));
                if (response.status == 401)
                    again.push_back(index);
                else
                    answers[index].response = std::move(response);
            } catch (const CalendarError& error) {
                answers[index].failure = error;
                answers[index].tooLarge = http_.lastAnswerTooLarge();
            }
            running.erase(done);
        }
        if (!running.empty())
            curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
    }
    // What the multi interface could not finish is sent the ordinary way.
    for (auto& [handle, entry] : running) {
        curl_multi_remove_handle(multi, handle);
        answers[entry.first] = sendAlone(requests[entry.first]);
    }
    for (size_t index : again)
        answers[index] = sendAlone(requests[index]);
    return answers;
}

} // namespace rv::caldav
