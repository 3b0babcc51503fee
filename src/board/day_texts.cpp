#include "board/day_texts.h"

#include "calendar/day_query.h"

#include <QLocale>
#include <algorithm>

namespace rv {

namespace {

// "hh" on the 12-hour clock with two digits, AM or PM in capitals, one trailing blank.
QString clockText(const QDateTime& time, bool withDay) {
    return QLocale::c().toString(time, withDay ? QStringLiteral("dd hh:mm AP ")
                                               : QStringLiteral("hh:mm AP "));
}

const QChar kEllipsis(0x2026);

} // namespace

QString elided(const QString& text, qsizetype maxLength) {
    if (text.size() <= maxLength)
        return text;
    qsizetype keep = std::max<qsizetype>(0, maxLength - 1);
    // Never half of a character written as a surrogate pair.
    if (keep > 0 && text.at(keep - 1).isHighSurrogate())
        --keep;
    return text.left(keep) + kEllipsis;
}

QString dayDetailsText(const DayItems& items) {
    QString text;
    for (const auto& item : items) {
        if (!text.isEmpty())
            text += QLatin1Char(':');
        text += elided(mask_subject(*item), kMaxItemText);
        if (text.size() > kMaxCellText)
            return elided(text, kMaxCellText);
    }
    return text;
}

QString detailsLine(const AppointmentItem& item) {
    const int sensitivity = item.Sensitivity();
    const QChar cr(13);
    if (sensitivity == kSensitivityNormal)
        return clockText(item.Start(), true) + QStringLiteral("->") + clockText(item.End(), true) +
               QLatin1Char(' ') + elided(item.Subject(), kMaxItemText) + QLatin1Char(' ') +
               elided(item.Location(), kMaxItemText) + cr;
    const QString subject =
        sensitivity >= kSensitivityPersonal && sensitivity <= kSensitivityConfidential
            ? mask_subject(item)
            : item.Subject();
    return clockText(item.Start(), false) + QStringLiteral("->") + clockText(item.End(), false) +
           QLatin1Char(' ') + elided(subject, kMaxItemText) + cr;
}

QString detailsText(const DayItems& items) {
    QString text;
    for (const auto& item : items) {
        const QString line = detailsLine(*item);
        if (text.size() + line.size() > kMaxDetailsText)
            return text + kEllipsis + QChar(13);
        text += line;
    }
    return text;
}

} // namespace rv
