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
void appendClockText(QString& text, const QDateTime& when, bool withDay) {
    const QTime time = when.time();
    if (withDay) {
        appendTwoDigits(text, when.date().day());
        text += QLatin1Char(' ');
    }
    appendTwoDigits(text, time.hour() % 12 == 0 ? 12 : time.hour() % 12);
    text += QLatin1Char(':');
    appendTwoDigits(text, time.minute());
    text += time.hour() < 12 ? QLatin1String(" AM ") : QLatin1String(" PM ");
}

// One line of the details, appended to text (see detailsLine).
void appendDetailsLine(QString& text, const AppointmentItem& item) {
    const int sensitivity = item.Sensitivity();
    const bool normal = sensitivity == kSensitivityNormal;
    appendClockText(text, item.Start(), normal);
    text += QLatin1String("->");
    appendClockText(text, item.End(), normal);
    text += QLatin1Char(' ');
    if (normal) {
        text += elided(item.Subject(), kMaxItemText);
        text += QLatin1Char(' ');
        text += elided(item.Location(), kMaxItemText);
    } else {
        text +=
            elided(sensitivity >= kSensitivityPersonal && sensitivity <= kSensitivityConfidential
                       ? mask_subject(item)
                       : item.Subject(),
                   kMaxItemText);
    }
    text += QChar(13);
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
    QString line;
    appendDetailsLine(line, item);
    return line;
}

QString detailsText(const DayItems& items) {
    QString text;
    for (const auto& item : items) {
        const qsizetype before = text.size();
        appendDetailsLine(text, *item);
        if (text.size() > kMaxDetailsText) {
            text.truncate(before);
            return text + kEllipsis + QChar(13);
        }
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
