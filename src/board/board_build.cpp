// The whole-board build for the current group and month, and the person rows it is made of.

#include "board/board_log.h"
#include "board/board_members.h"
#include "board/form1.h"
#include "board/month_layout.h"
#include "groups/group_files.h"
#include "platform/prompts.h"

#include <QLineEdit>
#include <QProgressBar>

#include <optional>

namespace rv {

void Form1::Init_Grid() {
    // The rows are rebuilt; the board stays scrolled where the user had it.
    const BoardGrid::ScrollPosition scrolled = Grid1->scrollPosition();
    Grid1->beginProgress();
    builder_.beginBuild();
    // The old person rows go. Row 1 is kept for the first member that resolves; if none does, it
    // is removed below, so that the board never shows a person of the previous group.
    Grid1->removeRowsFrom(2);
    rowMembers_.assign(Grid1->rowCount(), RowMember{});
    row1Stale_ = Grid1->rowCount() == 2;

    const QString groupName = Text1->text();
    shownBoard_ = ShownBoard{groupName, state_.cur_month, state_.cur_year, state_.category_color};
    std::optional<QString> unknownGroup;
    try {
        const std::vector<RowMember> members = boardGroupMembers(groupName);
        if (members.empty())
            unknownGroup = unknownGroupMessage(groupName);
        BoardBuilder::prefetchMonths(*state_.mapi_ns, members, state_.cur_month, state_.cur_year);
        for (const RowMember& member : members) {
            if (!groupName.isEmpty())
                state_.cur_group_no = member.groupNo;
            try {
                add_user(member.id, static_cast<std::int32_t>(member.record + 1), member.groupNo);
            } catch (const CalendarError&) {
                // The builder noted it: the member gets no row, the others still do, and the
                // user is told once after the build.
            }
        }
    } catch (const FileError& error) {
        services_.prompts.message(this, error.message(), QStringLiteral("Rotaview"),
                                  Prompts::Icon::Exclamation);
    }
    if (row1Stale_) {
        Grid1->removeRow(1);
        rowMembers_.resize(1);
        row1Stale_ = false;
    }

    headerAndWidths();
    Grid1->setScrollPosition(scrolled);
    Grid1->selectFromCode(std::max(0, Grid1->currentRow()), 0);

    const int people = Grid1->rowCount() - 1;
    for (int r = 1; r <= people; ++r) {
        Grid1->selectFromCode(r, 0);
        // The identifiers were read from the member files a moment ago in this same build;
        // reading each row's again from the file's start would cost the square of the rows.
        const RowMember& member = rowMembers_[r];
        readPersonRow(r, member.record > 0 ? member.id : get_user_x(r), RowPass::Build);
        // A progress panel repaints itself on every change: move it with the cells' frames.
        if (r == people || Grid1->frameDue())
            Grid1->showProgress(*pbar_users, qRound(100.0 * r / people));
    }
    allignc1();
    Grid1->setScrollPosition(scrolled);

    // An empty board for a name that matches no group would otherwise look like a group
    // without people.
    if (unknownGroup)
        services_.prompts.message(this, *unknownGroup, QStringLiteral("Rotaview"),
                                  Prompts::Icon::Exclamation);
    tellServiceFailures();
}

void Form1::tellServiceFailures() {
    const QString report = builder_.failureReport();
    if (calendarUnavailable_ || report.isEmpty())
        return;
    services_.prompts.message(this, report, QStringLiteral("Rotaview"), Prompts::Icon::Exclamation);
}

void Form1::add_user(const QString& useri, std::int32_t st1, int groupNo) {
    const std::optional<QString> name = builder_.memberName(*state_.mapi_ns, useri);
    if (!name)
        return;
    int row;
    if (row1Stale_) {
        // The leftover row of the previous board becomes this person's row, with nothing of the
        // previous person left in it.
        row = 1;
        row1Stale_ = false;
        for (int c = 1; c < Grid1->columnCount(); ++c)
            delete Grid1->takeItem(1, c);
    } else {
        row = Grid1->rowCount();
        Grid1->insertRow(row);
        rowMembers_.resize(row + 1);
    }
    Grid1->setCellText(row, 0, *name);
    rowMembers_[row] = RowMember{groupNo, st1 - 1, useri};
}

QString Form1::get_user_x(int userx) {
    // A member file that cannot be read gives no identifier, which no look-up resolves.
    try {
        return storedIdOfRow(userx);
    } catch (const FileError& error) {
        qCInfo(boardLog()).noquote() << "row" << userx << "has no identifier:" << error.message();
        return {};
    }
}

QString Form1::storedIdOfRow(int userx) {
    if (userx >= 1 && userx < static_cast<int>(rowMembers_.size()) && rowMembers_[userx].record > 0)
        return member_id_at(rowMembers_[userx].groupNo, rowMembers_[userx].record, true);
    // A row the board does not know the record of is taken as the record of the same number.
    return member_id_at(state_.cur_group_no, userx, !Text1->text().isEmpty());
}

} // namespace rv
