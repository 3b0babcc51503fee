#include "support/fault_proxy.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace rv::test {

namespace {

sockaddr_in addressOf(const QByteArray& ip, int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(port));
    if (::inet_pton(AF_INET, ip.constData(), &address.sin_addr) != 1)
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

sockaddr_in loopback(int port) {
    return addressOf("127.0.0.1", port);
}

bool sendAll(int s, const QByteArray& bytes) {
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n =
            ::send(s, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += n;
    }
    return true;
}

// One whole request: the head up to the blank line and as many body bytes as it announces.
QByteArray readRequest(int s) {
    QByteArray bytes;
    char buffer[8192];
    qsizetype headEnd = -1;
    qsizetype length = 0;
    for (;;) {
        if (headEnd < 0) {
            headEnd = bytes.indexOf("\r\n\r\n");
            if (headEnd >= 0) {
                for (const QByteArray& line : bytes.left(headEnd).split('\n'))
                    if (line.trimmed().toLower().startsWith("content-length:"))
                        length = line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
                if (bytes.left(headEnd).toLower().contains("expect: 100-continue"))
                    sendAll(s, "HTTP/1.1 100 Continue\r\n\r\n");
            }
        }
        if (headEnd >= 0 && bytes.size() >= headEnd + 4 + length)
            return bytes;
        const ssize_t n = ::recv(s, buffer, sizeof buffer, 0);
        if (n <= 0)
            return {};
        bytes.append(buffer, n);
    }
}

QByteArray answer(const QByteArray& status, const QByteArray& type, const QByteArray& body) {
    return "HTTP/1.1 " + status + "\r\nContent-Type: " + type +
           "\r\nContent-Length: " + QByteArray::number(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

} // namespace

FaultProxy::FaultProxy(int serverPort, const QByteArray& listenAddress)
    : serverPort_(serverPort), listenAddress_(listenAddress) {}

FaultProxy::~FaultProxy() {
    stop();
}

QUrl FaultProxy::url() const {
    return QUrl(
        QStringLiteral("http://%1:%2/").arg(QString::fromLatin1(listenAddress_)).arg(port_));
}

bool FaultProxy::start() {
    stop();
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    if (listener < 0)
        return false;
    const int yes = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address = addressOf(listenAddress_, port_);
    socklen_t length = sizeof address;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, 16) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        ::pipe(wake_) != 0) {
        ::close(listener);
        return false;
    }
    port_ = ntohs(address.sin_port);
    stoppedByFault_ = false;
    thread_ = std::thread([this, listener] { run(listener); });
    return true;
}

void FaultProxy::stop() {
    if (thread_.joinable()) {
        (void)::write(wake_[1], "x", 1);
        thread_.join();
    }
    for (int& fd : wake_)
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    closeHeld();
}

void FaultProxy::setRule(Rule rule) {
    std::lock_guard lock(mutex_);
    rule_ = std::move(rule);
}

QList<QByteArray> FaultProxy::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

int FaultProxy::authorizedRequests() const {
    std::lock_guard lock(mutex_);
    return authorized_;
}

void FaultProxy::closeHeld() {
    std::lock_guard lock(mutex_);
    for (int fd : held_)
        ::close(fd);
    held_.clear();
}

void FaultProxy::run(int listener) {
    for (;;) {
        pollfd fds[2] = {{listener, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0)
            continue;
        if (fds[1].revents)
            break;
        const int client = ::accept(listener, nullptr, nullptr);
        if (client < 0)
            continue;
        serve(client);
        if (stoppedByFault_)
            break;
    }
    // From here on connections are refused, as by a server that has gone.
    ::close(listener);
}

void FaultProxy::serve(int client) {
    const QByteArray request = readRequest(client);
    if (request.isEmpty()) {
        ::close(client);
        return;
    }
    const QList<QByteArray> requestLine = request.left(request.indexOf("\r\n")).split(' ');
    const QByteArray method = requestLine.value(0);
    const QByteArray path = requestLine.value(1);
    Fault fault = Fault::None;
    {
        std::lock_guard lock(mutex_);
        requests_ << method + ' ' + path;
        if (request.left(request.indexOf("\r\n\r\n")).toLower().contains("\nauthorization:"))
            ++authorized_;
        if (rule_)
            fault = rule_(method, path);
    }
    switch (fault) {
    case Fault::None:
        forward(client, request);
        break;
    case Fault::ServerError:
        sendAll(client, answer("500 Internal Server Error", "text/plain", "Internal error\n"));
        break;
    case Fault::MalformedXml:
        sendAll(client, answer("207 Multi-Status", "application/xml; charset=utf-8",
                               "<?xml version=\"1.0\"?>\n<multistatus xmlns=\"DAV:\"><response>"
                               "<href>/x/</href><propstat><prop><displayname>Half"));
        break;
    case Fault::MethodNotAllowed:
        sendAll(client, answer("405 Method Not Allowed", "text/plain", "Method not allowed\n"));
        break;
    case Fault::NotAcceptable:
        sendAll(client, answer("406 Not Acceptable", "application/octet-stream",
                               "Unable to convert to text/calendar\n"));
        break;
    case Fault::NotImplemented:
        sendAll(client, answer("501 Not Implemented", "application/xml; charset=utf-8",
                               "<?xml version=\"1.0\"?>\n<d:error xmlns:d=\"DAV:\"/>\n"));
        break;
    case Fault::WebPage:
        sendAll(client, answer("200 OK", "text/html; charset=utf-8",
                               "<html><head><title>Calendar</title></head><body>A calendar"
                               "</body></html>\n"));
        break;
    case Fault::Endless: {
        sendAll(client,
                "HTTP/1.1 200 OK\r\nContent-Type: text/calendar\r\nConnection: close\r\n\r\n"
                "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n");
        const QByteArray event =
            QByteArray("BEGIN:VEVENT\r\nUID:endless\r\nDTSTART:20210301T090000\r\n"
                       "SUMMARY:Again\r\nEND:VEVENT\r\n")
                .repeated(1000);
        // Until the client gives up.
        while (sendAll(client, event)) {
        }
        break;
    }
    case Fault::Hang: {
        std::lock_guard lock(mutex_);
        held_.push_back(client);
        return;
    }
    case Fault::Stop:
        stoppedByFault_ = true;
        break;
    }
    ::close(client);
}

void FaultProxy::forward(int client, const QByteArray& request) {
    const int server = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = loopback(serverPort_);
    if (server < 0 ||
        ::connect(server, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        if (server >= 0)
            ::close(server);
        sendAll(client, answer("502 Bad Gateway", "text/plain", "No server\n"));
        return;
    }
    // The server answers at once; a client's expectation of a 100 was already met here.
    QByteArray passed = request;
    passed.replace("Expect: 100-continue\r\n", "");
    sendAll(server, passed);
    ::shutdown(server, SHUT_WR);
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::recv(server, buffer, sizeof buffer, 0);
        if (n <= 0 || !sendAll(client, QByteArray(buffer, n)))
            break;
    }
    ::close(server);
}

} // namespace rv::test
