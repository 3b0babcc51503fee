#include "calendar/caldav/dav_http.h"

#include "calendar/calendar_service.h"

#include <curl/curl.h>

#include <mutex>

namespace rv::caldav {

namespace {

// Large enough for a calendar of many years, small enough that a runaway answer cannot eat
// the machine's memory.
constexpr qsizetype kMaxBodyBytes = qsizetype(512) * 1024 * 1024;
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
    if (received->body.size() + qsizetype(bytes) > kMaxBodyBytes) {
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
    return url.toString(QUrl::RemoveUserInfo | QUrl::RemoveQuery | QUrl::RemoveFragment);
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

namespace {

// Only http and https addresses reach libcurl.
void checkAddress(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        throw CalendarError(calendar_error::NotConnected,
                            QStringLiteral("\"%1\" is not an http or https address of a calendar "
                                           "server.")
                                .arg(shownUrl(url)));
}

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
                             QStringLiteral("The calendar server at %1 sent more data than a "
                                            "calendar can hold.")
                                 .arg(where));
    const QString detail =
        errorText[0] ? QString::fromUtf8(errorText) : QString::fromUtf8(curl_easy_strerror(result));
    return CalendarError(
        NotConnected,
        QStringLiteral("Cannot reach the calendar server at %1: %2.").arg(where, detail));
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
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
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
    HttpResponse response = perform(request);
    if (response.status == 401 && !impl_->havePassword) {
        // The server asks for a log-in: the password now, and the request once more with it.
        rememberAuthMethod();
        impl_->password = passwordSource_().toUtf8();
        impl_->havePassword = true;
        response = perform(request);
    }
    if (response.status == 401)
        throw CalendarError(LoginFailed, QStringLiteral("The calendar server at %1 refused the "
                                                        "user name \"%2\" or its password.")
                                             .arg(where, user_));
    if (response.status >= 500 && response.status != 501)
        throw CalendarError(ServerError,
                            QStringLiteral("The calendar server at %1 failed with HTTP status %2.")
                                .arg(where)
                                .arg(response.status));
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
    if (response.status == 401 && impl_->havePassword)
        throw CalendarError(LoginFailed, QStringLiteral("The calendar server at %1 refused the "
                                                        "user name \"%2\" or its password.")
                                             .arg(where, user_));
    if (response.status >= 500 && response.status != 501)
        throw CalendarError(ServerError,
                            QStringLiteral("The calendar server at %1 failed with HTTP status %2.")
                                .arg(where)
                                .arg(response.status));
    return response;
}

} // namespace rv::caldav
