#include "support/dav_servers.h"

#include "calendar/caldav/dav_http.h"
#include "calendar/caldav/dav_xml.h"
#include "calendar/calendar_service.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <libical/ical.h>
#include <map>
#include <sys/prctl.h>
#include <unistd.h>

namespace rv::test {

namespace {

// Runs the server (the arguments after the folder) and stays its parent. On SIGTERM, from
// stop() or from the kernel when the test process ends, it stops the server and deletes the
// folder; when the server ends by itself it passes the server's log on and deletes the folder.
const char kSupervisor[] = R"(dir=$1
shift
pid=
trap 'if [ -n "$pid" ]; then kill -TERM "$pid" 2>/dev/null; wait "$pid"; fi; rm -rf "$dir"; exit 0' TERM INT HUP
"$@" >"$dir/server.log" 2>&1 &
pid=$!
wait "$pid"
status=$?
cat "$dir/server.log"
rm -rf "$dir"
exit "$status"
)";

// Radicale syncs every item it writes to disk and Xandikos commits each to git: in memory,
// filling calendars takes a fraction of the time.
QString folderParent() {
    const QFileInfo shm(QStringLiteral("/dev/shm"));
    return shm.isDir() && shm.isWritable() ? shm.filePath() : QDir::tempPath();
}

// Folders are named after the test process. When a whole process tree is killed at once (as
// CTest does at a time-out) nobody is left to delete them: the next start does.
QString folderTemplate() {
    QDir parent(folderParent());
    static const QRegularExpression ours(QStringLiteral("^rotaview-dav-(\\d+)-"));
    for (const QString& name : parent.entryList({QStringLiteral("rotaview-dav-*")}, QDir::Dirs)) {
        const auto match = ours.match(name);
        if (match.hasMatch() && ::kill(pid_t(match.captured(1).toLongLong()), 0) != 0 &&
            errno == ESRCH)
            QDir(parent.filePath(name)).removeRecursively();
    }
    return parent.filePath(QStringLiteral("rotaview-dav-%1-XXXXXX").arg(::getpid()));
}

QByteArray xmlText(const QString& text) {
    return text.toHtmlEscaped().toUtf8();
}

QString displayNameOf(const DavPerson& person, const DavCalendar& calendar) {
    return calendar.displayName.isEmpty() ? person.displayName : calendar.displayName;
}

QByteArray mkcalendarBody(const QString& displayName) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?><C:mkcalendar xmlns:D=\"DAV:\" "
           "xmlns:C=\"urn:ietf:params:xml:ns:caldav\"><D:set><D:prop><D:displayname>" +
           xmlText(displayName) + "</D:displayname></D:prop></D:set></C:mkcalendar>";
}

// The events of an iCalendar text, one VCALENDAR per UID (a series with its moved occurrences)
// with the text's properties and time zones.
QList<std::pair<QString, QByteArray>> splitByUid(const QByteArray& text) {
    QList<std::pair<QString, QByteArray>> events;
    icalcomponent* root = icalparser_parse_string(text.constData());
    if (!root)
        return events;
    std::vector<icalcomponent*> zones;
    std::map<QString, icalcomponent*> parts;
    QStringList order;
    for (icalcomponent* c = icalcomponent_get_first_component(root, ICAL_ANY_COMPONENT); c;
         c = icalcomponent_get_next_component(root, ICAL_ANY_COMPONENT)) {
        if (icalcomponent_isa(c) == ICAL_VTIMEZONE_COMPONENT) {
            zones.push_back(c);
            continue;
        }
        const QString uid = QString::fromUtf8(icalcomponent_get_uid(c));
        icalcomponent*& part = parts[uid];
        if (!part) {
            part = icalcomponent_new_vcalendar();
            for (icalproperty* p = icalcomponent_get_first_property(root, ICAL_ANY_PROPERTY); p;
                 p = icalcomponent_get_next_property(root, ICAL_ANY_PROPERTY))
                icalcomponent_add_property(part, icalproperty_new_clone(p));
            order << uid;
        }
        icalcomponent_add_component(part, icalcomponent_new_clone(c));
    }
    for (const QString& uid : order) {
        icalcomponent* part = parts[uid];
        for (icalcomponent* zone : zones)
            icalcomponent_add_component(part, icalcomponent_new_clone(zone));
        char* written = icalcomponent_as_ical_string_r(part);
        events.push_back({uid, QByteArray(written)});
        std::free(written);
        icalcomponent_free(part);
    }
    icalcomponent_free(root);
    return events;
}

