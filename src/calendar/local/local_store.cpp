#include "calendar/local/local_store.h"

#include "calendar/ical/entry_id.h"
#include "calendar/ical/occurrence_items.h"
#include "calendar/local/address_book.h"
#include "calendar/local/calendar_file_cache.h"
#include "calendar/local/month_cache.h"
#include "calendar/local/readers_list.h"
#include "calendar/mail_folder.h"
#include "platform/desktop.h"
#include "platform/regular_file.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QUrl>

namespace rv {

namespace {

// An address book of a quarter of a million people; a readers list of tens of thousands of names.
constexpr qint64 kMaxAddressBookBytes = qint64(32) << 20;
constexpr qint64 kMaxReadersListBytes = qint64(1) << 20;

// A message as the reason within a sentence of its own.
QString withoutFullStop(QString message) {
    if (message.endsWith(QLatin1Char('.')))
        message.chop(1);
    return message;
}

// What the backend shares between its namespace, recipients and folders.
class LocalStore {
public:
    LocalStore(const ServiceProfile& profile, Desktop& desktop)
        : folder_(profile.folder), connectedUser_(profile.user), desktop_(desktop) {}

    Desktop& desktop() { return desktop_; }
    const std::shared_ptr<CalendarFileCache>& calendars() { return calendars_; }

    // The address book as the file holds it now; nobody when there is none. Fails with
    // ServerError, naming the file, when what is there cannot be read as one (a FIFO or a device
    // in its place, a file far too large): every look-up then fails and the user is told.
    const AddressBook& addressBook() {
        const QString path = QDir(folder_).filePath(QStringLiteral("people.vcf"));
        const FileStamp stamp = stampOf(path);
        if (!(stamp == addressBookStamp_)) {
            QByteArray text;
            try {
                if (const auto file = RegularFile::open(path, kMaxAddressBookBytes))
                    text = file->readAll();
            } catch (const FileError& error) {
                throw CalendarError(
                    calendar_error::ServerError,
                    QStringLiteral("The address book cannot be read: %1").arg(error.message()));
            }
            addressBook_ = AddressBook::parse(text);
            addressBookStamp_ = stamp;
        }
        return addressBook_;
    }

    // The file a person's calendar is kept in, looked up ignoring case; empty for names that
    // cannot be a file name.
    QString calendarFile(const QString& userName, const QString& suffix) {
        if (userName.isEmpty() || userName.contains(QLatin1Char('/')) ||
            userName.contains(QLatin1Char('\\')) || userName == QLatin1String(".") ||
            userName == QLatin1String(".."))
            return {};
        const QDir dir(QDir(folder_).filePath(QStringLiteral("calendars")));
        const QString name = userName + suffix;
        if (QFileInfo::exists(dir.filePath(name)))
            return dir.filePath(name);
        const QString spelled = folderNames(dir.path()).value(name.toCaseFolded());
        return dir.filePath(spelled.isEmpty() ? name : spelled);
    }

    // The names the connected user may appear under in a reader list.
    QStringList connectedNames() {
        QStringList names{connectedUser_.trimmed()};
        if (const std::optional<Person> me = addressBook().resolve(connectedUser_))
            names << me->userName << me->email;
        return names;
    }

    bool isConnectedUser(const QString& userName) {
        const QStringList names = connectedNames();
        return names.size() > 1 ? names[1].compare(userName, Qt::CaseInsensitive) == 0
                                : names[0].compare(userName, Qt::CaseInsensitive) == 0;
    }

    QString connectedUser() const { return connectedUser_; }

private:
    // The names of the calendars folder by their case-folded spelling (the first in listing
    // order where several fold alike), listed again only when the folder changes: most people
    // have no readers list, and looking for one by listing the folder each time cost every
    // person a pass over everybody's files.
    const QHash<QString, QString>& folderNames(const QString& path) {
        const FileStamp stamp = stampOf(path);
        if (!(stamp == folderStamp_) || !stamp.exists) {
            folderNames_.clear();
            const QStringList entries = QDir(path).entryList(QDir::Files | QDir::Hidden);
            for (const QString& entry : entries) {
                const QString folded = entry.toCaseFolded();
                if (!folderNames_.contains(folded))
                    folderNames_.insert(folded, entry);
            }
            folderStamp_ = stamp;
        }
        return folderNames_;
    }

