#include "calendar/ical/occurrence_items.h"

#include <QHash>

namespace rv {

namespace {

// A build asks every person the same day filters: each is read once, not once per person.
Restriction parsedRestriction(const QString& filter) {
    constexpr qsizetype kKept = 128;
    thread_local QHash<QString, Restriction> read;
    const auto found = read.constFind(filter);
    if (found != read.constEnd())
        return *found;
    Restriction restriction = Restriction::parse(filter);
    if (read.size() >= kKept)
        read.clear();
    read.insert(filter, restriction);
    return restriction;
}

} // namespace

std::unique_ptr<AppointmentItem> OccurrenceItems::Find(const QString& filter) {
    found_.clear();
    next_ = 0;
    const Restriction restriction = parsedRestriction(filter);
    const OccurrenceList candidates =
        includeRecurrences_ ? source_->occurrences(restriction.window()) : source_->events();
    if (candidates)
        for (const Occurrence& o : *candidates)
            if (restriction.matches(o))
                found_.push_back(o);
    return FindNext();
}

std::unique_ptr<AppointmentItem> OccurrenceItems::FindNext() {
    if (next_ >= found_.size())
        return nullptr;
    return std::make_unique<OccurrenceItem>(found_[next_++]);
}

std::unique_ptr<MailItem> OccurrenceItems::Add(const QString& messageClass) {
    throw CalendarError(
        calendar_error::NotSupported,
        QStringLiteral("A calendar cannot hold items of class %1.").arg(messageClass));
}

} // namespace rv
