#pragma once

// Every fuzz target defines LLVMFuzzerInitialize and LLVMFuzzerTestOneInput; the same file is
// linked either with libFuzzer (scripts/fuzz.sh) or with replay_main.cpp, which feeds it the
// checked-in corpus in the ordinary test suite.

#include <cstddef>
#include <cstdint>

#include <QByteArray>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace rv::fuzz {

inline QByteArray bytesOf(const std::uint8_t* data, std::size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

// Makes a fresh folder under /dev/shm (or the temporary folder) the working directory, for the
// targets that read the group files where the program reads them.
void enterScratchWorkdir();

// Runs in the zone with daylight-saving changes that the seed calendars are written for, so that
// zone conversions are exercised wherever the targets run.
void useFixedTimeZone();

} // namespace rv::fuzz
