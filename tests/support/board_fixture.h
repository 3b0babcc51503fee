#pragma once

#include "board/form1.h"
#include "groups/group_files.h"
#include "support/local_store_fixture.h"
#include "support/memory_settings.h"
#include "support/temp_workdir.h"

#include <functional>

namespace rv::test {

constexpr std::uint32_t kFree = 0xFFC0C0, kUpTo4 = 0xFFC0FF, kBetween = 0xC00000, kMore = 0x0000C0,
                        kSpecial = 0x00FFFF, kWeekend = 0xFFFFFF;

// A board window in a fresh working directory for March 2021 (the 1st is a Monday; the 6th and
// 7th a weekend), over whichever calendar service the test opens.
struct BoardWindow {
    TempWorkdir workdir;
    MemorySettings settings;
    ScriptedPrompts prompts;
    RecordingDesktop desktop;
    std::unique_ptr<Form1> form;
    int selectionHandlerRuns = 0;

    BoardWindow();
    // Starts the board with the group name as "DefaultGrp".
    void start(std::function<std::unique_ptr<CalendarApplication>()> openService,
               const QString& groupName);

    BoardGrid& grid() { return form->grid(); }
    QStringList names();
    // The colour a day cell shows: its own, or the grid's background.
    std::uint32_t color(int row, int day);
    int messages() const { return prompts.count(QStringLiteral("message")); }
    // Selects or double-clicks a cell as the user does, on whatever shows the cell on top.
    void click(int row, int column);
    void doubleClick(int row, int column);
    // The widget the user's pointer meets at the cell's centre, and the point in it.
    QWidget* widgetAtCell(int row, int column, QPoint* local);
};

// The board over a local store written by the test, with alice, bob, carol and dave in the
// address book and empty calendars.
struct Board : BoardWindow {
    LocalStoreFixture store;

    Board();
    void load(const QString& groupName = QStringLiteral("Team"));

    QString id(const QString& user) { return store.entryIdOf(user); }
    GroupMember member(const QString& user);
    // Writes the index with the one group "Team" and its member file.
    void writeTeam(const QStringList& users);
    // The person's calendar becomes the file of tests/data/board/.
    void setCalendar(const QString& user, const QString& dataFile);
};

// A file of tests/data/board/.
QByteArray boardData(const QString& name);

} // namespace rv::test
