#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QUrl>

namespace rv::test {

// A real Radicale (Debian's /usr/bin/radicale) on 127.0.0.1 on a free port, with its own
// storage, plain htpasswd users and a rights file, stopped when the object goes.
class RadicaleServer {
public:
    struct User {
        QString name;
        QString password;
    };

    RadicaleServer();
    ~RadicaleServer();
    RadicaleServer(const RadicaleServer&) = delete;
    RadicaleServer& operator=(const RadicaleServer&) = delete;

    // Starts the server and waits until its port answers; false with error() set otherwise.
    // rights: the text of a from_file rights file.
    bool start(const QList<User>& users, const QString& rights);
    void stop();
    bool running() const;
    QString error() const { return error_; }

    int port() const { return port_; }
    QUrl url() const;

    // Requests made as a user; each returns the HTTP status, 0 when the server did not answer.
    int request(const User& user, const QByteArray& method, const QString& path,
                const QByteArray& body = {}, const QByteArray& contentType = {},
                const QByteArray& depth = {});
    // A calendar collection with the whole iCalendar text (Radicale splits it into events).
    bool putCalendar(const User& user, const QString& path, const QByteArray& icalendar);
    // One event of a calendar.
    bool putEvent(const User& user, const QString& calendarPath, const QString& uid,
                  const QByteArray& icalendar);
    bool setDisplayName(const User& user, const QString& path, const QString& displayName);
    // Makes sure the user's principal exists (Radicale creates it at the user's first request).
    bool touchPrincipal(const User& user);

    // A port on 127.0.0.1 that nothing listens on right now.
    static int freePort();

private:
    bool waitForPort(int timeoutMs);
    QTemporaryDir dir_;
    QTemporaryDir storage_;
    QProcess process_;
    int port_ = 0;
    QString error_;
};

// A TCP listener that takes connections and never answers: a server that hangs.
class SilentServer {
public:
    SilentServer();
    ~SilentServer();
    int port() const { return port_; }

private:
    int socket_ = -1;
    int port_ = 0;
};

} // namespace rv::test
