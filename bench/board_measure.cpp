#include "bench/board_measure.h"

#include "board/form1.h"
#include "calendar/connection/calendar_connection.h"
#include "calendar/day_query.h"
#include "calendar/service_profile.h"
#include "groups/group_files.h"
#include "platform/prompts.h"
#include "platform/qt_desktop.h"
#include "support/memory_settings.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>
#include <algorithm>
#include <malloc.h>
#include <sys/resource.h>
#include <time.h>

namespace rv::bench {

namespace {

// A build shows no box; one that does is counted and reported, never waited on.
class ConsolePrompts : public Prompts {
public:
    void message(QWidget*, const QString& text, const QString& title, Icon) override {
        note(title, text);
    }
    bool question(QWidget*, const QString& text, const QString& title) override {
        note(title, text);
        return false;
    }
    std::optional<QString> input(QWidget*, const QString& prompt, const QString& title,
                                 const QString&, bool) override {
        note(title, prompt);
        return std::nullopt;
    }
    std::optional<std::uint32_t> chooseColor(QWidget*) override { return std::nullopt; }
    std::optional<QString> saveFileName(QWidget*, const QString& caption, const QString&,
                                        const QStringList&) override {
        note(caption, QString());
        return std::nullopt;
    }
    bool setUpPrinter(QWidget*, QPrinter&) override {
        note(QStringLiteral("Print"), QString());
        return false;
    }

    int shown = 0;

private:
    void note(const QString& title, const QString& text) {
        ++shown;
        QTextStream(stderr) << "unexpected box \"" << title << "\": " << text << "\n";
    }
};

// Everything the window left to be painted is painted inside the measured time.
void settle() {
    QCoreApplication::processEvents();
}

struct Window {
    test::MemorySettings settings;
    ConsolePrompts prompts;
    QtDesktop desktop;
    std::unique_ptr<Form1> form;

    Window(const QString& group, QDate month) {
        settings.SaveSetting(QStringLiteral("Settings"), QStringLiteral("DefaultGrp"), group);
        settings.SaveSetting(QStringLiteral("Settings"), QStringLiteral("Month"),
                             QString::number(month.month()));
        settings.SaveSetting(QStringLiteral("Settings"), QStringLiteral("Year"),
                             QString::number(month.year()));
        BoardServices services{.settings = settings,
                               .prompts = prompts,
                               .desktop = desktop,
                               .registry = nullptr,
                               .openCalendarApplication =
                                   [this] {
                                       return openCalendarApplication(
                                           loadServiceProfile(),
                                           CalendarServiceContext{prompts, desktop});
                                   },
                               .openWordProcessor = {}};
        form = std::make_unique<Form1>(services);
    }
};

} // namespace

namespace {

double nowMs(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

} // namespace

Stopwatch::Stopwatch() : wall_(nowMs(CLOCK_MONOTONIC)), cpu_(nowMs(CLOCK_PROCESS_CPUTIME_ID)) {}

Times Stopwatch::elapsed() const {
    return {nowMs(CLOCK_MONOTONIC) - wall_, nowMs(CLOCK_PROCESS_CPUTIME_ID) - cpu_};
}

FirstBuild measureFirstBuild(const QString& group, QDate month, bool painting) {
    FirstBuild figures;
    Window window(group, month);
    window.form->grid().setPaintingEnabled(painting);
    const Stopwatch timer;
    window.form->Form_Load();
    settle();
    figures.time = timer.elapsed();
    figures.unexpectedBoxes = window.prompts.shown;
    BoardGrid& grid = window.form->grid();
    figures.rows = grid.rowCount() - 1;
    for (int r = 1; r <= figures.rows; ++r)
        figures.deniedRows += grid.cellHasPicture(r, 1) ? 1 : 0;
    return figures;
}

RepeatedBuilds measureRepeatedBuilds(const QString& group, QDate month, int repeats) {
    RepeatedBuilds figures;
    Window window(group, month);
    window.form->Form_Load();
    settle();
    Form1& form = *window.form;
    const auto build = [&](bool painting) {
        form.grid().setPaintingEnabled(painting);
        const Stopwatch timer;
        form.Command4_Click();
        settle();
        return timer.elapsed();
    };
    const auto keepBest = [](Times& best, const Times& now) {
        if (best.wallMs == 0 || now.wallMs < best.wallMs)
            best.wallMs = now.wallMs;
        if (best.cpuMs == 0 || now.cpuMs < best.cpuMs)
            best.cpuMs = now.cpuMs;
    };
    for (int i = 0; i < std::max(1, repeats); ++i) {
        keepBest(figures.painted, build(true));
        keepBest(figures.unpainted, build(false));
    }
    form.grid().setPaintingEnabled(true);
    figures.unexpectedBoxes = window.prompts.shown;
    figures.rows = form.grid().rowCount() - 1;
    return figures;
}

FloorFigures measureFloor(const QString& group, QDate month) {
    QList<GroupMember> members;
    for (int groupNo : find_group_number(group))
        members += read_members(groupNo);

    ConsolePrompts prompts;
    QtDesktop desktop;
    FloorFigures figures;
    std::unique_ptr<CalendarApplication> application =
        openCalendarApplication(loadServiceProfile(), CalendarServiceContext{prompts, desktop});
    std::shared_ptr<CalendarNamespace> ns = application->GetNamespace(QStringLiteral("MAPI"));
    const auto queryAll = [&] {
        figures.people = 0;
        figures.items = 0;
        for (const GroupMember& member : members) {
            std::shared_ptr<CalendarFolder> folder;
            try {
                std::shared_ptr<CalendarRecipient> recipient = ns->GetRecipientFromID(member.id);
                if (!recipient->Resolve())
                    continue;
                folder = ns->GetSharedDefaultFolder(*recipient, kFolderCalendar);
            } catch (const CalendarError&) {
                continue;
            }
            ++figures.people;
            for (int d = 1; d <= month.daysInMonth(); ++d)
                figures.items +=
                    qint64(query_day(*folder, d, month.month(), month.year()).items.size());
        }
    };
    queryAll();
    const Stopwatch timer;
    queryAll();
    figures.again = timer.elapsed();
    return figures;
}

qint64 peakMemoryKib() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("VmHWM:"))
                return line.mid(6).trimmed().split(' ').first().toLongLong();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

qint64 currentMemoryKib() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("VmRSS:"))
                return line.mid(6).trimmed().split(' ').first().toLongLong();
    return 0;
}

bool resetPeakMemory() {
    malloc_trim(0);
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
}

} // namespace rv::bench
