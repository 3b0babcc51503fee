#include "board/board_members.h"

#include "groups/group_files.h"

namespace rv {

namespace {

void appendMembers(int groupNo, std::vector<RowMember>& members) {
    const QList<GroupMember> stored = read_members(groupNo);
    for (int i = 0; i < stored.size(); ++i)
        members.push_back(RowMember{groupNo, i + 1, stored[i].id});
}

} // namespace

std::vector<RowMember> boardGroupMembers(const QString& groupName) {
    std::vector<RowMember> members;
    if (groupName.isEmpty()) {
        appendMembers(0, members);
        return members;
    }
    for (const int groupNo : find_group_number(groupName))
        appendMembers(groupNo, members);
    return members;
}

} // namespace rv
