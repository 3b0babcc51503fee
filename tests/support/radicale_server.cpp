#include "support/radicale_server.h"

#include "calendar/caldav/dav_http.h"
#include "calendar/calendar_service.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace rv::test {

namespace {

int boundSocket(int port, bool listening) {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    if (s < 0)
        return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        (listening && ::listen(s, 16) != 0)) {
        ::close(s);
        return -1;
    }
    return s;
}

int portOf(int s) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    return ntohs(address.sin_port);
}

bool writeFile(const QString& path, const QByteArray& text) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size();
}

} // namespace

namespace {

// Radicale syncs every item it writes to disk, which makes filling a calendar of a thousand
// events take half a minute on a disk; in memory it takes a second.
QString storageTemplate() {
    const QFileInfo shm(QStringLiteral("/dev/shm"));
    if (shm.isDir() && shm.isWritable())
        return QStringLiteral("/dev/shm/rotaview-radicale-XXXXXX");
    return QDir::tempPath() + QStringLiteral("/rotaview-radicale-XXXXXX");
}

} // namespace

RadicaleServer::RadicaleServer() : storage_(storageTemplate()) {}

RadicaleServer::~RadicaleServer() {
    stop();
}

int RadicaleServer::freePort() {
    const int s = boundSocket(0, false);
    if (s < 0)
        return 0;
    const int port = portOf(s);
    ::close(s);
    return port;
}

QUrl RadicaleServer::url() const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(port_));
}

bool RadicaleServer::running() const {
    return process_.state() != QProcess::NotRunning;
}

bool RadicaleServer::start(const QList<User>& users, const QString& rights) {
    if (!dir_.isValid() || !storage_.isValid()) {
        error_ = QStringLiteral("no temporary folder");
        return false;
    }
    if (!QFile::exists(QStringLiteral("/usr/bin/radicale"))) {
        error_ = QStringLiteral("/usr/bin/radicale is not installed (Debian package radicale)");
        return false;
    }
    QByteArray htpasswd;
    for (const User& u : users)
        htpasswd += u.name.toUtf8() + ':' + u.password.toUtf8() + '\n';
    port_ = freePort();
    const QString config = QStringLiteral("[server]\nhosts = 127.0.0.1:%1\n"
                                          "[auth]\ntype = htpasswd\nhtpasswd_filename = %2\n"
                                          "htpasswd_encryption = plain\ndelay = 0\n"
                                          "[rights]\ntype = from_file\nfile = %3\n"
                                          "[storage]\nfilesystem_folder = %4\n"
                                          "[web]\ntype = none\n"
                                          "[logging]\nlevel = warning\n")
                               .arg(port_)
                               .arg(dir_.filePath(QStringLiteral("users")),
                                    dir_.filePath(QStringLiteral("rights")), storage_.path());
    if (!writeFile(dir_.filePath(QStringLiteral("users")), htpasswd) ||
        !writeFile(dir_.filePath(QStringLiteral("rights")), rights.toUtf8()) ||
        !writeFile(dir_.filePath(QStringLiteral("config")), config.toUtf8())) {
        error_ = QStringLiteral("cannot write the server's configuration");
        return false;
    }
    // Debian's radicale runs under /usr/bin/python3, which sees Debian's Python packages.
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.start(QStringLiteral("/usr/bin/radicale"),
                   {QStringLiteral("--config"), dir_.filePath(QStringLiteral("config"))});
    if (!process_.waitForStarted(10000) || !waitForPort(20000)) {
        error_ =
            QStringLiteral("Radicale did not start: ") + QString::fromLocal8Bit(process_.readAll());
        stop();
        return false;
    }
    return true;
}

bool RadicaleServer::waitForPort(int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (process_.state() == QProcess::NotRunning)
            return false;
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(quint16(port_));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool up = ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        ::close(s);
        if (up)
            return true;
        QThread::msleep(50);
    }
    return false;
}

void RadicaleServer::stop() {
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.terminate();
    if (!process_.waitForFinished(5000)) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

int RadicaleServer::request(const User& user, const QByteArray& method, const QString& path,
                            const QByteArray& body, const QByteArray& contentType,
                            const QByteArray& depth) {
    caldav::DavHttp http(
        user.name, [password = user.password] { return password; }, 300);
    QUrl target = url();
    target.setPath(path, QUrl::DecodedMode);
    try {
        return http.send({method, target, body, contentType, depth, {}}).status;
    } catch (const CalendarError& e) {
        error_ = e.message();
        return e.code() == calendar_error::LoginFailed ? 401 : 0;
    }
}

bool RadicaleServer::putCalendar(const User& user, const QString& path,
                                 const QByteArray& icalendar) {
    const int status = request(user, "PUT", path, icalendar, "text/calendar; charset=utf-8");
    return status == 201 || status == 204 || status == 200;
}

bool RadicaleServer::putEvent(const User& user, const QString& calendarPath, const QString& uid,
                              const QByteArray& icalendar) {
    QString path = calendarPath;
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return putCalendar(user, path + uid + QStringLiteral(".ics"), icalendar);
}

bool RadicaleServer::setDisplayName(const User& user, const QString& path,
                                    const QString& displayName) {
    const QByteArray body = "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
                            "<D:propertyupdate xmlns:D=\"DAV:\"><D:set><D:prop><D:displayname>" +
                            displayName.toHtmlEscaped().toUtf8() +
                            "</D:displayname></D:prop></D:set></D:propertyupdate>";
    return request(user, "PROPPATCH", path, body, "application/xml; charset=utf-8") == 207;
}

bool RadicaleServer::touchPrincipal(const User& user) {
    const QByteArray body = "<?xml version=\"1.0\"?><D:propfind xmlns:D=\"DAV:\"><D:prop>"
                            "<D:resourcetype/></D:prop></D:propfind>";
    return request(user, "PROPFIND", QLatin1Char('/') + user.name + QLatin1Char('/'), body,
                   "application/xml", "0") == 207;
}

SilentServer::SilentServer() {
    socket_ = boundSocket(0, true);
    port_ = socket_ >= 0 ? portOf(socket_) : 0;
}

SilentServer::~SilentServer() {
    if (socket_ >= 0)
        ::close(socket_);
}

} // namespace rv::test
