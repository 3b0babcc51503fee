#pragma once

#include <QString>
#include <optional>
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

// What to tell the user when the group name (as typed in the board's group field) names no
// stored group, so that the board shows nobody: naming the stored group that matches when
// capitals and blanks are ignored, if there is one. Nothing when the name is empty or a stored
// group has it. Throws FileError like boardGroupMembers.
std::optional<QString> unknownGroupMessage(const QString& groupName);

} // namespace rv
