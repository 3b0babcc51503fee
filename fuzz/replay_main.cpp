// Feeds every file of the given folders (or the given files) to the target once, as libFuzzer's
// -runs=0 does, so that the corpus and the inputs of past crashes are replayed by the ordinary
// test suite without clang. Exits non-zero when a folder holds no input, and when an input takes
// longer than its time: a slow input fails the replay rather than being left out of the corpus.
//
//   <target>_replay [--seconds N] folder-or-file...
//
// The time is processor time, so that a busy machine does not fail it; by default 2 s an input,
// 10 s in a sanitizer build. An input still running at four times its time ends the replay at
// once, naming it.

#include "fuzz_target.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sys/time.h>
#include <unistd.h>

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr double kDefaultSeconds = 10;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr double kDefaultSeconds = 10;
#else
constexpr double kDefaultSeconds = 2;
#endif
#else
constexpr double kDefaultSeconds = 2;
#endif

// The input being replayed, for the watchdog's message.
char current[4096];

void onWatchdog(int) {
    const char head[] = "input far over its time, replay stopped: ";
    (void)!::write(2, head, sizeof head - 1);
    (void)!::write(2, current, std::strlen(current));
    (void)!::write(2, "\n", 1);
    _exit(3);
}

double processorSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// Arms (or, with 0, disarms) the watchdog on the processor time the process spends.
void armWatchdog(double seconds) {
    itimerval timer{};
    timer.it_value.tv_sec = time_t(seconds);
    timer.it_value.tv_usec = suseconds_t((seconds - double(time_t(seconds))) * 1e6);
    setitimer(ITIMER_PROF, &timer, nullptr);
}

} // namespace

int main(int argc, char** argv) {
    double limit = kDefaultSeconds;
    // Some targets change the working directory when they start.
    QStringList paths;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc)
            limit = std::atof(argv[++i]);
        else
            paths << QFileInfo(QFile::decodeName(argv[i])).absoluteFilePath();
    }
    LLVMFuzzerInitialize(&argc, &argv);
    std::signal(SIGPROF, onWatchdog);
    int inputs = 0;
    QStringList slow;
    for (const QString& path : paths) {
        QStringList files;
        if (QFileInfo(path).isDir()) {
            QDirIterator it(path, QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext())
                files << it.next();
            files.sort();
        } else {
            files << path;
        }
        for (const QString& file : files) {
            QFile f(file);
            if (!f.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "cannot read %s\n", qPrintable(file));
                return 2;
            }
            const QByteArray bytes = f.readAll();
            std::snprintf(current, sizeof current, "%s", qPrintable(file));
            const double before = processorSeconds();
            armWatchdog(4 * limit);
            LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                   std::size_t(bytes.size()));
            armWatchdog(0);
            const double took = processorSeconds() - before;
            std::fprintf(stderr, "%s (%lld bytes, %.3f s)\n", qPrintable(file),
                         qlonglong(bytes.size()), took);
            if (took > limit)
                slow << QStringLiteral("%1 (%2 s)").arg(file).arg(took, 0, 'f', 2);
            ++inputs;
        }
    }
    std::fprintf(stderr, "%d inputs replayed\n", inputs);
    if (!slow.isEmpty()) {
        std::fprintf(stderr, "%lld inputs took longer than %.1f s of processor time:\n",
                     qlonglong(slow.size()), limit);
        for (const QString& s : slow)
            std::fprintf(stderr, "  %s\n", qPrintable(s));
        return 4;
    }
    return inputs > 0 ? 0 : 1;
}
