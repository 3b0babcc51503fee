#pragma once

// The calendar-service seam: an application -> namespace -> recipients and folders -> items
// object model. The program reads people's calendars only through these interfaces; the
// backends (the local store in calendar/local/, CalDAV in calendar/caldav/) live behind them.

#include "platform/error.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>

namespace rv {

// Error codes a calendar call can fail with.
namespace calendar_error {
// The calendar cannot be opened: it does not exist or the connected user may not read it.
constexpr std::uint32_t CalendarDenied = 0x8004010F;
// An entry identifier that is not one of this service's ("XXX", empty text, another provider).
constexpr std::uint32_t UnknownEntry = 0x80040107;
// A Find filter the service cannot read.
constexpr std::uint32_t BadFilter = 0x80040600;
// No calendar service could be opened, or the connection to it is gone.
constexpr std::uint32_t NotConnected = 0x80040115;
// The server did not answer in time.
constexpr std::uint32_t Timeout = 0x80040116;
// The server refused the connected user's credentials.
constexpr std::uint32_t LoginFailed = 0x80040111;
// The server answered with an error of its own.
constexpr std::uint32_t ServerError = 0x80040119;
// A person key too long for an entry identifier.
constexpr std::uint32_t KeyTooLong = 0x80040102;
// An operation the service does not offer (an unknown folder kind or message class).
constexpr std::uint32_t NotSupported = 0x80040103;
// The calendar data could not be read.
constexpr std::uint32_t Corrupt = 0x8004011B;

// Failures of the service itself (the connection, the server), as opposed to what one person's
// calendar holds or whether it may be read.
constexpr bool isServiceFailure(std::uint32_t code) {
    return code == NotConnected || code == Timeout || code == LoginFailed || code == ServerError;
}
} // namespace calendar_error

// A failing calendar call: the service's 32-bit error code, and a message for the user.
class CalendarError : public Error {
public:
    CalendarError(std::uint32_t code, const QString& message) : Error(message), code_(code) {}
    std::uint32_t code() const { return code_; }

private:
    std::uint32_t code_;
};

// Folder kinds of GetSharedDefaultFolder / GetDefaultFolder.
constexpr int kFolderInbox = 6;
constexpr int kFolderCalendar = 9;

// Sensitivity of an appointment.
constexpr int kSensitivityNormal = 0;
constexpr int kSensitivityPersonal = 1;
constexpr int kSensitivityPrivate = 2;
constexpr int kSensitivityConfidential = 3;

// One appointment (or one occurrence of a recurring one). Times are local date-times of the
// machine's time zone.
class AppointmentItem {
public:
    virtual ~AppointmentItem() = default;
    virtual QDateTime Start() const = 0;
    virtual QDateTime End() const = 0;
    virtual QString Subject() const = 0;
    virtual int Sensitivity() const = 0;
    virtual QString Location() const = 0;
};

// A mail prepared for the user's mail composer; Display shows it and never sends it.
class MailItem {
public:
    virtual ~MailItem() = default;
    virtual void SetSubject(const QString& subject) = 0;
    virtual void SetBody(const QString& body) = 0;
    virtual void AddRecipient(const QString& address) = 0;
    virtual void Display() = 0;
};

// A folder's item collection.
class CalendarItems {
public:
    virtual ~CalendarItems() = default;
    virtual void SetIncludeRecurrences(bool include) = 0;
    // The first item matching the restriction, or null when none does.
    virtual std::unique_ptr<AppointmentItem> Find(const QString& filter) = 0;
    // The next item matching the last Find, or null when there is none.
    virtual std::unique_ptr<AppointmentItem> FindNext() = 0;
    // A new item of the message class ("IPM.Note" gives a mail item).
    virtual std::unique_ptr<MailItem> Add(const QString& messageClass) = 0;
};

class CalendarFolder {
public:
    virtual ~CalendarFolder() = default;
    // A fresh item collection.
    virtual std::unique_ptr<CalendarItems> Items() = 0;
    // Shows the folder in the desktop's own handler; returns at once.
    virtual void Display() = 0;
};

class CalendarRecipient {
public:
    virtual ~CalendarRecipient() = default;
    // Matches the recipient in the address book; returns Resolved().
    virtual bool Resolve() = 0;
    virtual bool Resolved() const = 0;
    virtual QString Name() const = 0;
    virtual QString EntryID() const = 0;
};

class CalendarNamespace {
public:
    virtual ~CalendarNamespace() = default;
    virtual std::shared_ptr<CalendarRecipient> GetRecipientFromID(const QString& entryId) = 0;
    virtual std::shared_ptr<CalendarRecipient> CreateRecipient(const QString& name) = 0;
    // Fails with CalendarDenied when the person's calendar cannot be opened.
    virtual std::shared_ptr<CalendarFolder> GetSharedDefaultFolder(CalendarRecipient& recipient,
                                                                   int folderKind) = 0;
    // The connected user's own folder (kFolderInbox for the feedback mail).
    virtual std::shared_ptr<CalendarFolder> GetDefaultFolder(int folderKind) = 0;

    // A hint from a build that knows its members: the calendars of these entry identifiers will
    // be asked for the month next, in this order. A service may read them ahead, side by side;
    // nothing it answers afterwards may differ from what it would have answered without the hint,
    // and nothing fails here (what cannot be read ahead fails when it is asked for).
    virtual void prefetchMonths(const QStringList& entryIds, int month, int year) {
        Q_UNUSED(entryIds);
        Q_UNUSED(month);
        Q_UNUSED(year);
    }
};

class CalendarApplication {
public:
    virtual ~CalendarApplication() = default;
    // "MAPI" gives the namespace.
    virtual std::shared_ptr<CalendarNamespace> GetNamespace(const QString& name) = 0;
};

} // namespace rv
