#include "board/day_texts.h"

#include "calendar/day_query.h"

#include <QDate>
#include <QLocale>
#include <algorithm>

namespace rv {

namespace {

void appendTwoDigits(QString& text, int value) {
    text += QLatin1Char(char('0' + value / 10 % 10));
    text += QLatin1Char(char('0' + value % 10));
}

// "dd hh:mm AP " or "hh:mm AP ": "hh" on the 12-hour clock with two digits, AM or PM in
// capitals, one trailing blank. Written by hand: every build writes it for every item of the
// month (a formatting pattern is read anew on each call).
QString clockText(const QDateTime& when, bool withDay) {
    const QTime time = when.time();
    QString text;
    text.reserve(12);
    if (withDay) {
        appendTwoDigits(text, when.date().day());
        text += QLatin1Char(' ');
    }
    appendTwoDigits(text, time.hour() % 12 == 0 ? 12 : time.hour() % 12);
    text += QLatin1Char(':');
    appendTwoDigits(text, time.minute());
    text += time.hour() < 12 ? QLatin1String(" AM ") : QLatin1String(" PM ");
    return text;
}

const QChar kEllipsis(0x2026);

} // namespace

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

QString detailsBoxText(const QString& details) {
    return details.isEmpty() ? QStringLiteral("Free All Day") : details;
}

QString dayNumberToolTip(int day, int month, int year) {
    return QLocale::c().toString(QDate(year, month, day), QStringLiteral("dddd dd/MM/yyyy"));
}

} // namespace rv
