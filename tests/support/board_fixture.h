#pragma once

#include "board/form1.h"
#include "groups/group_files.h"
#include "support/local_store_fixture.h"
#include "support/memory_settings.h"
#include "support/temp_workdir.h"

namespace rv::test {

constexpr std::uint32_t kFree = 0xFFC0C0, kUpTo4 = 0xFFC0FF, kBetween = 0xC00000, kMore = 0x0000C0,
                        kSpecial = 0x00FFFF, kWeekend = 0xFFFFFF;

// A board in a fresh working directory over a local store written by the test, for March 2021
// (the 1st is a Monday; the 6th and 7th a weekend), with alice, bob, carol and dave in the
// address book and empty calendars.
struct Board {
    TempWorkdir workdir;
    LocalStoreFixture store;
    MemorySettings settings;
    ScriptedPrompts prompts;
    RecordingDesktop desktop;
    std::unique_ptr<Form1> form;
    int selectionHandlerRuns = 0;

    Board();
    // Starts the board with the group name as "DefaultGrp".
    void load(const QString& groupName = QStringLiteral("Team"));

    QString id(const QString& user) { return store.entryIdOf(user); }
    GroupMember member(const QString& user);
    // Writes the index with the one group "Team" and its member file.
    void writeTeam(const QStringList& users);

    BoardGrid& grid() { return form->grid(); }
    QStringList names();
    // The colour a day cell shows: its own, or the grid's background.
    std::uint32_t color(int row, int day);
    // Selects or double-clicks a cell as the user does, on whatever shows the cell on top.
    void click(int row, int column);
    void doubleClick(int row, int column);
    // The widget the user's pointer meets at the cell's centre, and the point in it.
    QWidget* widgetAtCell(int row, int column, QPoint* local);
};

// A VEVENT with local floating times "yyyy-MM-ddThh:mm".
QString ev(const QString& start, const QString& end, const QString& subject,
           const QString& extra = {});

} // namespace rv::test
