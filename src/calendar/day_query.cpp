#include "calendar/day_query.h"

#include <QDate>
#include <QHash>
#include <algorithm>

namespace rv {

QString dayText(int day, int month, int year) {
    return QStringLiteral("%1/%2/%3")
        .arg(day, 2, 10, QLatin1Char('0'))
        .arg(month, 2, 10, QLatin1Char('0'))
        .arg(year, 4, 10, QLatin1Char('0'));
}

QString elided(const QString& text, qsizetype maxLength) {
    if (text.size() <= maxLength)
        return text;
    qsizetype keep = std::max<qsizetype>(0, maxLength - 1);
    // Never half of a character written as a surrogate pair.
    if (keep > 0 && text.at(keep - 1).isHighSurrogate())
        --keep;
    return text.left(keep) + QChar(0x2026);
}

QString build_day_filter(int day, int month, int year) {
    // A build asks every person the same days: each filter is written once.
    thread_local QHash<qint64, QString> written;
    const qint64 key = (qint64(year) * 16 + month) * 32 + day;
    if (const auto found = written.constFind(key); found != written.constEnd())
        return *found;
    if (written.size() > 400)
        written.clear();
    const QString d = dayText(day, month, year);
    const QString filter =
        QStringLiteral("([Start]>='") + d + QStringLiteral(" 12:00 AM' and [start]<= '") + d +
        QStringLiteral(" 11:59 PM') or ([Start]<='") + d +
        QStringLiteral(" 12:00 AM' and [end]>= '") + d + QStringLiteral(" 12:01 AM')");
    written.insert(key, filter);
    return filter;
}

QString mask_subject(int sensitivity, const QString& subject) {
    switch (sensitivity) {
    case kSensitivityPersonal:
        return QStringLiteral("Personal Appointment");
    case kSensitivityPrivate:
        return QStringLiteral("Private Appointment");
    case kSensitivityConfidential:
        return QStringLiteral("Confidential Appointment");
    default:
        return subject;
    }
}

QString mask_subject(const AppointmentItem& item) {
    return mask_subject(item.Sensitivity(), item.Subject());
}

DayQueryResult query_day(CalendarFolder& folder, int day, int month, int year) {
    DayQueryResult result;
    try {
        // A day that is not a calendar date (month 0 when no month is selected) cannot be
        // written as a day text: the query fails and the day counts as empty.
        if (!QDate(year, month, day).isValid())
            throw CalendarError(calendar_error::BadFilter,
                                QStringLiteral("%1 is not a date").arg(dayText(day, month, year)));
        const QString filter = build_day_filter(day, month, year);
        std::unique_ptr<CalendarItems> items = folder.Items();
        items->SetIncludeRecurrences(true);
        for (auto item = items->Find(filter); item; item = items->FindNext())
            result.items.push_back(std::move(item));
    } catch (const CalendarError& error) {
        result.failure = error;
    }
    return result;
}

} // namespace rv
