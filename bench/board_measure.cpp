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

Clock clock_ = Clock::Cpu;

// Milliseconds on the chosen clock since start() or restart().
class Stopwatch {
public:
    Stopwatch() { restart(); }
    void start() { restart(); }
    void restart() { begin_ = now(); }
    double ms() const { return (now() - begin_) / 1e6; }

private:
    static double now() {
        timespec t{};
        clock_gettime(clock_ == Clock::Cpu ? CLOCK_PROCESS_CPUTIME_ID : CLOCK_MONOTONIC, &t);
        return double(t.tv_sec) * 1e9 + double(t.tv_nsec);
    }
    double begin_ = 0;
};

double elapsedMs(const Stopwatch& timer) {
    return timer.ms();
}

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

BoardFigures measureBoard(const QString& group, QDate month, int repeats, int firstRuns) {
    BoardFigures figures;
    std::unique_ptr<Window> window;
    const auto firstBuild = [&](bool painting) {
        window.reset();
        window = std::make_unique<Window>(group, month);
        window->form->grid().setPaintingEnabled(painting);
        Stopwatch timer;
        timer.start();
        window->form->Form_Load();
        settle();
        figures.unexpectedBoxes += window->prompts.shown;
        return elapsedMs(timer);
    };
    figures.firstMs = figures.firstNoPaintMs = 1e300;
    for (int run = 0; run < std::max(1, firstRuns); ++run) {
        figures.firstMs = std::min(figures.firstMs, firstBuild(true));
        figures.firstNoPaintMs = std::min(figures.firstNoPaintMs, firstBuild(false));
    }

    Form1& form = *window->form;
    const auto build = [&](bool painting) {
        form.grid().setPaintingEnabled(painting);
        Stopwatch timer;
        timer.start();
        form.Command4_Click();
        settle();
        return elapsedMs(timer);
    };
    figures.repeatMs = figures.noPaintMs = 1e300;
    for (int i = 0; i < std::max(1, repeats); ++i) {
        figures.repeatMs = std::min(figures.repeatMs, build(true));
        figures.noPaintMs = std::min(figures.noPaintMs, build(false));
    }
    form.grid().setPaintingEnabled(true);
    figures.unexpectedBoxes += window->prompts.shown;

    figures.rows = form.grid().rowCount() - 1;
    figures.days = month.daysInMonth();
    for (int r = 1; r <= figures.rows; ++r)
        figures.deniedRows += form.grid().cellHasPicture(r, 1) ? 1 : 0;
    return figures;
}

FloorFigures measureFloor(const QString& group, QDate month, FloorConnection connection) {
    QList<GroupMember> members;
    for (int groupNo : find_group_number(group))
        members += read_members(groupNo);

    ConsolePrompts prompts;
    QtDesktop desktop;
    FloorFigures figures;
    Stopwatch timer;
    timer.start();
    const ServiceProfile profile = loadServiceProfile();
    std::unique_ptr<CalendarApplication> application;
    std::shared_ptr<CalendarNamespace> ns;
    const auto connect = [&] {
        ns.reset();
        application = openCalendarApplication(profile, CalendarServiceContext{prompts, desktop});
        ns = application->GetNamespace(QStringLiteral("MAPI"));
    };
    connect();

    const auto queryAll = [&] {
        figures.people = 0;
        figures.items = 0;
        figures.bookedMinutes = 0;
        for (const GroupMember& member : members) {
            if (connection == FloorConnection::PerPerson)
                connect();
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
            for (int d = 1; d <= month.daysInMonth(); ++d) {
                const DayQueryResult day = query_day(*folder, d, month.month(), month.year());
                for (const auto& item : day.items) {
                    figures.bookedMinutes += item->Start().secsTo(item->End()) / 60;
                    ++figures.items;
                }
            }
        }
    };
    queryAll();
    figures.coldMs = elapsedMs(timer);
    timer.restart();
    queryAll();
    figures.warmMs = elapsedMs(timer);
    return figures;
}

void setClock(Clock clock) {
    clock_ = clock;
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
