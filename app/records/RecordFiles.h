#pragma once
// Game records to and from files: the game on a board as a tree, the adjourned games of the
// lesson tables as trees, writing a tree to a file, and the list of recently opened records
// (kept in the program's settings).
#include <QString>
#include <QStringList>
#include <vector>

#include "go/GameTree.h"

namespace miretoka::records {

// The moves on the board in play (the history a save of "打ち掛け" would store), as a record
// of BoardSize lines. `record`, when given, is the record the game was opened from: its game
// information and the setup of its first node are kept.
go::TGameTree CurrentGame(const go::TGameTree *record);

// The adjourned game of this board size (rows MNB = size of table figure in the lesson
// directory "kyozai"), read without disturbing the lesson panel's figure query. An empty tree
// (root only) when nothing is stored.
go::TGameTree SavedGame(int size);

// Writes the record as UTF-8 SGF; false (and `error` set) when the file cannot be written.
bool WriteRecordFile(const go::TGameTree &tree, const QString &file, QString &error);

// Recently opened records, newest first, at most RecentLimit; files that are gone stay until
// opening them fails.
inline constexpr int RecentLimit = 8;
QStringList RecentRecords();
void RememberRecord(const QString &file);
void ForgetRecord(const QString &file);

}  // namespace miretoka::records
