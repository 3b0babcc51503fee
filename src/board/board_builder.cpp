#include "board/board_builder.h"

#include "board/board_log.h"
#include "board/day_texts.h"
#include "board/month_layout.h"
#include "calendar/day_query.h"
#include "days/day_occupancy.h"

#include <QStringList>

namespace rv {

PersonMonth::PersonMonth(PersonCalendar calendar, int month, int year,
                         std::optional<CalendarError>* failures)
    : calendar_(std::move(calendar)), month_(month), year_(year),
      days_(get_days_of_month(static_cast<std::uint8_t>(month), static_cast<std::int16_t>(year)) -
            1),
      failures_(failures) {}

DayCell PersonMonth::readDay(int day) {
    DayCell cell;
    cell.day = day;
    const DayQueryResult found = query_day(*calendar_.folder, day, month_, year_);
    if (found.failure && calendar_error::isServiceFailure(found.failure->code())) {
        // Not a day known to be free: the cell is left alone and the user told after the build.
        qCInfo(boardLog()).noquote()
            << "day" << day << "could not be read:" << found.failure->message();
        if (failures_ && !*failures_)
            *failures_ = found.failure;
        cell.unread = true;
        return cell;
    }
    cell.text = dayDetailsText(found.items);
    cell.details = detailsText(found.items);
    cell.category = dayCategory(found.items, day, month_, year_);
    return cell;
}

void BoardBuilder::beginBuild() {
    lookUpFailure_.reset();
    readFailure_.reset();
}

std::optional<QString> BoardBuilder::memberName(CalendarNamespace& ns, const QString& storedId) {
    try {
        std::shared_ptr<CalendarRecipient> recipient = ns.GetRecipientFromID(storedId);
        recipient->Resolve();
        if (!recipient->Resolved())
            return std::nullopt;
        return elided(recipient->Name(), kMaxItemText);
    } catch (const CalendarError& error) {
        qCInfo(boardLog()).noquote()
            << "member" << storedId.left(40) << "gets no row:" << error.message();
        if (error.code() == calendar_error::UnknownEntry)
            return std::nullopt;
        if (!lookUpFailure_)
            lookUpFailure_ = error;
        throw;
    }
}

void BoardBuilder::prefetchMonths(CalendarNamespace& ns, const std::vector<RowMember>& members,
                                  int month, int year) {
    QStringList ids;
    for (const RowMember& member : members)
        ids << member.id;
    try {
        ns.prefetchMonths(ids, month, year);
    } catch (const CalendarError& error) {
        qCInfo(boardLog()).noquote() << "months not read ahead:" << error.message();
    }
}

PersonMonth BoardBuilder::openMonth(CalendarNamespace& ns, const QString& storedId,
                                    PersonLookUp lookUp, int month, int year) {
    return PersonMonth(openPersonCalendar(ns, storedId, lookUp), month, year, &readFailure_);
}

CellDetails BoardBuilder::cellDetails(CalendarNamespace& ns, const QString& storedId, int day,
                                      int month, int year) {
    const PersonCalendar calendar = openPersonCalendar(ns, storedId);
    CellDetails details;
    details.outcome = calendar.outcome;
    if (calendar.opened() || calendar.denied()) {
        try {
            details.name = elided(calendar.recipient->Name(), kMaxItemText);
        } catch (const CalendarError& error) {
            qCInfo(boardLog()).noquote() << "no name for" << storedId.left(40) << error.message();
        }
    }
    if (calendar.opened())
        details.text = detailsText(query_day(*calendar.folder, day, month, year).items);
    return details;
}

QString BoardBuilder::failureReport() const {
    if (!lookUpFailure_ && !readFailure_)
        return {};
    QStringList text;
    if (lookUpFailure_)
        text << QStringLiteral("Some people could not be looked up in the calendar service, so "
                               "they are not on the board.");
    if (readFailure_)
        text << QStringLiteral("Some calendars could not be read from the calendar service: "
                               "their days show what the board showed before.");
    text << (lookUpFailure_ ? lookUpFailure_ : readFailure_)->message();
    return text.join(QStringLiteral("\n\n"));
}

} // namespace rv
