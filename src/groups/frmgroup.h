#pragma once

#include "calendar/calendar_service.h"
#include "groups/group_files.h"
#include "platform/prompts.h"
#include "platform/settings_store.h"

#include <QWidget>
#include <cstdint>
#include <optional>

class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace rv {

// The group editor: creates and deletes groups and adds members to and removes them from a group.
// Group changes are written to the index at once; member changes stay in the member list until
// the "Save Changes ?" question is answered Yes. When it writes the index with a group selected,
// that group becomes the board's current group (the board's group name field and "DefaultGrp");
// it never rebuilds the board.
//
// A failure of the calendar service or of a group file ends the handler with one message, and the
// window goes back to what it showed before the handler; files are never left half written.
class frmgroup : public QWidget {
    Q_OBJECT
public:
    frmgroup(CalendarNamespace& mapi_ns, QLineEdit& boardGroupField, SettingsStore& settings,
             Prompts& prompts, QWidget* parent = nullptr);

    // Handlers. Form_Load runs from the constructor, Form_Unload when the window closes.
    void Form_Load();
    void Form_Unload(bool& Cancel);
    void Command1_Click(); // "Add a Group"
    void Command2_Click(); // "Remove Group"
    void Command3_Click(); // "Add User"
    void Command4_Click(); // "Remove a User"
    void Command6_Click(); // "OK"
    void grplist1_Click();
    // Writes group g's member file and index entry; -1 stands for the selected group.
    void save_users(int g);

    // Closes the window without running Form_Unload: the program is ending and saves nothing.
    void unloadWithoutSaving();

    // The member list: userslst1 shows the names, the hidden usersid the identifiers.
    const QList<GroupMember>& members() const { return members_; }

    // Position of the group whose member list holds unsaved changes, or -1.
    std::int16_t pending_group = -1;

    QLabel* Label1 = nullptr;
    QListWidget* grplist1 = nullptr;
    QLabel* Label2 = nullptr;
    QListWidget* userslst1 = nullptr;
    QListWidget* usersid = nullptr;
    QGroupBox* Frame1 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* Command4 = nullptr;
    QPushButton* Command6 = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* Text1 = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // What the window shows, to go back to when a handler fails part way.
    struct Shown {
        QStringList groups;
        int selectedGroup = -1;
        QList<GroupMember> members;
        int selectedMember = -1;
        std::int16_t pendingGroup = -1;
        QString selectedText;
    };

    void buildControls();
    // Runs a handler's steps; a failure is shown in one message and the window restored.
    template <typename Steps> void guarded(const QString& title, Steps steps);
    Shown shown() const;
    void restore(const Shown& state);

    // groups: the group list the index is written with when a member list is saved.
    void saveQuestion(const QStringList& groups);
    void groupClickSteps(const QStringList& groups);
    void unloadSteps();
    void saveUsersSteps(int g, const QStringList& groups);
    std::optional<QString> refusedGroupName(const QString& name) const;

    int selectedGroup() const;
    int selectedMember() const;
    QStringList groupNames() const;
    void setGroups(const QStringList& names, int selected);
    void showMembers(int selected = -1);

    CalendarNamespace& mapi_ns_;
    QLineEdit& boardGroupField_;
    SettingsStore& settings_;
    Prompts& prompts_;
    QList<GroupMember> members_;
    // The group whose members the lists show: the selection as the last group click left it.
    int shownGroup_ = -1;
    // Where a failing handler goes back to; set when the handler starts.
    std::optional<Shown> restorePoint_;
    bool unloadOnClose_ = true;
};

} // namespace rv
