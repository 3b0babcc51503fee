#pragma once

// Opening one person's calendar from the identifier a group stores for them: the one place that
// looks a person up, resolves them and opens their calendar. The board build, the row refresh,
// the cell details, the double-click and the printout all come through here.

#include "calendar/calendar_service.h"

#include <memory>
#include <optional>

namespace rv {

// How a stored identifier is looked up.
enum class PersonLookUp {
    // Always as an entry identifier.
    ByEntryId,
    // Identifiers of 150 characters or fewer as a name typed into the address book, longer ones as
    // entry identifiers (what the row refresh does; every entry identifier is longer).
    ByNameWhenShort,
};

struct PersonCalendar {
    enum class Outcome {
        Opened,      // recipient and folder are set
        Denied,      // the calendar cannot be opened for the connected user; recipient is set
        NotResolved, // nobody answers to the identifier
        Failed,      // the service failed; failure says how
    };
    Outcome outcome = Outcome::Failed;
    std::shared_ptr<CalendarRecipient> recipient;
    std::shared_ptr<CalendarFolder> folder;
    std::optional<CalendarError> failure;

    bool opened() const { return outcome == Outcome::Opened; }
    bool denied() const { return outcome == Outcome::Denied; }
};

// Never throws: every failure of the service is an outcome, logged under rotaview.calendar.
PersonCalendar openPersonCalendar(CalendarNamespace& ns, const QString& storedId,
                                  PersonLookUp lookUp = PersonLookUp::ByEntryId);

} // namespace rv
