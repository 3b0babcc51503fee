#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

namespace rv {

// One person of the local store's address book.
struct Person {
    QString userName;    // the vCard's UID: names the person's calendar file
    QString displayName; // FN
    QString email;       // EMAIL (the preferred one where several are given)
};

// The address book, read from vCard text (people.vcf). Cards without a UID are left out, as are
// properties this program does not use, and a card whose user name an earlier card already has;
// folded lines and escaped characters are understood. Look-ups go through indexes built once per
// reading, so that a book of 100,000 people costs no more per look-up than one of ten.
class AddressBook {
public:
    static AddressBook parse(const QByteArray& vcardText);

    const std::vector<Person>& people() const { return people_; }
    std::optional<Person> byUserName(const QString& userName) const;

    // The one person a name stands for: exactly one whose display name, e-mail or user name
    // equals the text (case ignored), else the only one whose display name or e-mail starts with
    // it. Nothing when no one or several match.
    std::optional<Person> resolve(const QString& text) const;

private:
    // Case-folded keys (the case-ignoring comparison Qt makes) and the person they belong to,
    // sorted by key: a look-up is a binary search.
    struct Key {
        QString text;
        int person = 0;
        bool operator<(const Key& other) const {
            const int order = text.compare(other.text);
            return order != 0 ? order < 0 : person < other.person;
        }
    };
    void index();

    std::vector<Person> people_;
    std::vector<Key> byUserName_;
    // Display names, e-mail addresses and user names, for the equal-text rule.
    std::vector<Key> byEqualText_;
    // Display names and e-mail addresses, for the starts-with rule.
    std::vector<Key> byPrefix_;
};

} // namespace rv
