// The local store's address book people.vcf, as written by any vCard-exporting program.

#include "calendar/ical/name_match.h"
#include "calendar/local/address_book.h"
#include "fuzz_target.h"

#include <cstdlib>

namespace {

// The indexed look-up answers what the name rule says over the whole book, entry by entry.
void resolvesAsTheRule(const rv::AddressBook& book, const std::vector<rv::NameKeys>& keys,
                       const QString& text) {
    const std::optional<rv::Person> found = book.resolve(text);
    const int expected = rv::matchName(keys, text);
    if (found.has_value() != (expected >= 0))
        std::abort();
    if (found && found->userName != book.people()[std::size_t(expected)].userName)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const rv::AddressBook book = rv::AddressBook::parse(rv::fuzz::bytesOf(data, size));
    std::vector<rv::NameKeys> keys;
    for (const rv::Person& person : book.people())
        keys.push_back({person.displayName, QStringList{person.email}, person.userName});
    int looked = 0;
    for (const rv::Person& person : book.people()) {
        if (person.userName.isEmpty())
            std::abort(); // cards without a UID are left out
        if (++looked > 16)
            break;
        if (!book.byUserName(person.userName))
            std::abort();
        for (const QString& text : {person.displayName, person.email, person.userName,
                                    person.displayName.left(2), person.email.left(1)})
            resolvesAsTheRule(book, keys, text);
    }
    resolvesAsTheRule(book, keys, QStringLiteral("alice"));
    resolvesAsTheRule(book, keys, QString());
    return 0;
}