    QString folder_;
    QString connectedUser_;
    Desktop& desktop_;
    AddressBook addressBook_;
    FileStamp addressBookStamp_;
    FileStamp folderStamp_;
    QHash<QString, QString> folderNames_;
    std::shared_ptr<CalendarFileCache> calendars_ = std::make_shared<CalendarFileCache>(
        std::make_shared<const MonthCache>(MonthCache::defaultFolder()));
};

class LocalRecipient : public CalendarRecipient {
public:
    // A recipient made from a typed name.
    LocalRecipient(std::shared_ptr<LocalStore> store, QString name)
        : store_(std::move(store)), name_(std::move(name)) {}
    // A recipient made from an entry identifier: it stands for that person, if they still exist.
    LocalRecipient(std::shared_ptr<LocalStore> store, QString userName, QString entryId)
        : store_(std::move(store)), name_(userName), userName_(std::move(userName)),
          entryId_(std::move(entryId)) {
        Resolve();
    }

    bool Resolve() override {
        person_ = userName_.isEmpty() ? store_->addressBook().resolve(name_)
                                      : store_->addressBook().byUserName(userName_);
        return Resolved();
    }
    bool Resolved() const override { return person_.has_value(); }
    QString Name() const override { return person_ ? person_->displayName : name_; }
    QString EntryID() const override {
        return person_ ? makeEntryId(kLocalProviderTag, person_->userName) : entryId_;
    }
    const std::optional<Person>& person() const { return person_; }

private:
    std::shared_ptr<LocalStore> store_;
    QString name_;
    QString userName_;
    QString entryId_;
    std::optional<Person> person_;
};

class LocalCalendarFolder : public CalendarFolder {
public:
    LocalCalendarFolder(std::shared_ptr<LocalStore> store, QString path)
        : store_(std::move(store)), path_(std::move(path)),
          source_(std::make_shared<CalendarFileSource>(store_->calendars(), path_)) {}

    std::unique_ptr<CalendarItems> Items() override {
        return std::make_unique<OccurrenceItems>(source_);
    }
    const QString& path() const { return path_; }
    void Display() override {
        if (!store_->desktop().openUrl(QUrl::fromLocalFile(path_)))
            throw CalendarError(calendar_error::NotSupported,
                                QStringLiteral("No program could show the calendar %1.")
                                    .arg(QDir::toNativeSeparators(path_)));
    }

private:
    std::shared_ptr<LocalStore> store_;
    QString path_;
    std::shared_ptr<CalendarFileSource> source_;
};

class LocalNamespace : public CalendarNamespace {
public:
    explicit LocalNamespace(std::shared_ptr<LocalStore> store) : store_(std::move(store)) {}

    std::shared_ptr<CalendarRecipient> GetRecipientFromID(const QString& entryId) override {
        const QString userName = entryIdKey(kLocalProviderTag, entryId);
        return std::make_shared<LocalRecipient>(store_, userName, entryId.trimmed());
    }

    std::shared_ptr<CalendarRecipient> CreateRecipient(const QString& name) override {
        return std::make_shared<LocalRecipient>(store_, name);
    }

    std::shared_ptr<CalendarFolder> GetSharedDefaultFolder(CalendarRecipient& recipient,
                                                           int folderKind) override {
        if (folderKind != kFolderCalendar)
            throw CalendarError(calendar_error::NotSupported,
                                QStringLiteral("Folders of kind %1 are not shared by this "
                                               "calendar service.")
                                    .arg(folderKind));
        auto* local = dynamic_cast<LocalRecipient*>(&recipient);
        if (!local || !local->person())
            denied(recipient.Name(), QStringLiteral("the name is not in the address book"));
        return openCalendar(local->person()->userName, local->person()->displayName);
    }

