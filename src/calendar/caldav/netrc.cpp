#include "calendar/caldav/netrc.h"

#include "calendar/calendar_service.h"
#include "platform/regular_file.h"

#include <QStringList>

#include <sys/stat.h>

namespace rv::caldav {

namespace {

// A .netrc holds a handful of lines; anything near this size is not one.
constexpr qint64 kMaxNetrcBytes = qint64(1) << 20;

// The file's words; a double-quoted word may hold blanks and backslash escapes.
QStringList words(const QString& text) {
    QStringList out;
    int i = 0;
    const int n = int(text.size());
    while (i < n) {
        while (i < n && text[i].isSpace())
            ++i;
        if (i >= n)
            break;
        QString word;
        if (text[i] == QLatin1Char('"')) {
            ++i;
            while (i < n && text[i] != QLatin1Char('"')) {
                if (text[i] == QLatin1Char('\\') && i + 1 < n)
                    ++i;
                word += text[i++];
            }
            ++i;
        } else {
            while (i < n && !text[i].isSpace())
                word += text[i++];
        }
        out << word;
    }
    return out;
}

// A macro definition runs to the next empty line; its text is no part of any entry.
QString withoutMacros(const QString& text) {
    QStringList kept;
    bool inMacro = false;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (inMacro) {
            if (line.trimmed().isEmpty())
                inMacro = false;
            continue;
        }
        const QStringList lineWords = words(line);
        const qsizetype macro = lineWords.indexOf(QStringLiteral("macdef"));
        if (macro >= 0) {
            kept << QStringList(lineWords.mid(0, macro)).join(QLatin1Char(' '));
            inMacro = true;
            continue;
        }
        kept << line;
    }
    return kept.join(QLatin1Char('\n'));
}

} // namespace

std::optional<QString> netrcPassword(const QString& netrcPath, const QString& host,
                                     const QString& login) {
    QByteArray text;
    try {
        const auto file = RegularFile::open(netrcPath, kMaxNetrcBytes);
        if (!file)
            return std::nullopt;
        // Asked of the file that was opened, so that nothing can be swapped in between.
        if (file->status().st_mode & (S_IRWXG | S_IRWXO))
            throw CalendarError(calendar_error::LoginFailed,
                                QStringLiteral("%1 can be read or changed by other users, so the "
                                               "calendar password in it is not used. Make it "
                                               "private with \"chmod 600 %1\".")
                                    .arg(netrcPath));
        text = file->readAll();
    } catch (const FileError& error) {
        throw CalendarError(
            calendar_error::LoginFailed,
            QStringLiteral("%1 No calendar password is taken from it.").arg(error.message()));
    }
    const QStringList tokens = words(withoutMacros(QString::fromUtf8(text)));

    struct Entry {
        QString machine;
        bool isDefault = false;
        QString login;
        std::optional<QString> password;
    };
    std::vector<Entry> entries;
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        const QString& t = tokens[i];
        const bool hasValue = i + 1 < tokens.size();
        if (t == QLatin1String("machine") && hasValue) {
            entries.push_back({tokens[++i], false, {}, {}});
        } else if (t == QLatin1String("default")) {
            entries.push_back({{}, true, {}, {}});
        } else if (entries.empty()) {
            continue;
        } else if (t == QLatin1String("login") && hasValue) {
            entries.back().login = tokens[++i];
        } else if (t == QLatin1String("password") && hasValue) {
            entries.back().password = tokens[++i];
        } else if (t == QLatin1String("account") && hasValue) {
            ++i;
        }
    }
    auto fits = [&](const Entry& e) {
        return e.password && (e.login.isEmpty() || e.login == login);
    };
    for (const Entry& e : entries)
        if (!e.isDefault && e.machine.compare(host, Qt::CaseInsensitive) == 0 && fits(e))
            return e.password;
    for (const Entry& e : entries)
        if (e.isDefault && fits(e))
            return e.password;
    return std::nullopt;
}

} // namespace rv::caldav
