#include "calendar/local/address_book.h"

#include <QStringList>
#include <algorithm>
#include <iterator>
#include <set>

namespace rv {

namespace {

QString unescape(QStringView value) {
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
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
qsizetype valueColon(QStringView line) {
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
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

// Takes what the card's line says that the program uses; copies nothing of the other lines.
void take(QStringView line, Card& card) {
    const qsizetype colon = valueColon(line);
    if (colon < 0)
        return;
    const QStringView head = line.first(colon);
    const qsizetype semicolon = head.indexOf(QLatin1Char(';'));
    QStringView name = (semicolon < 0 ? head : head.first(semicolon)).trimmed();
    // "item1.EMAIL": a property group.
    if (const qsizetype dot = name.lastIndexOf(QLatin1Char('.')); dot >= 0)
        name = name.sliced(dot + 1);
    const auto is = [&](const char* property) {
        return name.compare(QLatin1String(property), Qt::CaseInsensitive) == 0;
    };
    const QStringView value = line.sliced(colon + 1);
    if (is("UID")) {
        card.person.userName = unescape(value).trimmed();
    } else if (is("FN")) {
        card.formattedName = unescape(value).trimmed();
    } else if (is("N")) {
        const QList<QStringView> parts = value.split(QLatin1Char(';'));
        QStringList given;
        if (parts.size() > 1)
            given << unescape(parts[1]).trimmed();
        given << unescape(parts[0]).trimmed();
        given.removeAll(QString());
        card.structuredName = given.join(QLatin1Char(' '));
    } else if (is("EMAIL")) {
        const bool preferred =
            semicolon >= 0 &&
            head.sliced(semicolon + 1).contains(QLatin1String("PREF"), Qt::CaseInsensitive);
        const QString email = unescape(value).trimmed();
        if (!email.isEmpty() &&
            (card.person.email.isEmpty() || (preferred && !card.preferredEmail))) {
            card.person.email = email;
            card.preferredEmail = preferred;
        }
    }
}

// Hands each logical line of vCard text to visit: CRLF, CR or LF ends a line, and a line that
// starts with a blank or a tab continues the one before it (the blank itself dropped). One pass,
// copying only folded lines: replacing the line ends in place instead moves the rest of the text
// once per line.
template <typename Visit> void forEachUnfoldedLine(QStringView text, Visit visit) {
    QStringView current;
    QString folded; // the current line, when it was folded
    bool started = false;
    const auto finish = [&] {
        if (!started)
            return;
        visit(folded.isNull() ? current : QStringView(folded));
        folded = QString();
    };
    for (qsizetype begin = 0; begin <= text.size();) {
        qsizetype end = begin;
        while (end < text.size() && text[end] != QLatin1Char('\n') &&
               text[end] != QLatin1Char('\r'))
            ++end;
        const QStringView line = text.sliced(begin, end - begin);
        if (!line.isEmpty() && (line[0] == QLatin1Char(' ') || line[0] == QLatin1Char('\t'))) {
            if (folded.isNull())
                folded = current.toString();
            folded += line.sliced(1);
            started = true;
        } else {
            finish();
            current = line;
            started = true;
        }
        if (end + 1 < text.size() && text[end] == QLatin1Char('\r') &&
            text[end + 1] == QLatin1Char('\n'))
            ++end;
        begin = end + 1;
    }
    finish();
}

} // namespace

AddressBook AddressBook::parse(const QByteArray& vcardText) {
    const QString text = QString::fromUtf8(vcardText);

    AddressBook book;
    std::optional<Card> card;
    auto finish = [&] {
        if (!card)
            return;
        Person& p = card->person;
        if (!p.userName.isEmpty()) {
            p.displayName = !card->formattedName.isEmpty()    ? std::move(card->formattedName)
                            : !card->structuredName.isEmpty() ? std::move(card->structuredName)
                                                              : p.userName;
            book.people_.push_back(std::move(p));
        }
        card.reset();
    };
    forEachUnfoldedLine(text, [&](QStringView raw) {
        const QStringView line = raw.trimmed();
        if (line.compare(QLatin1String("BEGIN:VCARD"), Qt::CaseInsensitive) == 0) {
            finish();
            card.emplace();
        } else if (line.compare(QLatin1String("END:VCARD"), Qt::CaseInsensitive) == 0) {
            finish();
        } else if (card && !line.isEmpty()) {
            take(line, *card);
        }
    });
    finish();
    book.index();
    return book;
}

void AddressBook::index() {
    // A user name names a calendar file: of cards with the same one, the first counts.
    std::vector<Key> users;
    users.reserve(people_.size());
    for (int i = 0; i < int(people_.size()); ++i)
        users.push_back({people_[std::size_t(i)].userName.toCaseFolded(), i});
    std::sort(users.begin(), users.end());
    std::vector<int> kept(people_.size(), -1); // old position -> new position
    for (std::size_t i = 0; i < users.size(); ++i)
        if (i == 0 || users[i].text != users[i - 1].text)
            kept[std::size_t(users[i].person)] = 0;
    std::vector<Person> people;
    people.reserve(people_.size());
    for (std::size_t i = 0; i < people_.size(); ++i)
        if (kept[i] == 0) {
            kept[i] = int(people.size());
            people.push_back(std::move(people_[i]));
        }
    people_ = std::move(people);
    // Still in order: the people kept keep their order.
    byUserName_.reserve(people_.size());
    for (Key& user : users)
        if (kept[std::size_t(user.person)] >= 0)
            byUserName_.push_back({std::move(user.text), kept[std::size_t(user.person)]});

    byPrefix_.reserve(people_.size() * 2);
    for (int i = 0; i < int(people_.size()); ++i)
        for (const QString* text :
             {&people_[std::size_t(i)].displayName, &people_[std::size_t(i)].email})
            if (!text->isEmpty())
                byPrefix_.push_back({text->toCaseFolded(), i});
    std::sort(byPrefix_.begin(), byPrefix_.end());
    byEqualText_.reserve(byUserName_.size() + byPrefix_.size());
    std::merge(byUserName_.begin(), byUserName_.end(), byPrefix_.begin(), byPrefix_.end(),
               std::back_inserter(byEqualText_));
}

namespace {

// The first key not less than text.
template <typename Keys> auto firstFrom(const Keys& keys, const QString& text) {
    return std::partition_point(keys.begin(), keys.end(),
                                [&](const auto& key) { return key.text < text; });
}

} // namespace

std::optional<Person> AddressBook::byUserName(const QString& userName) const {
    const QString key = userName.toCaseFolded();
    const auto found = firstFrom(byUserName_, key);
    if (found == byUserName_.end() || found->text != key)
        return std::nullopt;
    return people_[std::size_t(found->person)];
}

std::optional<Person> AddressBook::resolve(const QString& text) const {
    const QString key = text.trimmed().toCaseFolded();
    if (key.isEmpty())
        return std::nullopt;
    // The one person the matches name; several names of one person count once. Keys of one text
    // are sorted by person, so a second person shows right after the first.
    const auto onlyOne = [this](const std::set<int>& found) -> std::optional<Person> {
        if (found.size() != 1)
            return std::nullopt;
        return people_[std::size_t(*found.begin())];
    };
    std::set<int> exact;
    for (auto it = firstFrom(byEqualText_, key);
         it != byEqualText_.end() && it->text == key && exact.size() < 2; ++it)
        exact.insert(it->person);
    if (!exact.empty())
        return onlyOne(exact);
    // Keys that start with the text sort right after it, next to each other. A person has at most
    // two of them, so three keys always show whether the match is one person or several.
    std::set<int> prefix;
    for (auto it = firstFrom(byPrefix_, key);
         it != byPrefix_.end() && it->text.startsWith(key) && prefix.size() < 2; ++it)
        prefix.insert(it->person);
    return onlyOne(prefix);
}

} // namespace rv
