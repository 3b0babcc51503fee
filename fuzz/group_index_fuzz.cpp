// The group index "Rotalist.dat" as the board and the group editor read it: any bytes another
// program or a cut-short write left behind.

#include "fuzz_target.h"
#include "groups/group_files.h"

#include <QFile>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    rv::fuzz::enterScratchWorkdir();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QFile file(rv::groupIndexFileName());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    file.write(rv::fuzz::bytesOf(data, size));
    file.close();
    try {
        const QStringList names = rv::read_group_index();
        // Every name read is found again where it stands (or earlier, for a name listed twice).
        for (qsizetype i = 0; i < names.size() && i < 8; ++i) {
            const QList<int> found = rv::find_group_number(names.at(i));
            if (found.isEmpty() || found.first() > i)
                std::abort();
        }
        rv::find_group_number(QStringLiteral("Team"));
    } catch (const rv::FileError&) {
        // A file that cannot be read is reported to the user; it must not be a crash.
    }
    return 0;
}
