#include "calendar/local/address_book.h"

#include "calendar/ical/name_match.h"

#include <QStringList>

namespace rv {

namespace {

QString unescape(const QString& value) {
    QString out;
    out.reserve(value.size());
    for (int i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c == QLatin1Char('\\') && i + 1 < value.size()) {
            const QChar next = value[++i];
            if (next == QLatin1Char('n') || next == QLatin1Char('N'))
                out += QLatin1Char('\n');
            else
                out += next;
        } else {
            out += c;
        }
    }
    return out;
}

// The separator between a property's name and parameters and its value: the first colon outside
// a quoted parameter value.
int valueColon(const QString& line) {
    bool quoted = false;
    for (int i = 0; i < line.size(); ++i) {
        if (line[i] == QLatin1Char('"'))
            quoted = !quoted;
        else if (line[i] == QLatin1Char(':') && !quoted)
            return i;
    }
    return -1;
}

struct Card {
    Person person;
    QString formattedName;
    QString structuredName;
    bool preferredEmail = false;
};

void take(const QString& line, Card& card) {
    const int colon = valueColon(line);
    if (colon < 0)
        return;
    const QStringList head = line.left(colon).split(QLatin1Char(';'));
    QString name = head.first().trimmed().toUpper();
    // "item1.EMAIL": a property group.
    const int dot = int(name.lastIndexOf(QLatin1Char('.')));
    if (dot >= 0)
        name = name.mid(dot + 1);
    const QString value = line.mid(colon + 1);
    if (name == QLatin1String("UID")) {
        card.person.userName = unescape(value).trimmed();
    } else if (name == QLatin1String("FN")) {
        card.formattedName = unescape(value).trimmed();
    } else if (name == QLatin1String("N")) {
        const QStringList parts = value.split(QLatin1Char(';'));
        QStringList given;
        if (parts.size() > 1)
            given << unescape(parts[1]).trimmed();
        given << unescape(parts[0]).trimmed();
        given.removeAll(QString());
        card.structuredName = given.join(QLatin1Char(' '));
    } else if (name == QLatin1String("EMAIL")) {
        const QString params = head.mid(1).join(QLatin1Char(';')).toUpper();
        const bool preferred = params.contains(QLatin1String("PREF"));
        const QString email = unescape(value).trimmed();
        if (!email.isEmpty() &&
            (card.person.email.isEmpty() || (preferred && !card.preferredEmail))) {
            card.person.email = email;
            card.preferredEmail = preferred;
        }
    }
}

} // namespace

AddressBook AddressBook::parse(const QByteArray& vcardText) {
    QString text = QString::fromUtf8(vcardText);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    // Unfold: a line starting with a space or tab continues the one before.
    text.replace(QLatin1String("\n "), QString());
    text.replace(QLatin1String("\n\t"), QString());

    AddressBook book;
    std::optional<Card> card;
    auto finish = [&] {
        if (!card)
            return;
        Person p = card->person;
        p.displayName = !card->formattedName.isEmpty()    ? card->formattedName
                        : !card->structuredName.isEmpty() ? card->structuredName
                                                          : p.userName;
        if (!p.userName.isEmpty() && !book.byUserName(p.userName))
            book.people_.push_back(p);
        card.reset();
    };
    for (const QString& raw : text.split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.compare(QLatin1String("BEGIN:VCARD"), Qt::CaseInsensitive) == 0) {
            finish();
            card.emplace();
        } else if (line.compare(QLatin1String("END:VCARD"), Qt::CaseInsensitive) == 0) {
            finish();
        } else if (card && !line.isEmpty()) {
            take(line, *card);
        }
    }
    finish();
    return book;
}

std::optional<Person> AddressBook::byUserName(const QString& userName) const {
    for (const Person& p : people_)
        if (p.userName.compare(userName, Qt::CaseInsensitive) == 0)
            return p;
    return std::nullopt;
}

std::optional<Person> AddressBook::resolve(const QString& text) const {
    std::vector<NameKeys> keys;
    keys.reserve(people_.size());
    for (const Person& p : people_)
        keys.push_back(NameKeys{p.displayName, QStringList{p.email}, p.userName});
    const int found = matchName(keys, text);
    if (found < 0)
        return std::nullopt;
    return people_[found];
}

} // namespace rv
