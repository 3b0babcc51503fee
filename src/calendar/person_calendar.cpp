#include "calendar/person_calendar.h"

#include "calendar/calendar_log.h"

namespace rv {

namespace {

// The longest text the row refresh takes for a name; entry identifiers are longer.
constexpr int kLongestName = 150;

PersonCalendar failed(const CalendarError& error, const QString& storedId, const char* step) {
    qCInfo(calendarLog()).noquote()
        << "could not" << step << storedId.left(40) << "-" << error.message();
    PersonCalendar result;
    result.outcome = PersonCalendar::Outcome::Failed;
    result.failure = error;
    return result;
}

} // namespace

PersonCalendar openPersonCalendar(CalendarNamespace& ns, const QString& storedId,
                                  PersonLookUp lookUp) {
    PersonCalendar result;
    try {
        if (lookUp == PersonLookUp::ByNameWhenShort && storedId.size() <= kLongestName)
            result.recipient = ns.CreateRecipient(storedId);
        else
            result.recipient = ns.GetRecipientFromID(storedId);
        if (result.recipient)
            result.recipient->Resolve();
        if (!result.recipient || !result.recipient->Resolved()) {
            result.outcome = PersonCalendar::Outcome::NotResolved;
            return result;
        }
    } catch (const CalendarError& error) {
        return failed(error, storedId, "look up");
    }
    try {
        result.folder = ns.GetSharedDefaultFolder(*result.recipient, kFolderCalendar);
    } catch (const CalendarError& error) {
        if (error.code() != calendar_error::CalendarDenied)
            return failed(error, storedId, "open the calendar of");
        result.outcome = PersonCalendar::Outcome::Denied;
        return result;
    }
    result.outcome =
        result.folder ? PersonCalendar::Outcome::Opened : PersonCalendar::Outcome::NotResolved;
    return result;
}

} // namespace rv