    void prefetchMonths(const QStringList& entryIds, int month, int year) override {
        if (month < 1 || month > 12)
            return;
        QStringList paths;
        for (const QString& entryId : entryIds) {
            try {
                // Only calendars the connected user may read, as opening them would find.
                const std::optional<Person> person =
                    store_->addressBook().byUserName(entryIdKey(kLocalProviderTag, entryId));
                if (person)
                    paths << dynamic_cast<LocalCalendarFolder&>(
                                 *openCalendar(person->userName, person->displayName))
                                 .path();
            } catch (const CalendarError&) {
                // Fails again, as it should, when the build asks for this person.
            }
        }
        store_->calendars()->prefetch(paths, ExpandedCalendar::monthIndex(year, month));
    }

    std::shared_ptr<CalendarFolder> GetDefaultFolder(int folderKind) override {
        if (folderKind == kFolderInbox)
            return makeMailFolder(store_->desktop());
        if (folderKind == kFolderCalendar) {
            const std::optional<Person> me = store_->addressBook().resolve(store_->connectedUser());
            const QString userName = me ? me->userName : store_->connectedUser();
            return openCalendar(userName, me ? me->displayName : userName);
        }
        throw CalendarError(
            calendar_error::NotSupported,
            QStringLiteral("Folders of kind %1 are not kept by this calendar service.")
                .arg(folderKind));
    }

private:
    [[noreturn]] static void denied(const QString& who, const QString& why) {
        throw CalendarError(
            calendar_error::CalendarDenied,
            QStringLiteral("The calendar of %1 cannot be opened: %2.").arg(who, why));
    }

    std::shared_ptr<CalendarFolder> openCalendar(const QString& userName,
                                                 const QString& displayName) {
        const QString path = store_->calendarFile(userName, QStringLiteral(".ics"));
        if (path.isEmpty() || !QFileInfo::exists(path))
            denied(displayName, QStringLiteral("there is no calendar file"));
        try {
            openCalendarFile(path);
        } catch (const CalendarError& error) {
            // Not a file, or unreadable. One far too large opens: reading it fails with a message
            // the user is shown.
            if (error.code() == calendar_error::CalendarDenied)
                denied(displayName, withoutFullStop(error.message()));
        }
        if (!store_->isConnectedUser(userName)) {
            const QString readersPath = store_->calendarFile(userName, QStringLiteral(".readers"));
            std::optional<QByteArray> readers;
            try {
                if (const auto file = RegularFile::open(readersPath, kMaxReadersListBytes))
                    readers = file->readAll();
            } catch (const FileError& error) {
                // A list that cannot be read cannot say who may read: nobody else does.
                denied(displayName, withoutFullStop(error.message()));
            }
            if (readers && !ReadersList::parse(*readers).allows(store_->connectedNames()))
                denied(displayName,
                       QStringLiteral("it is not shared with %1").arg(store_->connectedUser()));
        }
        return std::make_shared<LocalCalendarFolder>(store_, path);
    }

    std::shared_ptr<LocalStore> store_;
};

class LocalApplication : public CalendarApplication {
public:
    explicit LocalApplication(std::shared_ptr<LocalStore> store)
        : namespace_(std::make_shared<LocalNamespace>(std::move(store))) {}
    std::shared_ptr<CalendarNamespace> GetNamespace(const QString& name) override {
        if (name.compare(QLatin1String("MAPI"), Qt::CaseInsensitive) != 0)
            throw CalendarError(
                calendar_error::NotSupported,
                QStringLiteral("The calendar service has no namespace \"%1\".").arg(name));
        return namespace_;
    }

private:
    std::shared_ptr<LocalNamespace> namespace_;
};

} // namespace

std::unique_ptr<CalendarApplication> openLocalStore(const ServiceProfile& profile,
                                                    Desktop& desktop) {
    return std::make_unique<LocalApplication>(std::make_shared<LocalStore>(profile, desktop));
}

} // namespace rv
