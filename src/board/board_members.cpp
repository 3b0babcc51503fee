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

std::optional<QString> unknownGroupMessage(const QString& groupName) {
    if (groupName.isEmpty() || !find_group_number(groupName).isEmpty())
        return std::nullopt;
    const QStringList stored = groupIndexExists() ? read_group_index() : QStringList();
    for (const QString& name : stored)
        if (!name.isEmpty() && name.compare(groupName.trimmed(), Qt::CaseInsensitive) == 0)
            return QStringLiteral("There is no group named \"%1\", so the board shows nobody. "
                                  "Did you mean \"%2\"? A group name must be typed exactly as "
                                  "it is stored, capitals included.")
                .arg(groupName, name);
    return QStringLiteral("There is no group named \"%1\", so the board shows nobody. Choose a "
                          "group in the group editor (\"Groups\").")
        .arg(groupName);
}

} // namespace rv