QString resourceName(const QString& uid) {
    QString name = uid;
    name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9._@-]")), QStringLiteral("_"));
    return name + QStringLiteral(".ics");
}

QString withSlash(const QString& path) {
    return path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
}

// Radicale 3.1: htpasswd users with plain passwords, rights from a file (everyone their own
// collections and every principal; the readers theirs), principals at /NAME/.
class Radicale : public DavServer {
public:
    Radicale() : DavServer(Kind::Radicale) {}
    QString principalPath(const QString& user) const override {
        return QLatin1Char('/') + user + QLatin1Char('/');
    }
    QString calendarPath(const QString& user, const QString& calendar) const override {
        return principalPath(user) + calendar + QLatin1Char('/');
    }

protected:
    QString base() const override { return QStringLiteral("/"); }
    QString program() const override { return QStringLiteral("/usr/bin/radicale"); }
    QStringList arguments() const override {
        return {QStringLiteral("--config"), folder() + QStringLiteral("/config")};
    }
    bool prepare(const QList<DavPerson>& people, const QString&) override {
        QByteArray users;
        QString rights = QStringLiteral("[own]\nuser: .+\ncollection: {user}(/.*)?\n"
                                        "permissions: RrWw\n\n");
        for (const DavPerson& p : people) {
            users += p.user.toUtf8() + ':' + p.password.toUtf8() + '\n';
            if (p.readers.isEmpty())
                continue;
            QStringList readers;
            for (const QString& r : p.readers)
                readers << QRegularExpression::escape(r);
            rights += QStringLiteral("[read-%1]\nuser: (%2)\ncollection: %3/[^/]+\n"
                                     "permissions: r\n\n")
                          .arg(p.user, readers.join(QLatin1Char('|')),
                               QRegularExpression::escape(p.user));
        }
        rights += QStringLiteral("[principals]\nuser: .+\ncollection: [^/]+\npermissions: R\n\n"
                                 "[root]\nuser: .+\ncollection:\npermissions: R\n");
        const QString config =
            QStringLiteral("[server]\nhosts = 127.0.0.1:%1\n"
                           "[auth]\ntype = htpasswd\nhtpasswd_filename = %2/users\n"
                           "htpasswd_encryption = plain\ndelay = 0\n"
                           "[rights]\ntype = from_file\nfile = %2/rights\n"
                           "[storage]\nfilesystem_folder = %2/collections\n"
                           "[web]\ntype = none\n"
                           "[logging]\nlevel = warning\n")
                .arg(port())
                .arg(folder());
        return writeFile(QStringLiteral("users"), users) &&
               writeFile(QStringLiteral("rights"), rights.toUtf8()) &&
               writeFile(QStringLiteral("config"), config.toUtf8());
    }
    bool populate(const QList<DavPerson>& people) override {
        for (const DavPerson& p : people) {
            // The principal appears at the user's first request.
            const int named =
                p.displayName.isEmpty()
                    ? request(p, "PROPFIND", principalPath(p.user),
                              "<?xml version=\"1.0\"?><D:propfind xmlns:D=\"DAV:\"><D:prop>"
                              "<D:resourcetype/></D:prop></D:propfind>",
                              "application/xml", "0")
                    : request(p, "PROPPATCH", principalPath(p.user),
                              "<?xml version=\"1.0\" encoding=\"utf-8\"?><D:propertyupdate "
                              "xmlns:D=\"DAV:\"><D:set><D:prop><D:displayname>" +
                                  xmlText(p.displayName) +
                                  "</D:displayname></D:prop></D:set></D:propertyupdate>",
                              "application/xml; charset=utf-8");
            if (named != 207)
                return fail(QStringLiteral("no principal for %1 (HTTP %2)").arg(p.user).arg(named));
            for (const DavCalendar& c : p.calendars)
                if (request(p, "MKCALENDAR", calendarPath(p.user, c.name),
                            mkcalendarBody(displayNameOf(p, c)), "application/xml") != 201)
                    return fail(QStringLiteral("no calendar %1 for %2").arg(c.name, p.user));
        }
        return true;
    }
};

