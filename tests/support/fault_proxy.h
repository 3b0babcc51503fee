#pragma once

#include <QByteArray>
#include <QList>
#include <QUrl>
#include <atomic>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace rv::test {

// An HTTP proxy in front of a calendar server (a real Radicale) that passes each request on
// unchanged, or answers it with the fault or refusal a test chooses. It runs on a thread of its
// own: the program's HTTP calls block the thread that makes them.
class FaultProxy {
public:
    enum class Fault {
        None,         // passed on to the server
        ServerError,  // "500 Internal Server Error"
        MalformedXml, // "207 Multi-Status" with a multistatus document cut off in the middle
        Hang,         // the connection is taken and never answered
        Stop,         // the request is dropped unanswered and the proxy stops listening
        // What servers answer a GET they do not offer:
        MethodNotAllowed, // "405 Method Not Allowed"
        NotAcceptable,    // "406 Not Acceptable" (Xandikos, to Accept: text/calendar)
        NotImplemented,   // "501 Not Implemented" (SabreDAV)
        WebPage,          // "200 OK" with an HTML page (a server's browser view)
        Endless,          // "200 OK" with iCalendar text that never ends
    };
    // Chooses the fault for one request ("PROPFIND", "/carol/"); runs on the proxy's thread.
    using Rule = std::function<Fault(const QByteArray& method, const QByteArray& path)>;

    // Listens on the given IPv4 address of this machine (loopback unless told).
    explicit FaultProxy(int serverPort, const QByteArray& listenAddress = "127.0.0.1");
    ~FaultProxy();
    FaultProxy(const FaultProxy&) = delete;
    FaultProxy& operator=(const FaultProxy&) = delete;

    // Listens on 127.0.0.1 (on the port of the last start, if there was one); false when it
    // cannot.
    bool start();
    // Stops listening and drops the connections held open.
    void stop();

    int port() const { return port_; }
    QUrl url() const;
    const QByteArray& listenAddress() const { return listenAddress_; }

    void setRule(Rule rule);
    // "METHOD path" of every request seen, in order.
    QList<QByteArray> requests() const;
    // How many of them carried credentials (an Authorization header).
    int authorizedRequests() const;
    bool stoppedByFault() const { return stoppedByFault_; }

private:
    void run(int listener);
    void serve(int client);
    void forward(int client, const QByteArray& request);
    void closeHeld();

    int serverPort_;
    QByteArray listenAddress_;
    int port_ = 0;
    int wake_[2] = {-1, -1};
    std::thread thread_;
    std::atomic<bool> stoppedByFault_{false};
    mutable std::mutex mutex_;
    Rule rule_;
    QList<QByteArray> requests_;
    int authorized_ = 0;
    std::vector<int> held_;
};

} // namespace rv::test
