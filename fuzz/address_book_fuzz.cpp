// The local store's address book people.vcf, as written by any vCard-exporting program.

#include "fuzz_target.h"
#include "calendar/local/address_book.h"

#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const rv::AddressBook book = rv::AddressBook::parse(rv::fuzz::bytesOf(data, size));
    int looked = 0;
    for (const rv::Person& person : book.people()) {
        if (person.userName.isEmpty())
            std::abort(); // cards without a UID are left out
        if (++looked > 16)
            break;
        if (!book.byUserName(person.userName))
            std::abort();
        book.resolve(person.displayName);
        book.resolve(person.email);
        book.resolve(person.displayName.left(2));
    }
    book.resolve(QStringLiteral("alice"));
    book.resolve(QString());
    return 0;
}
