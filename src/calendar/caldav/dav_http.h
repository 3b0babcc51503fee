#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>
#include <functional>

namespace rv::caldav {

struct HttpRequest {
    QByteArray method = "GET";
    QUrl url;
    QByteArray body;
    QByteArray contentType; // of the body
    QByteArray depth;       // WebDAV Depth header, when given
    QList<QByteArray> headers;
};

struct HttpResponse {
    int status = 0;
    QByteArray body;
    QByteArray contentType;
    QByteArray etag;
};

// One blocking HTTP connection to a calendar server through libcurl: the handle is reused so
// that servers keeping connections open are not reconnected for every request, TLS
// certificates are verified, and every request is bounded by the time-out.
//
// send() throws CalendarError for what no caller can work around: NotConnected when the server
// cannot be reached, Timeout when it does not answer in time, LoginFailed for 401 and
// ServerError for 5xx. Every other status is the caller's to read.
class DavHttp {
public:
    // The password is asked for on the first request that needs it and kept in memory only;
    // passwordSource may throw CalendarError (no password to be had).
    DavHttp(QString user, std::function<QString()> passwordSource, int timeoutSeconds);
    ~DavHttp();
    DavHttp(const DavHttp&) = delete;
    DavHttp& operator=(const DavHttp&) = delete;

    HttpResponse send(const HttpRequest& request);

    // Requests asked of this connection, and HTTP exchanges actually made for them (an
    // authentication challenge answered costs one more).
    int requestCount() const { return requests_; }
    int exchangeCount() const { return exchanges_; }
    int timeoutSeconds() const { return timeoutSeconds_; }

private:
    void configure(const HttpRequest& request, const QByteArray& url, const QByteArray& user);
    void rememberAuthMethod();

    struct Impl;
    Impl* impl_;
    QString user_;
    std::function<QString()> passwordSource_;
    int timeoutSeconds_;
    int requests_ = 0;
    int exchanges_ = 0;
};

// The URL as shown in messages: without user name or password.
QString shownUrl(const QUrl& url);

} // namespace rv::caldav
