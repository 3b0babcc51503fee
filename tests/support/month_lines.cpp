#include "support/month_lines.h"

#include "board/board_builder.h"

#include <QCoreApplication>

namespace rv::test {

QStringList monthLines(CalendarNamespace& ns, const QStringList& users, const QStringList& ids,
                       int month, int year, bool readAhead) {
    BoardBuilder builder;
    builder.beginBuild();
    if (readAhead) {
        std::vector<RowMember> members;
        for (const QString& id : ids)
            members.push_back(RowMember{0, 0, id});
        BoardBuilder::prefetchMonths(ns, members, month, year);
    }
    QStringList lines;
    QList<int> rows;
    for (int i = 0; i < ids.size(); ++i) {
        try {
            if (builder.memberName(ns, ids[i]))
                rows << i;
        } catch (const CalendarError&) {
        }
    }
    for (const int i : rows) {
        PersonMonth m = builder.openMonth(ns, ids[i], PersonLookUp::ByEntryId, month, year);
        if (!m.readable()) {
            lines << users[i] +
                         (m.denied() ? QStringLiteral(" denied") : QStringLiteral(" failed"));
            continue;
        }
        for (int d = 1; d <= m.days(); ++d) {
            const DayCell cell = m.readDay(d);
            lines << QStringLiteral("%1 %2: %3 %4")
                         .arg(users[i])
                         .arg(d, 2, 10, QLatin1Char('0'))
                         .arg(cell.unread ? QStringLiteral("unread") : categoryKey(cell.category),
                              cell.text);
        }
    }
    const QString report = builder.failureReport();
    if (!report.isEmpty())
        lines << QStringLiteral("told: ") + report;
    // Back in the event loop: the build is over.
    QCoreApplication::processEvents();
    return lines;
}

QString dayOf(const QStringList& lines, const QString& user, int day) {
    const QString start = QStringLiteral("%1 %2: ").arg(user).arg(day, 2, 10, QLatin1Char('0'));
    for (const QString& line : lines)
        if (line.startsWith(start))
            return line.mid(start.size());
    return {};
}

} // namespace rv::test
