#include "calendar/caldav/dav_http.h"

#include "calendar/calendar_service.h"

#include <curl/curl.h>

#include <QStringList>
#include <mutex>

namespace rv::caldav {

namespace {

constexpr long kMaxConnectMs = 5000;

void initCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct Received {
    QByteArray body;
    QByteArray etag;
    int exchanges = 0;
    bool tooLarge = false;
};

size_t onBody(char* data, size_t size, size_t count, void* user) {
    auto* received = static_cast<Received*>(user);
    const size_t bytes = size * count;
    if (received->body.size() + qsizetype(bytes) > DavHttp::kMaxBodyBytes) {
        received->tooLarge = true;
        return 0;
    }
    received->body.append(data, qsizetype(bytes));
    return bytes;
}

size_t onHeader(char* data, size_t size, size_t count, void* user) {
    auto* received = static_cast<Received*>(user);
    const size_t bytes = size * count;
    const QByteArray line = QByteArray(data, qsizetype(bytes)).trimmed();
    if (line.startsWith("HTTP/")) {
        // A new response: an interim or challenge answer's headers are not this one's.
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() > 1 && !parts[1].startsWith('1'))
            ++received->exchanges;
        received->etag.clear();
        received->body.clear();
    } else if (line.size() > 5 && line.left(5).toLower() == "etag:") {
        received->etag = line.mid(5).trimmed();
    }
    return bytes;
}

} // namespace

struct DavHttp::Impl {
    CURL* curl = nullptr;
    QByteArray password;
    bool havePassword = false;
    unsigned long authMethods = CURLAUTH_ANY;
};

QString shownUrl(const QUrl& url) {
    if (!url.isValid())
        return shownAddress(url.toString());
    return url.toString(QUrl::RemoveUserInfo | QUrl::RemoveQuery | QUrl::RemoveFragment);
}

QString shownAddress(const QString& text) {
    // The authority runs from after "//" (or the start) to the first '/', '?' or '#'; what it
    // holds up to its last '@' is the user information.
    const qsizetype slashes = text.indexOf(QLatin1String("//"));
    const qsizetype from = slashes >= 0 ? slashes + 2 : 0;
    qsizetype to = from;
    while (to < text.size() && text[to] != QLatin1Char('/') && text[to] != QLatin1Char('?') &&
           text[to] != QLatin1Char('#'))
        ++to;
    const qsizetype at = text.lastIndexOf(QLatin1Char('@'), to - 1);
    if (at < from)
        return text;
    return text.left(from) + text.mid(at + 1);
}

bool isLoopback(const QUrl& url) {
    const QString host = url.host().toLower();
    if (host == QLatin1String("localhost") || host == QLatin1String("localhost.") ||
        host == QLatin1String("::1") || host == QLatin1String("0:0:0:0:0:0:0:1"))
        return true;
    const QStringList parts = host.split(QLatin1Char('.'));
    if (parts.size() != 4 || parts[0] != QLatin1String("127"))
        return false;
    for (const QString& part : parts) {
        bool ok = false;
        const int value = part.toInt(&ok);
        if (!ok || value < 0 || value > 255)
            return false;
    }
    return true;
}

DavHttp::DavHttp(QString user, std::function<QString()> passwordSource, int timeoutSeconds)
    : impl_(new Impl), user_(std::move(user)), passwordSource_(std::move(passwordSource)),
      timeoutSeconds_(timeoutSeconds > 0 ? timeoutSeconds : 20) {
    initCurlOnce();
    impl_->curl = curl_easy_init();
}

DavHttp::~DavHttp() {
    if (impl_->curl)
        curl_easy_cleanup(impl_->curl);
    impl_->password.fill('\0');
    delete impl_;
}

void DavHttp::allowPlainHttp(std::function<bool(const QUrl&)> confirmPassword) {
    plainHttpAllowed_ = true;
    confirmPlainPassword_ = std::move(confirmPassword);
}

// Only http and https addresses reach libcurl, plain http only to this machine unless allowed.
void DavHttp::checkAddress(const QUrl& url) const {
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        throw CalendarError(calendar_error::NotConnected,
                            QStringLiteral("\"%1\" is not an http or https address of a calendar "
                                           "server.")
                                .arg(shownUrl(url)));
    if (scheme == QLatin1String("http") && !isLoopback(url) && !plainHttpAllowed_)
        throw CalendarError(calendar_error::NotConnected,
                            QStringLiteral("The calendar server address %1 is plain http to "
                                           "another machine: passwords and calendars would travel "
                                           "unencrypted. Use its https address.")
                                .arg(shownUrl(url)));
}