// Xandikos 0.2.8: no log-in and no access control; one connected user, fixed at start. A
// principal is a collection made with an extended MKCOL; its calendar home "calendars" below it.
class Xandikos : public DavServer {
public:
    Xandikos() : DavServer(Kind::Xandikos) {}
    QString principalPath(const QString& user) const override {
        return base() + user + QLatin1Char('/');
    }
    QString calendarPath(const QString& user, const QString& calendar) const override {
        return principalPath(user) + QStringLiteral("calendars/") + calendar + QLatin1Char('/');
    }

protected:
    QString base() const override { return QStringLiteral("/dav/"); }
    QString program() const override { return QStringLiteral("/usr/bin/xandikos"); }
    QStringList arguments() const override {
        return {QStringLiteral("-d"),
                folder() + QStringLiteral("/store"),
                QStringLiteral("-l"),
                QStringLiteral("127.0.0.1"),
                QStringLiteral("-p"),
                QString::number(port()),
                QStringLiteral("--route-prefix"),
                base(),
                QStringLiteral("--current-user-principal"),
                QLatin1Char('/') + connected_ + QLatin1Char('/')};
    }
    // Xandikos gives every principal the one address of its $EMAIL.
    QProcessEnvironment environment() const override {
        QProcessEnvironment env = DavServer::environment();
        env.insert(QStringLiteral("EMAIL"), email_);
        return env;
    }
    bool prepare(const QList<DavPerson>& people, const QString& connectedUser) override {
        connected_ = connectedUser;
        for (const DavPerson& p : people)
            if (p.user == connectedUser)
                email_ = p.email;
        return QDir(folder()).mkpath(QStringLiteral("store"));
    }
    bool populate(const QList<DavPerson>& people) override {
        for (const DavPerson& p : people) {
            const QByteArray principal =
                "<?xml version=\"1.0\" encoding=\"utf-8\"?><D:mkcol xmlns:D=\"DAV:\"><D:set>"
                "<D:prop><D:resourcetype><D:principal/></D:resourcetype><D:displayname>" +
                xmlText(p.displayName) + "</D:displayname></D:prop></D:set></D:mkcol>";
            if (request(p, "MKCOL", principalPath(p.user), principal, "application/xml") != 201 ||
                request(p, "MKCOL", principalPath(p.user) + QStringLiteral("calendars/")) != 201)
                return fail(QStringLiteral("no principal for %1").arg(p.user));
            for (const DavCalendar& c : p.calendars)
                if (request(p, "MKCALENDAR", calendarPath(p.user, c.name),
                            mkcalendarBody(displayNameOf(p, c)), "application/xml") != 201)
                    return fail(QStringLiteral("no calendar %1 for %2").arg(c.name, p.user));
        }
        return true;
    }

private:
    QString connected_;
    QString email_;
};

