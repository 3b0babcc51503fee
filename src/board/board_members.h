#pragma once

#include <QString>
#include <vector>

namespace rv {

// Where a board row's person is stored: the member file's group number and the record in it.
// Each row keeps its own, so that a member that gets no row does not shift the later rows onto
// other people's records.
struct RowMember {
    int groupNo = 0;
    int record = 0; // 0: unknown, the row is looked up by its position
    QString id;     // the stored identifier as the build read it
};

// The members the board shows for a group name: with an empty name those of "GRP0.DAT";
// otherwise those of every index record with exactly that name, in index order. Throws FileError
// (platform/workdir_files.h) naming a file that could not be read.
std::vector<RowMember> boardGroupMembers(const QString& groupName);

} // namespace rv
