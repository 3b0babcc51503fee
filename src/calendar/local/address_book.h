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
// properties this program does not use; folded lines and escaped characters are understood.
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
    std::vector<Person> people_;
};

} // namespace rv
