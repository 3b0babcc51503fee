#pragma once

#include <QFile>
#include <QList>
#include <QStringList>
#include <QTest>

namespace rv::test {

// The bytes of a file under tests/data/; a file that is missing stops the test program, since
// every answer read from it would be wrong.
inline QByteArray dataFile(const QString& name) {
    QFile file(QStringLiteral(ROTAVIEW_SOURCE_DIR "/tests/data/") + name);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(file.fileName()));
    return file.readAll();
}

// The rows of a tab-separated table under tests/data/, its fields as written; blank lines and
// lines starting with '#' are left out.
inline QList<QStringList> dataTable(const QString& name) {
    QList<QStringList> rows;
    for (const QString& line : QString::fromUtf8(dataFile(name)).split(QLatin1Char('\n')))
        if (!line.isEmpty() && !line.startsWith(QLatin1Char('#')))
            rows << line.split(QLatin1Char('\t'));
    return rows;
}

// Adds every row of a table of texts to the test's data: the first field names the row, the
// others fill its columns in order.
inline void addDataRows(const QString& name) {
    for (const QStringList& row : dataTable(name)) {
        QTestData& data = QTest::newRow(qPrintable(row.first()));
        for (const QString& field : row.mid(1))
            data << field;
    }
}

} // namespace rv::test