// SabreDAV 1.8 (Debian's php-sabre-dav) under `php -S`: users, principals and calendars in an
// SQLite database written before the start. A reader is a member of the owner's
// calendar-proxy-read group, which SabreDAV lets read the owner's principal and calendars.
class SabreDav : public DavServer {
public:
    SabreDav() : DavServer(Kind::SabreDav) {}
    QString principalPath(const QString& user) const override {
        return base() + QStringLiteral("principals/") + user + QLatin1Char('/');
    }
    QString calendarPath(const QString& user, const QString& calendar) const override {
        return base() + QStringLiteral("calendars/") + user + QLatin1Char('/') + calendar +
               QLatin1Char('/');
    }

protected:
    QString base() const override { return QStringLiteral("/dav/"); }
    QString program() const override { return QStringLiteral("/usr/bin/php"); }
    QStringList arguments() const override {
        return {QStringLiteral("-S"), QStringLiteral("127.0.0.1:%1").arg(port()),
                QStringLiteral(ROTAVIEW_SOURCE_DIR "/tests/support/sabredav_server.php")};
    }
    QProcessEnvironment environment() const override {
        QProcessEnvironment env = DavServer::environment();
        env.insert(QStringLiteral("SABRE_DB"), database());
        env.insert(QStringLiteral("SABRE_BASE"), base());
        return env;
    }
    bool prepare(const QList<DavPerson>& people, const QString&) override {
        QFile schema(QStringLiteral(ROTAVIEW_SOURCE_DIR "/tests/support/sabredav_schema.sql"));
        if (!schema.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("cannot read %1").arg(schema.fileName()));
        QByteArray sql = schema.readAll();
        // Readers join groups of principals that must all exist first: written last.
        QByteArray members;
        auto quoted = [](const QString& s) {
            return "'" + QString(s).replace(QLatin1Char('\''), QStringLiteral("''")).toUtf8() + "'";
        };
        for (const DavPerson& p : people) {
            const QByteArray principal = quoted(QStringLiteral("principals/") + p.user);
            const QByteArray digest =
                QCryptographicHash::hash(
                    (p.user + QStringLiteral(":SabreDAV:") + p.password).toUtf8(),
                    QCryptographicHash::Md5)
                    .toHex();
            sql += "INSERT INTO users (username, digesta1) VALUES (" + quoted(p.user) + ", '" +
                   digest + "');\n";
            sql += "INSERT INTO principals (uri, email, displayname) VALUES (" + principal + ", " +
                   quoted(p.email) + ", " + quoted(p.displayName) + ");\n";
            for (const char* proxy : {"/calendar-proxy-read", "/calendar-proxy-write"})
                sql += "INSERT INTO principals (uri) VALUES (" +
                       quoted(QStringLiteral("principals/") + p.user + QLatin1String(proxy)) +
                       ");\n";
            int order = 0;
            for (const DavCalendar& c : p.calendars)
                sql += "INSERT INTO calendars (principaluri, displayname, uri, ctag, components, "
                       "calendarorder, transparent) VALUES (" +
                       principal + ", " + quoted(displayNameOf(p, c)) + ", " + quoted(c.name) +
                       ", 1, 'VEVENT,VTODO', " + QByteArray::number(order++) + ", 0);\n";
            for (const QString& reader : p.readers)
                members +=
                    "INSERT INTO groupmembers (principal_id, member_id) SELECT g.id, m.id FROM "
                    "principals g, principals m WHERE g.uri = " +
                    quoted(QStringLiteral("principals/") + p.user +
                           QStringLiteral("/calendar-proxy-read")) +
                    " AND m.uri = " + quoted(QStringLiteral("principals/") + reader) + ";\n";
        }
        QProcess php;
        php.start(program(), {QStringLiteral("-r"),
                              QStringLiteral("$db = new PDO('sqlite:' . $argv[1]);"
                                             "$db->setAttribute(PDO::ATTR_ERRMODE, "
                                             "PDO::ERRMODE_EXCEPTION);"
                                             "$db->exec(stream_get_contents(STDIN));"),
                              database()});
        php.write(sql + members);
        php.closeWriteChannel();
        if (!php.waitForFinished(60000) || php.exitStatus() != QProcess::NormalExit ||
            php.exitCode() != 0)
            return fail(QStringLiteral("the SabreDAV database could not be made: ") +
                        QString::fromLocal8Bit(php.readAllStandardError() + php.readAll()));
        return true;
    }
    bool populate(const QList<DavPerson>&) override { return true; }

private:
    QString database() const { return folder() + QStringLiteral("/db.sqlite"); }
};

} // namespace

std::unique_ptr<DavServer> DavServer::create(Kind kind) {
    switch (kind) {
    case Kind::Radicale:
        return std::make_unique<Radicale>();
    case Kind::Xandikos:
        return std::make_unique<Xandikos>();
    case Kind::SabreDav:
        return std::make_unique<SabreDav>();
    }
    return nullptr;
}

DavServer::DavServer(Kind kind) : kind_(kind), dir_(folderTemplate()) {}

DavServer::~DavServer() {
    stop();
}

QString DavServer::name() const {
    switch (kind_) {
    case Kind::Radicale:
        return QStringLiteral("Radicale");
    case Kind::Xandikos:
        return QStringLiteral("Xandikos");
    case Kind::SabreDav:
        return QStringLiteral("SabreDAV");
    }
    return {};
}

QProcessEnvironment DavServer::environment() const {
    return QProcessEnvironment::systemEnvironment();
}

bool DavServer::writeFile(const QString& name, const QByteArray& text) {
    QFile file(dir_.filePath(name));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size())
        return true;
    return fail(QStringLiteral("cannot write %1").arg(file.fileName()));
}

bool DavServer::fail(const QString& why) {
    error_ = name() + QStringLiteral(": ") + why;
    return false;
}

int DavServer::freePort() {
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost) ? probe.serverPort() : 0;
}

QUrl DavServer::url() const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port_).arg(base()));
}

bool DavServer::running() const {
    return process_.state() != QProcess::NotRunning;
}

