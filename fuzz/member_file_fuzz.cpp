// A member file "GRP0.DAT" as the board build, the row refresh and the group editor read it.

#include "fuzz_target.h"
#include "groups/group_files.h"

#include <QFile>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    rv::fuzz::enterScratchWorkdir();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QFile file(rv::memberFileName(0));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    file.write(rv::fuzz::bytesOf(data, size));
    file.close();
    try {
        const QList<rv::GroupMember> members = rv::read_members(0);
        // The row refresh reads record r back by number: it must be the member read in order.
        for (qsizetype r = 1; r <= members.size() && r <= 4; ++r)
            if (rv::member_id_at(0, int(r), true) != members.at(r - 1).id)
                std::abort();
        rv::member_id_at(0, int(members.size()) + 1, true);
        rv::member_id_at(0, 1, false);
    } catch (const rv::FileError&) {
    }
    return 0;
}
