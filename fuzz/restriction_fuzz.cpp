// The restriction language of Find: any filter text, parsed and evaluated against fixed items.

#include "fuzz_target.h"
#include "calendar/ical/restriction.h"
#include "calendar/calendar_service.h"

#include <cstdlib>
#include <vector>

namespace {

std::vector<rv::Occurrence> fixedItems() {
    std::vector<rv::Occurrence> items(3);
    rv::setOccurrenceTimes(items[0], QDateTime(QDate(1998, 3, 5), QTime(9, 0)),
                           QDateTime(QDate(1998, 3, 5), QTime(10, 30)));
    items[0].subject = QStringLiteral("Team meeting");
    items[0].location = QStringLiteral("Room 1");
    // All day, and on the day the clocks go forward.
    rv::setOccurrenceTimes(items[1], QDateTime(QDate(2024, 3, 31), QTime(0, 0)),
                           QDateTime(QDate(2024, 4, 1), QTime(0, 0)));
    items[1].subject = QStringLiteral("Holiday");
    items[1].sensitivity = rv::kSensitivityPrivate;
    // Running into the next day.
    rv::setOccurrenceTimes(items[2], QDateTime(QDate(1998, 3, 4), QTime(23, 0)),
                           QDateTime(QDate(1998, 3, 5), QTime(1, 0)));
    items[2].sensitivity = rv::kSensitivityConfidential;
    return items;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    rv::fuzz::useFixedTimeZone();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::vector<rv::Occurrence> items = fixedItems();
    const QString text = QString::fromUtf8(rv::fuzz::bytesOf(data, size));
    rv::parseRestrictionDateTime(text);
    try {
        const rv::Restriction restriction = rv::Restriction::parse(text);
        const auto window = restriction.window();
        for (const rv::Occurrence& item : items) {
            const bool match = restriction.matches(item);
            // A backend may look only inside the window: no match may lie outside it.
            if (match && window &&
                (item.startMinute > window->toMinute || item.endMinute < window->fromMinute))
                std::abort();
        }
    } catch (const rv::CalendarError& error) {
        if (error.code() != rv::calendar_error::BadFilter)
            std::abort();
    }
    return 0;
}
