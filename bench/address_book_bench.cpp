// Times the local store's address book over a large people.vcf: reading and indexing it, the
// first look-up through the store (the file read and parsed), and look-ups afterwards by display
// name, e-mail, user name and a prefix of a name. Look-ups go through indexes, so the cost grows
// with the cards once, at reading.
//
//   address_book_bench [cards]      (default 100000)

#include "bench_platform.h"
#include "calendar/connection/calendar_connection.h"
#include "calendar/local/address_book.h"
#include "calendar/service_profile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <ctime>
#include <sys/resource.h>

using namespace rv;

namespace {

// Cards as a team's export writes them: folded names, a structured name, work and home e-mail,
// a telephone number nobody reads.
QByteArray cards(int count) {
    QByteArray text;
    text.reserve(qsizetype(count) * 190);
    for (int i = 0; i < count; ++i) {
        const QByteArray n = QByteArray::number(i);
        text += "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:user" + n + "\r\nFN:Person " + n + " Surname" +
                n + "\r\nN:Surname" + n + ";Person " + n + ";;;\r\nEMAIL;TYPE=work:person" + n +
                "@example.org\r\nEMAIL;TYPE=home:p" + n + "@home.example\r\nTEL;TYPE=work:+49 30 " +
                n + "\r\nEND:VCARD\r\n";
    }
    return text;
}

// Wall-clock and processor time since start, the latter unaffected by other programs sharing
// the machine.
struct Clock {
    QElapsedTimer wall;
    double cpuStart = 0;
    static double cpu() {
        timespec now{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
        return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
    }
    void restart() {
        wall.restart();
        cpuStart = cpu();
    }
    QString since() const {
        return QStringLiteral("%1 s (processor %2 s)")
            .arg(double(wall.nsecsElapsed()) / 1e9, 0, 'f', 3)
            .arg(cpu() - cpuStart, 0, 'f', 3);
    }
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, atoi(argv[1])) : 100000;
    const QByteArray text = cards(count);

    Clock timer;
    timer.restart();
    const AddressBook book = AddressBook::parse(text);
    const QString parse = timer.since();

    // The same file through the store, as the board meets it.
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("people.vcf")));
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return 1;
    file.close();
    ServiceProfile profile;
    profile.backend = QStringLiteral("local");
    profile.folder = dir.path();
    profile.user = QStringLiteral("user0");
    bench::NoPrompts prompts;
    bench::NoDesktop desktop;
    auto application = openCalendarApplication(profile, CalendarServiceContext{prompts, desktop});
    auto ns = application->GetNamespace(QStringLiteral("MAPI"));
    timer.restart();
    const bool first = ns->CreateRecipient(QStringLiteral("Person 7 Surname7"))->Resolve();
    const QString firstLookUp = timer.since();

    // Every kind of look-up, spread over the book.
    const int lookUps = 30000;
    int resolved = 0;
    timer.restart();
    for (int i = 0; i < lookUps; ++i) {
        const QString n = QString::number(qint64(i) * 7919 % count);
        QString name;
        switch (i % 4) {
        case 0:
            name = QStringLiteral("Person %1 Surname%1").arg(n);
            break;
        case 1:
            name = QStringLiteral("person%1@EXAMPLE.org").arg(n);
            break;
        case 2:
            name = QStringLiteral("user") + n;
            break;
        default:
            name = QStringLiteral("Person %1 Sur").arg(n);
            break;
        }
        resolved += ns->CreateRecipient(name)->Resolve() ? 1 : 0;
    }
    const double looking = double(timer.wall.nsecsElapsed()) / 1e9;

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%d cards (%.1f MB), %d people kept\n", count, double(text.size()) / 1e6,
                int(book.people().size()));
    std::printf("  parse and index:                 %s\n", qPrintable(parse));
    std::printf("  first look-up through the store: %s: file read, parsed, indexed%s\n",
                qPrintable(firstLookUp), first ? "" : "  [did not resolve]");
    std::printf("  %d look-ups afterwards:       %.3f s (%.1f us each), %d resolved\n", lookUps,
                looking, 1e6 * looking / lookUps, resolved);
    std::printf("  peak memory:                     %.0f MB\n", double(usage.ru_maxrss) / 1024);
    return 0;
}
