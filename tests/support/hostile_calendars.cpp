#include "support/hostile_calendars.h"

#include <QDateTime>

namespace rv::test {

namespace {

const QByteArray kHead =
    "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Rotaview tests//hostile//EN\r\n";
const QByteArray kOrdinary = "BEGIN:VEVENT\r\nUID:ordinary@hostile\r\nDTSTART:20240305T090000\r\n"
                             "DTEND:20240305T100000\r\nSUMMARY:Ordinary\r\nEND:VEVENT\r\n";
const QByteArray kTail = "END:VCALENDAR\r\n";

} // namespace

QByteArray deeplyNestedCalendar(int levels, bool closed) {
    QByteArray text = kHead + kOrdinary;
    text.reserve(text.size() + qsizetype(levels) * (closed ? 26 : 14) + kTail.size());
    for (int i = 0; i < levels; ++i)
        text += "BEGIN:VEVENT\r\n";
    if (closed) {
        for (int i = 0; i < levels; ++i)
            text += "END:VEVENT\r\n";
        text += kTail;
    }
    return text;
}

QByteArray secondlySeriesCalendar(int count) {
    QByteArray text = kHead;
    // An ordinary series beside them, to be shown whole: Tuesdays 10:00 from February.
    text += "BEGIN:VEVENT\r\nUID:weekly@hostile\r\nDTSTART:20240206T100000\r\n"
            "DTEND:20240206T110000\r\nSUMMARY:Weekly\r\nRRULE:FREQ=WEEKLY\r\nEND:VEVENT\r\n";
    for (int i = 0; i < count; ++i)
        text += "BEGIN:VEVENT\r\nUID:secondly-" + QByteArray::number(i) +
                "@hostile\r\nDTSTART:20240301T000000\r\nDTEND:20240301T000001\r\n"
                "SUMMARY:Every second " +
                QByteArray::number(i) + "\r\nRRULE:FREQ=SECONDLY\r\nEND:VEVENT\r\n";
    return text + kOrdinary + kTail;
}

QByteArray manyExclusionsCalendar(int exclusions) {
    QByteArray text = kHead + "BEGIN:VEVENT\r\nUID:hourly@hostile\r\nDTSTART:20240301T000000\r\n"
                              "DTEND:20240301T000100\r\nSUMMARY:Hourly\r\nRRULE:FREQ=HOURLY\r\n";
    // Every excluded start lies after the month, so that the month still shows the series whole.
    const QDateTime first(QDate(2025, 1, 1), QTime(0, 0));
    for (int i = 0; i < exclusions; ++i)
        text += "EXDATE:" + first.addSecs(qint64(i) * 3600).toString("yyyyMMddTHHmmss").toLatin1() +
                "\r\n";
    return text + "END:VEVENT\r\n" + kOrdinary + kTail;
}

QByteArray manyFutureChangesCalendar(int changes) {
    QByteArray text = kHead + "BEGIN:VEVENT\r\nUID:moving@hostile\r\nDTSTART:20240301T000000\r\n"
                              "DTEND:20240301T000001\r\nSUMMARY:Moving\r\nRRULE:FREQ=SECONDLY\r\n"
                              "END:VEVENT\r\n";
    const QDateTime first(QDate(2024, 3, 1), QTime(0, 0));
    for (int i = 0; i < changes; ++i) {
        const QByteArray at = first.addSecs(i).toString("yyyyMMddTHHmmss").toLatin1();
        const QByteArray to = first.addSecs(i + 1).toString("yyyyMMddTHHmmss").toLatin1();
        text += "BEGIN:VEVENT\r\nUID:moving@hostile\r\nRECURRENCE-ID;RANGE=THISANDFUTURE:" + at +
                "\r\nDTSTART:" + at + "\r\nDTEND:" + to + "\r\nSUMMARY:Moved\r\nEND:VEVENT\r\n";
    }
    return text + kOrdinary + kTail;
}

QByteArray manyExtraDatesCalendar(int dates) {
    QByteArray text = kHead + "BEGIN:VEVENT\r\nUID:extra@hostile\r\nDTSTART:20240301T000000\r\n"
                              "DTEND:20240301T000001\r\nSUMMARY:Extra\r\n";
    const QDateTime first(QDate(2024, 3, 1), QTime(0, 0));
    for (int i = 0; i < dates; ++i)
        text += "RDATE:" + first.addSecs(i).toString("yyyyMMddTHHmmss").toLatin1() + "\r\n";
    return text + "END:VEVENT\r\n" + kOrdinary + kTail;
}

} // namespace rv::test
