#pragma once

// The group store: the group index "Rotalist.dat" (52-byte GroupIndexRecords) and one member file
// "GRP" + n + ".DAT" (1932-byte MemberRecords) per group, in the current working directory, file
// names matched with letter case ignored. Text is Windows-1252, blank-padded; numbers are signed
// 16-bit little-endian. A list ends at the first record whose blank-trimmed name is "XXX", or at
// the end of the file.
//
// Errors: a missing file reads as an empty list. Every other failure (a file that exists but cannot
// be read, is not a regular file or is larger than its kind can be, a save, deletion or rename
// that fails) throws rv::FileError (platform/workdir_files.h), whose message can be shown to the
// user. A save never leaves a file half written: it either replaces the whole file or leaves the
// old one byte for byte as it was. Files are read and saved a piece at a time, so their size does
// not matter to memory.
//
// Every operation first settles a group removal that was interrupted (see remove_group_files), so
// that no group is ever read with another group's member file.

#include "platform/workdir_files.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace rv {

constexpr int kGroupIndexRecordLength = 52;
constexpr int kMemberRecordLength = 1932;
constexpr int kGroupNameWidth = 50;
constexpr int kMemberTextWidth = 200;
// Group numbers are signed 16-bit values; member record numbers are not limited by the format,
// only by what a board can sensibly show.
constexpr int kMaxGroups = 32767;
constexpr int kMaxMembers = 100000;

struct GroupMember {
    QString name; // display name as the calendar service returned it
    QString id;   // the calendar service's entry identifier
    friend bool operator==(const GroupMember&, const GroupMember&) = default;
};

QString groupIndexFileName();        // "Rotalist.dat"
QString memberFileName(int groupNo); // "GRP" + n + ".DAT"

bool groupIndexExists();
bool memberFileExists(int groupNo);

// The group names in record order, blanks trimmed, up to the end marker.
QStringList read_group_index();

// Writes every name as records 1..N and the end marker as record N + 1. Records after it keep
// what they held: the file never shrinks.
void write_group_index(const QStringList& names);

// Writes record k + 1 with names[k] (empty text when k is past the list) and the end marker as
// record names.size() + 1; no other record changes.
void write_group_entry(int k, const QStringList& names);

// The (name, id) pairs of group n's member file up to the end marker; empty when it is absent.
QList<GroupMember> read_members(int groupNo);

// Writes the members as records 1..M and the end marker ("XXX", "XXX") as record M + 1, creating
// the file when absent; later records keep what they held.
void write_members(int groupNo, const QList<GroupMember>& members);

// Removes the group at position k of `groups` (the list as it stands, that group still in it):
// writes the index without it, deletes its member file and renames each later one (k + 1 .. the
// last, ascending) to the number below, as one step. A journal beside the index
// ("Rotalist.journal") records how far it got, so that an interruption - a refused rename, a full
// disk, a crash - never leaves the index and the member files disagreeing: a step that fails is
// undone before the FileError is thrown, and a removal cut short by a crash is undone (or, when
// only clearing up was left, finished) by the next group operation.
void remove_group_files(int k, const QStringList& groups);

// The position of every index record, in record order, whose trimmed name equals name exactly.
QList<int> find_group_number(const QString& name);

// The trimmed member_id of record r (r >= 1) of group groupNo's member file, or of "GRP0.DAT" when
// the board has no current group name. Empty text when the file or the record does not exist.
QString member_id_at(int groupNo, int record, bool hasGroupName);

} // namespace rv