// Before a password goes unencrypted to another machine, the user says so, once per run.
void DavHttp::confirmPlainPassword(const QUrl& url) {
    if (url.scheme().toLower() != QLatin1String("http") || isLoopback(url))
        return;
    if (!plainPasswordAccepted_)
        plainPasswordAccepted_ = confirmPlainPassword_ && confirmPlainPassword_(url);
    if (!*plainPasswordAccepted_)
        throw CalendarError(calendar_error::LoginFailed,
                            QStringLiteral("The password of %1 was not sent to the calendar server "
                                           "at %2: the server asked for it over plain http, where "
                                           "it would travel unencrypted.")
                                .arg(user_, shownUrl(url)));
}

namespace {

// The request's own headers, and the ones every request carries. The caller frees the list.
curl_slist* headerList(const HttpRequest& request) {
    QList<QByteArray> lines = request.headers;
    // Radicale and others answer HTTP/1.0; an Expect handshake only costs a round trip.
    lines << QByteArray("Expect:");
    if (!request.depth.isEmpty())
        lines << "Depth: " + request.depth;
    if (!request.contentType.isEmpty())
        lines << "Content-Type: " + request.contentType;
    curl_slist* headers = nullptr;
    for (const QByteArray& line : lines)
        headers = curl_slist_append(headers, line.constData());
    return headers;
}

// What failed in the transfer itself, as the error the caller can tell the user.
CalendarError transferError(CURLcode result, const Received& received, const char* errorText,
                            const QString& where, int timeoutSeconds) {
    using namespace calendar_error;
    if (result == CURLE_OPERATION_TIMEDOUT)
        return CalendarError(Timeout, QStringLiteral("The calendar server at %1 did not answer "
                                                     "within %2 seconds.")
                                          .arg(where)
                                          .arg(timeoutSeconds));
    if (received.tooLarge)
        return CalendarError(ServerError,
                             QStringLiteral("The calendar server at %1 sent more than %2 MB in "
                                            "one answer, more than a calendar can hold.")
                                 .arg(where)
                                 .arg(DavHttp::kMaxBodyBytes / (1024 * 1024)));
    const QString detail =
        errorText[0] ? QString::fromUtf8(errorText) : QString::fromUtf8(curl_easy_strerror(result));
    return CalendarError(
        NotConnected,
        QStringLiteral("Cannot reach the calendar server at %1: %2.").arg(where, detail));
}

// An answer the server gave but that cannot be used: a refused log-in (when credentials were
// sent) or a server failure. 501 is left to the caller, which may try another way.
void throwOnFailedAnswer(int status, bool credentialsSent, const QString& where,
                         const QString& user) {
    using namespace calendar_error;
    if (status == 401 && credentialsSent)
        throw CalendarError(LoginFailed, QStringLiteral("The calendar server at %1 refused the "
                                                        "user name \"%2\" or its password.")
                                             .arg(where, user));
    if (status >= 500 && status != 501)
        throw CalendarError(ServerError,
                            QStringLiteral("The calendar server at %1 failed with HTTP status %2.")
                                .arg(where)
                                .arg(status));
}

} // namespace

void DavHttp::configure(const HttpRequest& request, const QByteArray& url, const QByteArray& user) {
    CURL* curl = impl_->curl;
    curl_easy_reset(curl);
    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, request.method.constData());
    if (request.method == "HEAD")
        curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, long(timeoutSeconds_) * 1000);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS,
                     std::min<long>(long(timeoutSeconds_) * 1000, kMaxConnectMs));
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
    // A redirect never takes a request (and its password) from https to plain http.
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR,
                     request.url.scheme().toLower() == QLatin1String("https") ? "https"
                                                                              : "http,https");
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "Rotaview");
    curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "");
    if (impl_->havePassword) {
        curl_easy_setopt(curl, CURLOPT_HTTPAUTH, impl_->authMethods);
        curl_easy_setopt(curl, CURLOPT_USERNAME, user.constData());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, impl_->password.constData());
    }
    if (!request.body.isEmpty() || request.method == "PUT" || request.method == "POST") {
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request.body.constData());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(request.body.size()));
    }
}

// Once the server has named its way of logging in (in its 401), the credentials go with the
// first request instead of waiting for a challenge every time.
void DavHttp::rememberAuthMethod() {
    long offered = 0;
    if (impl_->authMethods == CURLAUTH_ANY &&
        curl_easy_getinfo(impl_->curl, CURLINFO_HTTPAUTH_AVAIL, &offered) == CURLE_OK && offered) {
        if (offered & CURLAUTH_DIGEST)
            impl_->authMethods = CURLAUTH_DIGEST;
        else if (offered & CURLAUTH_BASIC)
            impl_->authMethods = CURLAUTH_BASIC;
    }
}

