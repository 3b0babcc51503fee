#include "support/board_fixture.h"

#include "support/data_files.h"

#include <QTest>

namespace rv::test {

BoardWindow::BoardWindow() {
    settings.SaveSetting(QStringLiteral("Settings"), QStringLiteral("Month"), QStringLiteral("3"));
    settings.SaveSetting(QStringLiteral("Settings"), QStringLiteral("Year"),
                         QStringLiteral("2021"));
}

void BoardWindow::start(std::function<std::unique_ptr<CalendarApplication>()> openService,
                        const QString& groupName) {
    settings.SaveSetting(QStringLiteral("Settings"), QStringLiteral("DefaultGrp"), groupName);
    BoardServices services{settings, prompts, desktop, nullptr, std::move(openService), {}};
    form = std::make_unique<Form1>(services);
    QObject::connect(&form->grid(), &BoardGrid::selectionChangedByUser,
                     [this] { ++selectionHandlerRuns; });
    form->Form_Load();
}

QStringList BoardWindow::names() {
    QStringList n;
    for (int r = 1; r < grid().rowCount(); ++r)
        n << grid().cellText(r, 0);
    return n;
}

std::uint32_t BoardWindow::color(int row, int day) {
    const auto c = grid().cellColor(row, day);
    return c < 0 ? grid().backgroundColor() : std::uint32_t(c);
}

QWidget* BoardWindow::widgetAtCell(int row, int column, QPoint* local) {
    const QRect rect = grid().visualRect(grid().model()->index(row, column));
    const QPoint inGrid = grid().viewport()->mapTo(&grid(), rect.center());
    // The fixed header row and name column lie over the grid's own cells.
    QWidget* target = grid().childAt(inGrid);
    if (!target)
        target = grid().viewport();
    *local = target->mapFrom(&grid(), inGrid);
    return target;
}

void BoardWindow::click(int row, int column) {
    QPoint at;
    QWidget* target = widgetAtCell(row, column, &at);
    QTest::mouseClick(target, Qt::LeftButton, {}, at);
}

void BoardWindow::doubleClick(int row, int column) {
    QPoint at;
    QWidget* target = widgetAtCell(row, column, &at);
    // As from a mouse: a click, then the double-click on the same cell.
    QTest::mouseClick(target, Qt::LeftButton, {}, at);
    QTest::mouseDClick(target, Qt::LeftButton, {}, at);
}

Board::Board() {
    store.addPerson(QStringLiteral("alice"), QStringLiteral("Alice Archer"));
    store.addPerson(QStringLiteral("bob"), QStringLiteral("Bob Baker"));
    store.addPerson(QStringLiteral("carol"), QStringLiteral("Carol Clark"));
    store.addPerson(QStringLiteral("dave"), QStringLiteral("Dave Dunn"));
    for (const char* user : {"alice", "bob", "carol", "dave"})
        store.setEvents(QString::fromLatin1(user), {});
}

void Board::load(const QString& groupName) {
    start([this] { return store.openApplication(); }, groupName);
}

GroupMember Board::member(const QString& user) {
    const QString entryId = id(user);
    return GroupMember{store.openNamespace()->GetRecipientFromID(entryId)->Name(), entryId};
}

void Board::writeTeam(const QStringList& users) {
    write_group_index({QStringLiteral("Team")});
    QList<GroupMember> members;
    for (const QString& u : users)
        members << member(u);
    write_members(0, members);
}

void Board::setCalendar(const QString& user, const QString& dataFile) {
    store.setCalendarText(user, boardData(dataFile));
}

QByteArray boardData(const QString& name) {
    return dataFile(QStringLiteral("board/") + name);
}

} // namespace rv::test