bool DavServer::start(const QList<DavPerson>& people, const QString& connectedUser) {
    if (!dir_.isValid())
        return fail(QStringLiteral("no temporary folder"));
    if (!QFile::exists(program()))
        return fail(program() + QStringLiteral(" is not installed (scripts/install-deps.sh)"));
    port_ = freePort();
    if (!prepare(people, connectedUser))
        return false;
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.setProcessEnvironment(environment());
    process_.setWorkingDirectory(folder());
    // The shell ends with the test process: the kernel sends it SIGTERM when its parent dies.
    const pid_t parent = ::getpid();
    process_.setChildProcessModifier([parent] {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(1);
    });
    process_.start(QStringLiteral("/bin/sh"),
                   QStringList{QStringLiteral("-c"), QString::fromLatin1(kSupervisor),
                               QStringLiteral("rotaview-dav-server"), folder(), program()} +
                       arguments());
    if (!process_.waitForStarted(10000) || !waitForPort(20000)) {
        stop();
        return fail(QStringLiteral("did not start: ") + QString::fromLocal8Bit(process_.readAll()));
    }
    if (!populate(people)) {
        stop();
        return false;
    }
    return true;
}

bool DavServer::waitForPort(int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (process_.state() == QProcess::NotRunning)
            return false;
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, quint16(port_));
        if (probe.waitForConnected(1000))
            return true;
        QThread::msleep(50);
    }
    return false;
}

void DavServer::stop() {
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.terminate();
    if (!process_.waitForFinished(10000)) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

caldav::DavHttp& DavServer::httpOf(const DavPerson& person) {
    auto& http = http_[person.user];
    if (!http)
        http = std::make_unique<caldav::DavHttp>(
            person.user, [password = person.password] { return password; }, 300);
    return *http;
}

int DavServer::request(const DavPerson& as, const QByteArray& method, const QString& path,
                       const QByteArray& body, const QByteArray& contentType,
                       const QByteArray& depth) {
    QUrl target = url();
    target.setPath(path, QUrl::DecodedMode);
    try {
        return httpOf(as).send({method, target, body, contentType, depth, {}}).status;
    } catch (const CalendarError& e) {
        error_ = e.message();
        return e.code() == calendar_error::LoginFailed ? 401 : 0;
    }
}

bool DavServer::putEvents(const DavPerson& owner, const QString& calendarPath,
                          const QByteArray& text) {
    const auto events = splitByUid(text);
    if (events.isEmpty())
        return fail(QStringLiteral("no event to put into %1").arg(calendarPath));
    for (const auto& [uid, body] : events) {
        const int status = request(owner, "PUT", withSlash(calendarPath) + resourceName(uid), body,
                                   "text/calendar; charset=utf-8");
        if (status != 200 && status != 201 && status != 204)
            return fail(QStringLiteral("PUT of %1 into %2 answered %3 %4")
                            .arg(uid, calendarPath)
                            .arg(status)
                            .arg(error_));
    }
    return true;
}

bool DavServer::setEvents(const DavPerson& owner, const QString& calendarPath,
                          const QByteArray& text) {
    QUrl target = url();
    target.setPath(calendarPath, QUrl::DecodedMode);
    try {
        const auto listing =
            httpOf(owner).send({"PROPFIND",
                                target,
                                caldav::propfindBody({caldav::prop::kResourceType}),
                                "application/xml",
                                "1",
                                {}});
        if (listing.status != 207)
            return fail(
                QStringLiteral("cannot list %1 (HTTP %2)").arg(calendarPath).arg(listing.status));
        for (const auto& r : caldav::parseMultistatus(listing.body, target))
            if (!caldav::samePath(r.path, calendarPath) && !r.isA(caldav::prop::kCollection) &&
                request(owner, "DELETE", r.path) / 100 != 2)
                return fail(QStringLiteral("cannot delete %1").arg(r.path));
    } catch (const CalendarError& e) {
        return fail(e.message());
    }
    return putEvents(owner, calendarPath, text);
}

bool DavServer::deleteEvent(const DavPerson& owner, const QString& calendarPath,
                            const QString& uid) {
    const int status = request(owner, "DELETE", withSlash(calendarPath) + resourceName(uid));
    return status == 200 || status == 204;
}

SilentServer::SilentServer() {
    // Connections wait, accepted or in the backlog, and are never read.
    server_.listen(QHostAddress::LocalHost);
}

} // namespace rv::test
