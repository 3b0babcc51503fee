// Feeds every file of the given folders (or the given files) to the target once, as libFuzzer's
// -runs=0 does, so that the corpus and the inputs of past crashes are replayed by the ordinary
// test suite without clang. Exits non-zero when a folder holds no input.

#include "fuzz_target.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

int main(int argc, char** argv) {
    // Some targets change the working directory when they start.
    QStringList paths;
    for (int i = 1; i < argc; ++i)
        paths << QFileInfo(QFile::decodeName(argv[i])).absoluteFilePath();
    LLVMFuzzerInitialize(&argc, &argv);
    int inputs = 0;
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
            std::fprintf(stderr, "%s (%lld bytes)\n", qPrintable(file), qlonglong(bytes.size()));
            LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                   std::size_t(bytes.size()));
            ++inputs;
        }
    }
    std::fprintf(stderr, "%d inputs replayed\n", inputs);
    return inputs > 0 ? 0 : 1;
}
