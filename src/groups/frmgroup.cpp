#include "groups/frmgroup.h"

#include "groups/windows1252.h"
#include "ui/twips.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>

namespace rv {
namespace {

QLabel* headingLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(15.75);
    label->setFont(font);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

// Why "Add User" added nobody: the name matches no one, or more than one person.
QString nobodyAnswersTo(const QString& name) {
    return QStringLiteral("Nobody was added: no one person in the calendar service answers to "
                          "\"%1\". Type the display name, e-mail address or user name of the "
                          "person, or the beginning of a name or address that only they have.")
        .arg(name);
}

// A label as wide as its text needs, grown towards the left so that it still ends where it was
// placed (beside the field it names): the window's font may be wider than the one it was
// designed for.
void fitLabelLeftwards(QLabel* label) {
    const int needed = label->sizeHint().width();
    if (needed <= label->width())
        return;
    const QRect placed = label->geometry();
    label->setGeometry(std::max(0, placed.right() + 1 - needed), placed.y(), needed,
                       std::max(placed.height(), label->sizeHint().height()));
}

QString blanksTrimmed(QString text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}

} // namespace

frmgroup::frmgroup(CalendarNamespace& mapi_ns, QLineEdit& boardGroupField, SettingsStore& settings,
                   Prompts& prompts, QWidget* parent)
    : QWidget(parent, Qt::Window), mapi_ns_(mapi_ns), boardGroupField_(boardGroupField),
      settings_(settings), prompts_(prompts) {
    buildControls();
    Form_Load();
}

void frmgroup::buildControls() {
    setWindowTitle(QStringLiteral("Groups"));
    resize(twipsToPixels(8385), twipsToPixels(3195));

    Label1 = headingLabel(QStringLiteral("Groups"), this);
    Label1->setGeometry(twipsRect(2565, 45, 1725, 390));
    grplist1 = new QListWidget(this);
    grplist1->setSelectionMode(QAbstractItemView::SingleSelection);
    grplist1->setGeometry(twipsRect(2490, 495, 2025, 2010));
    Label2 = headingLabel(QStringLiteral("Users"), this);
    Label2->setGeometry(twipsRect(5295, 30, 1725, 390));
    userslst1 = new QListWidget(this);
    userslst1->setSelectionMode(QAbstractItemView::SingleSelection);
    userslst1->setGeometry(twipsRect(4800, 510, 3105, 2010));
    usersid = new QListWidget(this);
    usersid->setGeometry(twipsRect(4800, 1920, 135, 645));
    usersid->hide();

    Frame1 = new QGroupBox(this);
    Frame1->setGeometry(twipsRect(180, 240, 2175, 855));
    Command1 = new QPushButton(QStringLiteral("Add a Group"), Frame1);
    Command1->setGeometry(twipsRect(120, 180, 1965, 255));
    Command2 = new QPushButton(QStringLiteral("Remove Group"), Frame1);
    Command2->setGeometry(twipsRect(120, 480, 1965, 255));

    Frame2 = new QGroupBox(this);
    Frame2->setGeometry(twipsRect(180, 1200, 2175, 855));
    Command3 = new QPushButton(QStringLiteral("Add User"), Frame2);
    Command3->setGeometry(twipsRect(120, 180, 1935, 255));
    Command3->setToolTip(QStringLiteral("You must first select a group"));
    Command4 = new QPushButton(QStringLiteral("Remove a User"), Frame2);
    Command4->setGeometry(twipsRect(120, 480, 1935, 255));

    Command6 = new QPushButton(QStringLiteral("OK"), this);
    Command6->setGeometry(twipsRect(240, 2220, 1275, 435));
    Label3 = new QLabel(QStringLiteral("Selected Group"), this);
    Label3->setGeometry(twipsRect(1260, 2760, 1215, 255));
    Label3->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    fitLabelLeftwards(Label3);
    Text1 = new QLineEdit(this);
    Text1->setReadOnly(true);
    Text1->setGeometry(twipsRect(2520, 2700, 2295, 285));

    setTabOrder(grplist1, userslst1);
    setTabOrder(userslst1, Command3);
    setTabOrder(Command3, Command4);
    setTabOrder(Command4, Command1);
    setTabOrder(Command1, Command2);
    setTabOrder(Command2, Text1);
    setTabOrder(Text1, Command6);

    connect(Command1, &QPushButton::clicked, this, &frmgroup::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmgroup::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &frmgroup::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &frmgroup::Command4_Click);
    connect(Command6, &QPushButton::clicked, this, &frmgroup::Command6_Click);
    // Changes the handlers make to the list themselves block this signal: only the user's
    // selection is a click.
    connect(grplist1, &QListWidget::itemSelectionChanged, this, &frmgroup::grplist1_Click);
}

// ---- handlers

void frmgroup::Form_Load() {
    Text1->setText(boardGroupField_.text());
    pending_group = -1;
    members_.clear();
    showMembers();
    setGroups({}, -1);
    shownGroup_ = -1;
    // The index is read whenever it exists, whether or not the board has a group: a list left
    // empty here would be written back over every stored group.
    guarded(QStringLiteral("Groups"), [this] {
        if (groupIndexExists())
            setGroups(read_group_index(), -1);
    });
}

void frmgroup::Form_Unload(bool& Cancel) {
    Q_UNUSED(Cancel); // the editor always closes
    guarded(QStringLiteral("Groups"), [this] { unloadSteps(); });
}

void frmgroup::grplist1_Click() {
    Shown before = shown();
    before.selectedGroup = shownGroup_; // the user has already moved the selection
    restorePoint_ = before;
    guarded(QStringLiteral("Groups"), [this] { groupClickSteps(groupNames()); });
}

void frmgroup::Command1_Click() {
    guarded(QStringLiteral("Add Group"), [this] {
        saveQuestion(groupNames());
        const auto entered =
            prompts_.input(this, QStringLiteral("Please Enter a Unique Group name"),
                           QStringLiteral("Add Group"), QString());
        if (!entered)
            return; // cancelled: nothing is added
        const QString name = blanksTrimmed(*entered);
        if (const auto refusal = refusedGroupName(name)) {
            prompts_.message(this, *refusal, QStringLiteral("Add Group"),
                             Prompts::Icon::Exclamation);
            return;
        }
        setGroups(groupNames() << name, selectedGroup());
        unloadSteps();
    });
}

void frmgroup::Command2_Click() {
    const int k = selectedGroup();
    if (k < 0) {
        prompts_.message(this, QStringLiteral("Please Select a Group to delete"),
                         QStringLiteral("No Selection"), Prompts::Icon::Exclamation);
        return;
    }
    guarded(QStringLiteral("Remove Group"), [this, k] {
        const QStringList groups = groupNames();
        QStringList names = groups;
        names.removeAt(k);
        setGroups(names, -1);
        // The steps of closing: the save question (a member list saved now keeps its group's
        // present number, which the removal then moves down with the others) and the emptied
        // member lists. The index is written by the removal itself, in the same step as the
        // member files, so that no interruption leaves them disagreeing; no group is selected,
        // so the board's group name and "DefaultGrp" stay as they are.
        groupClickSteps(groups);
        remove_group_files(k, groups);
    });
}

void frmgroup::Command3_Click() {
    const int group = selectedGroup();
    if (group < 0) {
        prompts_.message(this, QStringLiteral("Please Select a Group"),
                         QStringLiteral("No Selection"), Prompts::Icon::Exclamation);
        return;
    }
    guarded(QStringLiteral("Add User Dialog"), [this, group] {
        const auto entered =
            prompts_.input(this, QStringLiteral("User Name"), QStringLiteral("Add User Dialog"),
                           QStringLiteral("BOB"));
        if (!entered)
            return; // cancelled: an empty name could still match somebody
        const auto recipient = mapi_ns_.CreateRecipient(*entered);
        if (recipient)
            recipient->Resolve();
        if (!recipient || !recipient->Resolved()) {
            // Nothing is added; without a word the click would look like it did nothing.
            prompts_.message(this, nobodyAnswersTo(*entered), QStringLiteral("Add User Dialog"),
                             Prompts::Icon::Exclamation);
            return;
        }
        members_.append({recipient->Name(), recipient->EntryID()});
        showMembers(selectedMember());
        pending_group = static_cast<std::int16_t>(group);
    });
}

void frmgroup::Command4_Click() {
    const int p = selectedMember();
    if (p < 0) {
        prompts_.message(this, QStringLiteral("Please Select a User to Delete"),
                         QStringLiteral("No Selection"), Prompts::Icon::Exclamation);
        return;
    }
    members_.removeAt(p);
    showMembers();
    pending_group = static_cast<std::int16_t>(selectedGroup());
}

void frmgroup::Command6_Click() {
    close();
}

void frmgroup::save_users(int g) {
    guarded(QStringLiteral("Save Changes"), [this, g] { saveUsersSteps(g, groupNames()); });
}

void frmgroup::unloadWithoutSaving() {
    unloadOnClose_ = false;
    close();
}

void frmgroup::closeEvent(QCloseEvent* event) {
    if (unloadOnClose_) {
        bool cancel = false;
        Form_Unload(cancel);
    }
    event->accept();
}

// ---- steps shared by the handlers

template <typename Steps> void frmgroup::guarded(const QString& title, Steps steps) {
    if (!restorePoint_)
        restorePoint_ = shown();
    QString failure;
    try {
        steps();
    } catch (const FileError& error) {
        failure = error.message();
    } catch (const CalendarError& error) {
        failure = QStringLiteral("The calendar service failed: %1").arg(error.message());
    } catch (const std::exception& error) {
        failure = errorMessage(error);
    }
    if (!failure.isEmpty()) {
        restore(*restorePoint_);
        prompts_.message(this, failure, title, Prompts::Icon::Critical);
    }
    restorePoint_.reset();
}

void frmgroup::saveQuestion(const QStringList& groups) {
    if (pending_group == -1)
        return;
    if (prompts_.question(this, QStringLiteral("Save Changes ?"), QStringLiteral("Save Changes")))
        saveUsersSteps(pending_group, groups);
    pending_group = -1;
}

void frmgroup::groupClickSteps(const QStringList& groups) {
    saveQuestion(groups);
    members_.clear();
    const int k = selectedGroup();
    if (k >= 0 && memberFileExists(k))
        members_ = read_members(k);
    showMembers();
    Text1->setText(k >= 0 ? grplist1->item(k)->text() : QString());
    shownGroup_ = k;
}

void frmgroup::unloadSteps() {
    groupClickSteps(groupNames());
    write_group_index(groupNames());
    const int k = selectedGroup();
    if (k >= 0) {
        const QString name = grplist1->item(k)->text();
        boardGroupField_.setText(name);
        settings_.SaveSetting(QStringLiteral("Settings"), QStringLiteral("DefaultGrp"), name);
    }
}

void frmgroup::saveUsersSteps(int g, const QStringList& groups) {
    const int k = g == -1 ? selectedGroup() : g;
    if (k < 0)
        return;
    // The member file is saved before the index entry, so that a failed member save leaves the
    // index as it was.
    write_members(k, members_);
    write_group_entry(k, groups);
}

std::optional<QString> frmgroup::refusedGroupName(const QString& name) const {
    if (const auto character = windows1252::firstUnencodable(name))
        return QStringLiteral("The group name cannot contain \"%1\": group names can only hold "
                              "Western European (Windows-1252) characters.")
            .arg(*character);
    if (name.size() > kGroupNameWidth)
        return QStringLiteral("The group name is %1 characters long: a group name can have at "
                              "most %2 characters.")
            .arg(name.size())
            .arg(kGroupNameWidth);
    if (name == QLatin1String("XXX"))
        return QStringLiteral("\"XXX\" marks the end of the group list and cannot be a group "
                              "name.");
    return std::nullopt;
}

// ---- list access

int frmgroup::selectedGroup() const {
    const auto items = grplist1->selectedItems();
    return items.isEmpty() ? -1 : grplist1->row(items.first());
}

int frmgroup::selectedMember() const {
    const auto items = userslst1->selectedItems();
    return items.isEmpty() ? -1 : userslst1->row(items.first());
}

QStringList frmgroup::groupNames() const {
    QStringList names;
    for (int i = 0; i < grplist1->count(); ++i)
        names << grplist1->item(i)->text();
    return names;
}

void frmgroup::setGroups(const QStringList& names, int selected) {
    const QSignalBlocker blocker(grplist1);
    grplist1->clear();
    grplist1->addItems(names);
    if (selected >= 0 && selected < grplist1->count())
        grplist1->setCurrentRow(selected);
    else
        grplist1->setCurrentRow(-1);
    grplist1->clearSelection();
    if (selected >= 0 && selected < grplist1->count())
        grplist1->item(selected)->setSelected(true);
}

// Both member lists are refilled from the one list of pairs, so they never fall out of step.
void frmgroup::showMembers(int selected) {
    const QSignalBlocker blocker(userslst1);
    userslst1->clear();
    usersid->clear();
    for (const auto& member : members_) {
        userslst1->addItem(member.name);
        usersid->addItem(member.id);
    }
    if (selected >= 0 && selected < userslst1->count())
        userslst1->item(selected)->setSelected(true);
}

frmgroup::Shown frmgroup::shown() const {
    return {groupNames(),     selectedGroup(), members_,
            selectedMember(), pending_group,   Text1->text()};
}

void frmgroup::restore(const Shown& state) {
    setGroups(state.groups, state.selectedGroup);
    members_ = state.members;
    showMembers(state.selectedMember);
    pending_group = state.pendingGroup;
    Text1->setText(state.selectedText);
    shownGroup_ = state.selectedGroup;
}

} // namespace rv
