#include "groups/group_files.h"

#include "groups/groups_log.h"
#include "groups/windows1252.h"

#include <QFile>
#include <QtEndian>
#include <cstdint>

namespace rv {
namespace {

const QByteArray kEndMarker = QByteArrayLiteral("XXX");
constexpr std::int16_t kEndMarkerGroupNo = 9999;
constexpr int kMemberNameOffset = 2;
constexpr int kMemberIdOffset = kMemberNameOffset + kMemberTextWidth;
constexpr int kSpareSlotsWidth = kMemberRecordLength - kMemberIdOffset - kMemberTextWidth;

// Reads a record file from record 1 on. The last record of a file whose length is not a multiple
// of the record length comes back short; after it, records come back empty.
class RecordReader {
public:
    RecordReader(const QString& name, int recordLength) : recordLength_(recordLength) {
        if (const auto actual = workdir::find(name)) {
            file_.setFileName(*actual);
            if (!file_.open(QIODevice::ReadOnly))
                throw FileError(
                    QStringLiteral("Could not read \"%1\": %2.").arg(*actual, file_.errorString()));
        }
    }
    QByteArray next() { return file_.isOpen() ? file_.read(recordLength_) : QByteArray(); }

private:
    QFile file_;
    int recordLength_;
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

// What writing these records in place over the existing file would leave: the old bytes, with
// each record replaced at its offset and any gap before a record past the end filled with zero
// bytes. The file never gets shorter.
QByteArray overlaid(const QString& name, const QList<std::pair<qint64, QByteArray>>& records) {
    QByteArray bytes;
    if (const auto actual = workdir::find(name)) {
        QFile old(*actual);
        if (!old.open(QIODevice::ReadOnly))
            throw FileError(QStringLiteral("Could not read \"%1\": %2. Nothing was saved.")
                                .arg(*actual, old.errorString()));
        bytes = old.readAll();
        if (old.error() != QFileDevice::NoError)
            throw FileError(QStringLiteral("Could not read \"%1\": %2. Nothing was saved.")
                                .arg(*actual, old.errorString()));
    }
    for (const auto& [offset, record] : records) {
        if (bytes.size() < offset + record.size())
            bytes.append(offset + record.size() - bytes.size(), '\0');
        bytes.replace(offset, record.size(), record);
    }
    return bytes;
}

} // namespace

QString groupIndexFileName() {
    return QStringLiteral("Rotalist.dat");
}

QString memberFileName(int groupNo) {
    return QStringLiteral("GRP%1.DAT").arg(groupNo);
}

bool groupIndexExists() {
    return workdir::exists(groupIndexFileName());
}

bool memberFileExists(int groupNo) {
    return workdir::exists(memberFileName(groupNo));
}

QStringList read_group_index() {
    QStringList names;
    forEachGroup([&](int, const QString& name) { names << name; });
    return names;
}

void write_group_index(const QStringList& names) {
    QByteArray records;
    for (qsizetype i = 0; i < names.size(); ++i)
        records += indexRecord(names.at(i), static_cast<std::int16_t>(i));
    records += indexEndMarker();
    workdir::save(groupIndexFileName(), overlaid(groupIndexFileName(), {{0, records}}));
}

void write_group_entry(int k, const QStringList& names) {
    QList<std::pair<qint64, QByteArray>> records;
    if (k >= 0)
        records.append({qint64(k) * kGroupIndexRecordLength,
                        indexRecord(names.value(k), static_cast<std::int16_t>(k))});
    records.append({qint64(names.size()) * kGroupIndexRecordLength, indexEndMarker()});
    workdir::save(groupIndexFileName(), overlaid(groupIndexFileName(), records));
}

QList<GroupMember> read_members(int groupNo) {
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
    QByteArray records;
    for (const auto& member : members)
        records += memberRecord(member.name, member.id);
    records += memberRecord(QString::fromLatin1(kEndMarker), QString::fromLatin1(kEndMarker));
    workdir::save(memberFileName(groupNo), overlaid(memberFileName(groupNo), {{0, records}}));
}

void remove_group_files(int k, int groupsLeft) {
    workdir::remove(memberFileName(k));
    for (int i = k + 1; i <= groupsLeft; ++i)
        if (memberFileExists(i))
            workdir::rename(memberFileName(i), memberFileName(i - 1));
}

QList<int> find_group_number(const QString& name) {
    QList<int> matches;
    forEachGroup([&](int position, const QString& groupName) {
        if (groupName == name)
            matches << position;
    });
    return matches;
}

QString member_id_at(int groupNo, int record, bool hasGroupName) {
    if (record < 1)
        return {};
    RecordReader reader(memberFileName(hasGroupName ? groupNo : 0), kMemberRecordLength);
    QByteArray bytes;
    for (int r = 1; r <= record; ++r) {
        bytes = reader.next();
        if (bytes.isEmpty())
            return {};
    }
    return windows1252::decode(trimmedField(bytes, kMemberIdOffset, kMemberTextWidth));
}

} // namespace rv
