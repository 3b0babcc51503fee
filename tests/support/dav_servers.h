#pragma once

// Real CalDAV servers for tests, each started by the test on 127.0.0.1 on a free port with its
// own data in a temporary folder: Debian's Radicale, Xandikos and SabreDAV (php-sabre-dav run by
// `php -S` with tests/support/sabredav_server.php). A test program starts each server it needs
// once. The server runs under a small shell that the kernel stops when the test process ends
// (PR_SET_PDEATHSIG), and that then stops the server and deletes its folder: a test that aborts
// or is killed leaves neither behind.

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QUrl>
#include <map>
#include <memory>

namespace rv::caldav {
class DavHttp;
}

namespace rv::test {

// One calendar of a person.
struct DavCalendar {
    QString name;        // the last segment of its path
    QString displayName; // empty: the person's display name
};

// A person on a test server.
struct DavPerson {
    QString user;
    QString password;
    QString displayName;
    QString email;
    // Who else may read this person's calendars, where the server has access control (Xandikos
    // has none: everybody reads everything).
    QStringList readers;
    QList<DavCalendar> calendars = {{QStringLiteral("calendar"), {}}};
};

class DavServer {
public:
    enum class Kind { Radicale, Xandikos, SabreDav };
    static std::unique_ptr<DavServer> create(Kind kind);

    virtual ~DavServer();
    DavServer(const DavServer&) = delete;
    DavServer& operator=(const DavServer&) = delete;

    Kind kind() const { return kind_; }
    QString name() const;

    // Starts the server with these people and waits until it answers; false with error() set
    // otherwise. connectedUser is the one user Xandikos serves (it has no log-in).
    bool start(const QList<DavPerson>& people, const QString& connectedUser);
    void stop();
    bool running() const;
    QString error() const { return error_; }

    int port() const { return port_; }
    // The address a user gives in calendar-service.ini.
    QUrl url() const;
    virtual QString principalPath(const QString& user) const = 0;
    virtual QString calendarPath(const QString& user,
                                 const QString& calendar = QStringLiteral("calendar")) const = 0;

    // A request as the person; the HTTP status, 0 when the server did not answer.
    int request(const DavPerson& as, const QByteArray& method, const QString& path,
                const QByteArray& body = {}, const QByteArray& contentType = {},
                const QByteArray& depth = {});
    // Every event of the iCalendar text (masters with their overrides, by UID) as a resource of
    // its own, with the text's time zones: the one form all three servers take.
    bool putEvents(const DavPerson& owner, const QString& calendarPath, const QByteArray& text);
    // The calendar holds these events and no others.
    bool setEvents(const DavPerson& owner, const QString& calendarPath, const QByteArray& text);
    bool deleteEvent(const DavPerson& owner, const QString& calendarPath, const QString& uid);

    // A port on 127.0.0.1 that nothing listens on right now.
    static int freePort();

protected:
    explicit DavServer(Kind kind);
    // Writes the server's configuration into folder(); the program and its arguments.
    virtual bool prepare(const QList<DavPerson>& people, const QString& connectedUser) = 0;
    virtual QString program() const = 0;
    virtual QStringList arguments() const = 0;
    virtual QProcessEnvironment environment() const;
    // Makes the principals and calendars the server did not get from its configuration.
    virtual bool populate(const QList<DavPerson>& people) = 0;
    virtual QString base() const = 0; // the path url() ends in

    QString folder() const { return dir_.path(); }
    bool writeFile(const QString& name, const QByteArray& text);
    bool fail(const QString& why);

private:
    bool waitForPort(int timeoutMs);
    // One connection per person, which answers the server's challenge once.
    caldav::DavHttp& httpOf(const DavPerson& person);

    Kind kind_;
    QTemporaryDir dir_;
    QProcess process_;
    int port_ = 0;
    QString error_;
    std::map<QString, std::unique_ptr<caldav::DavHttp>> http_;
};

// A TCP listener that takes connections and never answers: a server that hangs.
class SilentServer {
public:
    SilentServer();
    int port() const { return server_.serverPort(); }

private:
    QTcpServer server_;
};

} // namespace rv::test
