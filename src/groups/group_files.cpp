#include "groups/group_files.h"

#include "groups/groups_log.h"
#include "groups/windows1252.h"
#include "platform/regular_file.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtEndian>
#include <algorithm>
#include <cstdint>

namespace rv {
namespace {

const QByteArray kEndMarker = QByteArrayLiteral("XXX");
constexpr std::int16_t kEndMarkerGroupNo = 9999;
constexpr int kMemberNameOffset = 2;
constexpr int kMemberIdOffset = kMemberNameOffset + kMemberTextWidth;
constexpr int kSpareSlotsWidth = kMemberRecordLength - kMemberIdOffset - kMemberTextWidth;
// Group numbers are signed 16-bit: the index holds at most that many groups and the end marker.
constexpr qint64 kMaxIndexBytes = qint64(kMaxGroups + 1) * kGroupIndexRecordLength;
constexpr qint64 kMaxMemberFileBytes = qint64(kMaxMembers + 1) * kMemberRecordLength;
// How much of a group file is held in memory at once while it is read or saved.
constexpr qint64 kChunkBytes = 1 << 20;

qint64 maxBytesOf(const QString& name) {
    return name == groupIndexFileName() ? kMaxIndexBytes : kMaxMemberFileBytes;
}

// Reads a record file from record 1 on, a chunk at a time. The last record of a file whose length
// is not a multiple of the record length comes back short; after it, records come back empty.
class RecordReader {
public:
    RecordReader(const QString& name, int recordLength) : recordLength_(recordLength) {
        if (const auto actual = workdir::find(name))
            file_ = RegularFile::open(*actual, maxBytesOf(name));
    }
    QByteArray next() {
        if (!file_)
            return {};
        if (used_ >= chunk_.size()) {
            const qint64 records = std::max<qint64>(1, kChunkBytes / recordLength_);
            chunk_ = file_->read(offset_, records * recordLength_);
            offset_ += chunk_.size();
            used_ = 0;
        }
        const QByteArray record = chunk_.mid(used_, recordLength_);
        used_ += record.size();
        return record;
    }
    // Record r (from 1) on its own.
    QByteArray at(qint64 record) {
        return file_ ? file_->read((record - 1) * recordLength_, recordLength_) : QByteArray();
    }

private:
    std::optional<RegularFile> file_;
    int recordLength_;
    QByteArray chunk_;
    qsizetype used_ = 0;
    qint64 offset_ = 0;
};

// Blanks only: a zero byte stays part of the text.
QByteArray trimBlanks(QByteArray bytes) {
    qsizetype begin = 0;
    qsizetype end = bytes.size();
    while (begin < end && bytes.at(begin) == ' ')
        ++begin;
    while (end > begin && bytes.at(end - 1) == ' ')
        --end;
    return bytes.mid(begin, end - begin);
}

QByteArray trimmedField(const QByteArray& record, int offset, int width) {
    return trimBlanks(record.mid(offset, width));
}

QByteArray textField(const QString& text, int width) {
    QByteArray bytes = windows1252::encode(text).left(width);
    bytes.append(width - bytes.size(), ' ');
    return bytes;
}

QByteArray int16Field(std::int16_t value) {
    QByteArray bytes(2, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

QByteArray indexRecord(const QString& name, std::int16_t groupNo) {
    return textField(name, kGroupNameWidth) + int16Field(groupNo);
}

QByteArray indexEndMarker() {
    return textField(QString::fromLatin1(kEndMarker), kGroupNameWidth) +
           int16Field(kEndMarkerGroupNo);
}

QByteArray memberRecord(const QString& name, const QString& id) {
    return int16Field(0) + textField(name, kMemberTextWidth) + textField(id, kMemberTextWidth) +
           QByteArray(kSpareSlotsWidth, '\0');
}

// A record that reaches into its name field is an entry (or the end marker); one cut off before
// it ends the list like the end of the file does.
bool holdsName(const QByteArray& record, int nameOffset) {
    return record.size() > nameOffset;
}

// Reads the index from record 1 and hands each group's position and trimmed name to visit.
template <typename Visit> void forEachGroup(Visit visit) {
    RecordReader reader(groupIndexFileName(), kGroupIndexRecordLength);
    for (int position = 0;; ++position) {
        const QByteArray record = reader.next();
        if (!holdsName(record, 0))
            return;
        const QByteArray name = trimmedField(record, 0, kGroupNameWidth);
        if (name == kEndMarker)
            return;
        visit(position, windows1252::decode(name));
    }
}

using Patch = std::pair<qint64, QByteArray>;

// Saves what writing these records in place over the existing file would leave: the old bytes,
// with each record replaced at its offset (later ones over earlier ones) and any gap before a
// record past the end filled with zero bytes. The file never gets shorter. Streamed a chunk at a
// time, so that the file's size does not matter to memory.
void saveOverlaid(const QString& name, const QList<Patch>& records) {
    const qint64 maxBytes = maxBytesOf(name);
    std::optional<RegularFile> old;
    try {
        if (const auto actual = workdir::find(name))
            old = RegularFile::open(*actual, maxBytes);
    } catch (const FileError& error) {
        throw FileError(error.message() + QStringLiteral(" Nothing was saved."));
    }
    qint64 end = old ? old->size() : 0;
    for (const auto& [offset, record] : records)
        end = std::max(end, offset + record.size());
    if (end > maxBytes)
        throw FileError(
            QStringLiteral("Could not save \"%1\": it would hold %2, more than its "
                           "%3 at most. Nothing was saved.")
                .arg(workdir::find(name).value_or(name), shownSize(end), shownSize(maxBytes)));
    workdir::save(name, [&](const workdir::Sink& sink) {
        for (qint64 at = 0; at < end; at += kChunkBytes) {
            const qint64 length = std::min(kChunkBytes, end - at);
            QByteArray piece = old ? old->read(at, length) : QByteArray();
            piece.append(length - piece.size(), '\0');
            for (const auto& [offset, record] : records) {
                const qint64 from = std::max(offset, at);
                const qint64 to = std::min(offset + record.size(), at + length);
                if (from < to)
                    std::copy_n(record.constData() + (from - offset), to - from,
                                piece.data() + (from - at));
            }
            sink(piece);
        }
    });
}

QStringList readIndex() {
    QStringList names;
    forEachGroup([&](int, const QString& name) { names << name; });
    return names;
}

void writeIndex(const QStringList& names) {
    if (names.size() > kMaxGroups)
        throw FileError(QStringLiteral("Could not save \"%1\": a group list holds at most %2 "
                                       "groups. Nothing was saved.")
                            .arg(groupIndexFileName())
                            .arg(kMaxGroups));
    QByteArray records;
    for (qsizetype i = 0; i < names.size(); ++i)
        records += indexRecord(names.at(i), static_cast<std::int16_t>(i));
    records += indexEndMarker();
    saveOverlaid(groupIndexFileName(), {{0, records}});
}

// ---- group removal
//
// Removing group k of groups 0..N takes several changes: the index without it, its member file
// gone and each later member file one number down. A journal beside the index, rewritten
// atomically at each stage, makes them one step that an interruption (a crash, a refused rename)
// never leaves half done: whatever group operation comes next first undoes a removal that did not
// reach its end, or finishes one that did. Member files are first moved out of the way to names
// of their own ("GRP3.DAT.moving"), so that at every stage each file's name tells what it is:
//   staging      GRPi.DAT (k <= i <= N) not yet moved aside, GRPi.DAT.moving moved aside;
//   renumbering  the index may already be the new one; GRPj.DAT (k <= j < N) is the file that
//                was GRP(j+1).DAT.moving; the rest are still moved aside;
//   done         the index and member files are the new ones; only GRPk.DAT.moving (the removed
//                group's file) and the journal are left to delete.
// Undoing walks the stages back; a removal is finished only from "done".

const QString kJournalName = QStringLiteral("Rotalist.journal");
constexpr qint64 kMaxJournalBytes = 4 << 20;

struct Removal {
    enum class Stage { Staging, Renumbering, Done };
    Stage stage = Stage::Staging;
    int k = 0;
    QStringList groups; // the list before the removal, the group still at k

    int last() const { return int(groups.size()) - 1; }
    QStringList groupsLeft() const {
        QStringList left = groups;
        left.removeAt(k);
        return left;
    }
};

QString movedName(int groupNo) {
    return memberFileName(groupNo) + QStringLiteral(".moving");
}

const char* stageName(Removal::Stage stage) {
    switch (stage) {
    case Removal::Stage::Staging:
        return "staging";
    case Removal::Stage::Renumbering:
        return "renumbering";
    case Removal::Stage::Done:
        return "done";
    }
    return "";
}

void writeJournal(const Removal& removal) {
    QJsonObject journal;
    journal.insert(QStringLiteral("stage"), QLatin1String(stageName(removal.stage)));
    journal.insert(QStringLiteral("removed"), removal.k);
    journal.insert(QStringLiteral("groups"), QJsonArray::fromStringList(removal.groups));
    workdir::save(kJournalName, QJsonDocument(journal).toJson());
}

std::optional<Removal> readJournal() {
    const auto actual = workdir::find(kJournalName);
    if (!actual)
        return std::nullopt;
    const auto file = RegularFile::open(*actual, kMaxJournalBytes);
    if (!file)
        return std::nullopt;
    const QJsonObject journal = QJsonDocument::fromJson(file->readAll()).object();
    Removal removal;
    removal.k = journal.value(QStringLiteral("removed")).toInt(-1);
    for (const QJsonValue& name : journal.value(QStringLiteral("groups")).toArray())
        removal.groups << name.toString();
    const QString stage = journal.value(QStringLiteral("stage")).toString();
    bool known = false;
    for (const auto candidate :
         {Removal::Stage::Staging, Removal::Stage::Renumbering, Removal::Stage::Done})
        if (stage == QLatin1String(stageName(candidate))) {
            removal.stage = candidate;
            known = true;
        }
    if (!known || removal.k < 0 || removal.k > removal.last() || removal.last() >= kMaxGroups)
        throw FileError(QStringLiteral("\"%1\", the record of an interrupted removal of a group, "
                                       "cannot be read, so the groups are not read either. Move "
                                       "it away once the group files are as they should be.")
                            .arg(*actual));
    return removal;
}

bool memberFileThere(int groupNo) {
    return workdir::exists(memberFileName(groupNo));
}

void moveAside(const Removal& removal) {
    for (int i = removal.k; i <= removal.last(); ++i)
        if (memberFileThere(i))
            workdir::rename(memberFileName(i), movedName(i));
}

void moveBack(const Removal& removal) {
    // A member file still in its place was never moved aside: what answers to the other name is
    // something else, left alone.
    for (int i = removal.k; i <= removal.last(); ++i)
        if (!memberFileThere(i) && workdir::exists(movedName(i)))
            workdir::rename(movedName(i), memberFileName(i));
}

void moveDown(const Removal& removal) {
    for (int i = removal.k + 1; i <= removal.last(); ++i)
        if (workdir::exists(movedName(i)))
            workdir::rename(movedName(i), memberFileName(i - 1));
}

void moveUpAside(const Removal& removal) {
    for (int i = removal.k + 1; i <= removal.last(); ++i)
        if (memberFileThere(i - 1))
            workdir::rename(memberFileName(i - 1), movedName(i));
}

void undo(Removal removal) {
    if (removal.stage == Removal::Stage::Renumbering) {
        moveUpAside(removal);
        writeIndex(removal.groups);
        removal.stage = Removal::Stage::Staging;
        writeJournal(removal);
    }
    moveBack(removal);
    workdir::remove(kJournalName);
}

void finish(const Removal& removal) {
    workdir::remove(movedName(removal.k));
    workdir::remove(kJournalName);
}

// Run before every group operation: the files are read and written only as a whole removal left
// them, or as they were before it.
void settleInterruptedRemoval() {
    const std::optional<Removal> removal = readJournal();
    if (!removal)
        return;
    const QString name = removal->groups.at(removal->k);
    try {
        if (removal->stage == Removal::Stage::Done) {
            finish(*removal);
        } else {
            undo(*removal);
            qCInfo(groupsLog()).noquote()
                << "an interrupted removal of the group" << name << "was undone";
        }
    } catch (const FileError& error) {
        // Once done, the index and member files agree: what is left over can wait.
        if (removal->stage == Removal::Stage::Done) {
            qCInfo(groupsLog()).noquote() << "left over from removing a group:" << error.message();
            return;
        }
        throw FileError(QStringLiteral("The removal of the group \"%1\" was interrupted and "
                                       "cannot be undone yet, so the groups are not read: %2")
                            .arg(name, error.message()));
    }
}

} // namespace

QString groupIndexFileName() {
    return QStringLiteral("Rotalist.dat");
}

QString memberFileName(int groupNo) {
    return QStringLiteral("GRP%1.DAT").arg(groupNo);
}

bool groupIndexExists() {
    try {
        settleInterruptedRemoval();
    } catch (const FileError& error) {
        // The readers that follow say so; whether the index is there is known all the same.
        qCInfo(groupsLog()).noquote() << error.message();
    }
    return workdir::exists(groupIndexFileName());
}

bool memberFileExists(int groupNo) {
    settleInterruptedRemoval();
    return memberFileThere(groupNo);
}

QStringList read_group_index() {
    settleInterruptedRemoval();
    return readIndex();
}

void write_group_index(const QStringList& names) {
    settleInterruptedRemoval();
    writeIndex(names);
}

void write_group_entry(int k, const QStringList& names) {
    settleInterruptedRemoval();
    QList<Patch> records;
    if (k >= 0)
        records.append({qint64(k) * kGroupIndexRecordLength,
                        indexRecord(names.value(k), static_cast<std::int16_t>(k))});
    records.append({qint64(names.size()) * kGroupIndexRecordLength, indexEndMarker()});
    saveOverlaid(groupIndexFileName(), records);
}

QList<GroupMember> read_members(int groupNo) {
    settleInterruptedRemoval();
    QList<GroupMember> members;
    RecordReader reader(memberFileName(groupNo), kMemberRecordLength);
    for (;;) {
        const QByteArray record = reader.next();
        if (!holdsName(record, kMemberNameOffset)) {
            qCInfo(groupsLog()).noquote()
                << memberFileName(groupNo) << "ends without its end marker";
            break;
        }
        const QByteArray name = trimmedField(record, kMemberNameOffset, kMemberTextWidth);
        if (name == kEndMarker)
            break;
        members.append(
            {windows1252::decode(name),
             windows1252::decode(trimmedField(record, kMemberIdOffset, kMemberTextWidth))});
    }
    return members;
}

void write_members(int groupNo, const QList<GroupMember>& members) {
    settleInterruptedRemoval();
    if (members.size() > kMaxMembers)
        throw FileError(QStringLiteral("Could not save \"%1\": a group holds at most %2 members. "
                                       "Nothing was saved.")
                            .arg(memberFileName(groupNo))
                            .arg(kMaxMembers));
    QByteArray records;
    for (const auto& member : members)
        records += memberRecord(member.name, member.id);
    records += memberRecord(QString::fromLatin1(kEndMarker), QString::fromLatin1(kEndMarker));
    saveOverlaid(memberFileName(groupNo), {{0, records}});
}

void remove_group_files(int k, const QStringList& groups) {
    settleInterruptedRemoval();
    if (k < 0 || k >= groups.size())
        return;
    Removal removal{Removal::Stage::Staging, k, groups};
    // What the journal on disk says (or would, once written): where undoing starts from when a
    // step fails.
    Removal written = removal;
    try {
        writeJournal(removal);
        moveAside(removal);
        removal.stage = Removal::Stage::Renumbering;
        writeJournal(removal);
        written = removal;
        writeIndex(removal.groupsLeft());
        moveDown(removal);
        removal.stage = Removal::Stage::Done;
        writeJournal(removal);
        written = removal;
    } catch (const FileError& failure) {
        QString message = failure.message() + QStringLiteral(" The group was not removed.");
        try {
            undo(written);
        } catch (const FileError& undoFailure) {
            message += QStringLiteral(" Putting the group files back failed too (%1); it is "
                                      "tried again before the groups are next read.")
                           .arg(undoFailure.message());
        }
        throw FileError(message);
    }
    try {
        finish(removal);
    } catch (const FileError& error) {
        qCInfo(groupsLog()).noquote() << "left over from removing a group:" << error.message();
    }
}

QList<int> find_group_number(const QString& name) {
    settleInterruptedRemoval();
    QList<int> matches;
    forEachGroup([&](int position, const QString& groupName) {
        if (groupName == name)
            matches << position;
    });
    return matches;
}

QString member_id_at(int groupNo, int record, bool hasGroupName) {
    settleInterruptedRemoval();
    if (record < 1)
        return {};
    // Records are fixed-length: record r is read where it starts, whatever its number.
    RecordReader reader(memberFileName(hasGroupName ? groupNo : 0), kMemberRecordLength);
    const QByteArray bytes = reader.at(record);
    if (bytes.isEmpty())
        return {};
    return windows1252::decode(trimmedField(bytes, kMemberIdOffset, kMemberTextWidth));
}

} // namespace rv