HttpResponse DavHttp::perform(const HttpRequest& request) {
    CURL* curl = impl_->curl;
    const QByteArray url = request.url.toEncoded();
    const QByteArray user = user_.toUtf8();
    configure(request, url, user);
    curl_slist* headers = headerList(request);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    Received received;
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &received);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &received);
    char errorText[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);

    const CURLcode result = curl_easy_perform(curl);
    curl_slist_free_all(headers);
    exchanges_ += std::max(received.exchanges, result == CURLE_OK ? 1 : 0);
    lastAnswerTooLarge_ = received.tooLarge;
    if (result != CURLE_OK || received.tooLarge)
        throw transferError(result, received, errorText, shownUrl(request.url), timeoutSeconds_);

    HttpResponse response;
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    response.status = int(status);
    char* contentType = nullptr;
    curl_easy_getinfo(curl, CURLINFO_CONTENT_TYPE, &contentType);
    if (contentType)
        response.contentType = QByteArray(contentType).toLower();
    response.body = std::move(received.body);
    response.etag = received.etag;
    return response;
}

HttpResponse DavHttp::send(const HttpRequest& request) {
    using namespace calendar_error;
    const QString where = shownUrl(request.url);
    if (!impl_->curl)
        throw CalendarError(NotConnected, QStringLiteral("The HTTP library could not be started."));
    checkAddress(request.url);

    ++requests_;
    lastAnswerTooLarge_ = false;
    HttpResponse response = perform(request);
    if (response.status == 401 && !impl_->havePassword) {
        // The server asks for a log-in: the password now, and the request once more with it.
        confirmPlainPassword(request.url);
        rememberAuthMethod();
        impl_->password = passwordSource_().toUtf8();
        impl_->havePassword = true;
        response = perform(request);
    }
    // A 401 here came after the password was given (or none could be).
    throwOnFailedAnswer(response.status, true, where, user_);
    if (impl_->havePassword)
        rememberAuthMethod();
    return response;
}

// A request on a handle of its own: the DavHttp's handle set up as for send() and copied, with
// what it receives kept here.
class DavHttp::Transfer {
public:
    ~Transfer() {
        if (handle)
            curl_easy_cleanup(handle);
        curl_slist_free_all(headers);
    }
    HttpRequest request; // the body and headers the handle points into
    QByteArray url;
    CURL* handle = nullptr;
    curl_slist* headers = nullptr;
    Received received;
    char errorText[CURL_ERROR_SIZE] = {};
};

std::shared_ptr<DavHttp::Transfer> DavHttp::prepare(const HttpRequest& request) {
    using namespace calendar_error;
    if (!impl_->curl)
        throw CalendarError(NotConnected, QStringLiteral("The HTTP library could not be started."));
    checkAddress(request.url);
    ++requests_;
    auto transfer = std::make_shared<Transfer>();
    transfer->request = request;
    transfer->url = request.url.toEncoded();
    const QByteArray user = user_.toUtf8();
    configure(transfer->request, transfer->url, user);
    transfer->handle = curl_easy_duphandle(impl_->curl);
    if (!transfer->handle)
        throw CalendarError(NotConnected, QStringLiteral("The HTTP library could not be started."));
    transfer->headers = headerList(transfer->request);
    curl_easy_setopt(transfer->handle, CURLOPT_HTTPHEADER, transfer->headers);
    curl_easy_setopt(transfer->handle, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(transfer->handle, CURLOPT_WRITEDATA, &transfer->received);
    curl_easy_setopt(transfer->handle, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(transfer->handle, CURLOPT_HEADERDATA, &transfer->received);
    curl_easy_setopt(transfer->handle, CURLOPT_ERRORBUFFER, transfer->errorText);
    curl_easy_setopt(transfer->handle, CURLOPT_PRIVATE, transfer.get());
    return transfer;
}

void* DavHttp::handleOf(Transfer& transfer) {
    return transfer.handle;
}

HttpResponse DavHttp::finish(Transfer& transfer, int curlResult) {
    using namespace calendar_error;
    const auto result = CURLcode(curlResult);
    const Received& received = transfer.received;
    const QString where = shownUrl(transfer.request.url);
    exchanges_ += std::max(received.exchanges, result == CURLE_OK ? 1 : 0);
    lastAnswerTooLarge_ = received.tooLarge;
    if (result != CURLE_OK || received.tooLarge)
        throw transferError(result, received, transfer.errorText, where, timeoutSeconds_);
    HttpResponse response;
    long status = 0;
    curl_easy_getinfo(transfer.handle, CURLINFO_RESPONSE_CODE, &status);
    response.status = int(status);
    char* contentType = nullptr;
    curl_easy_getinfo(transfer.handle, CURLINFO_CONTENT_TYPE, &contentType);
    if (contentType)
        response.contentType = QByteArray(contentType).toLower();
    response.body = received.body;
    response.etag = received.etag;
    throwOnFailedAnswer(response.status, impl_->havePassword, where, user_);
    return response;
}

} // namespace rv::caldav
