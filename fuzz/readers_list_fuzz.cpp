// A calendar's reader list calendars/<user>.readers.

#include "fuzz_target.h"
#include "calendar/local/readers_list.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const rv::ReadersList list = rv::ReadersList::parse(rv::fuzz::bytesOf(data, size));
    list.allows({QStringLiteral("alice"), QStringLiteral("alice@example.org")});
    list.allows({QStringLiteral("Bob")});
    list.allows({});
    return 0;
}
