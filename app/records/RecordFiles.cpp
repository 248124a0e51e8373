#include "app/records/RecordFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include "app/board/PlayState.h"
#include "app/board/SavedGame.h"
#include "app/start/UserSettings.h"
#include "go/SgfWriter.h"
#include "query/dataset/KuraQuery.h"

namespace miretoka::records {

namespace {

const QString RecentKey = QStringLiteral("records/recent");

go::TGameTree Moves(int size, const std::vector<TSavedMove> &moves) {
  go::TGameTree tree;
  tree.Info.Size = size;
  go::TNode *node = tree.Root();
  for (const TSavedMove &m : moves) {
    if ((m.Color != 1 && m.Color != 2) || m.Point < 1 || m.Point > size * size) continue;
    node = tree.AddChild(node);
    node->MoveColor = m.Color;
    node->MovePoint = m.Point;
  }
  return tree;
}

}  // namespace

go::TGameTree CurrentGame(const go::TGameTree *record) {
  go::TGameTree tree = Moves(play::BoardSize, MovesToSave());
  if (record && record->Info.Size == play::BoardSize) {
    tree.Info = record->Info;
    const go::TNode *first = record->Root();
    tree.Root()->AddBlack = first->AddBlack;
    tree.Root()->AddWhite = first->AddWhite;
    tree.Root()->Comment = first->Comment;
  }
  return tree;
}

go::TGameTree SavedGame(int size) {
  kura::TKuraQuery q;
  q.SetDatabaseName("kyozai");
  q.SQL().Add("select * from figure");
  q.SQL().Add("Where MNB = " + std::to_string(size));
  q.Open();
  std::vector<TSavedMove> moves;
  for (q.First(); !q.Eof(); q.Next())
    moves.push_back({static_cast<std::int32_t>(q.Fields(1).AsInteger()), static_cast<std::int32_t>(q.Fields(2).AsInteger()),
                     static_cast<std::int32_t>(q.Fields(3).AsInteger())});
  q.Close();
  return Moves(size, moves);
}

bool WriteRecordFile(const go::TGameTree &tree, const QString &file, QString &error) {
  const std::string text = go::WriteSgf(tree);
  QFile out(file);
  if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
      out.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size()) || !out.flush()) {
    error = QStringLiteral("%1 に書けません（%2）。").arg(file, out.errorString());
    return false;
  }
  return true;
}

QStringList RecentRecords() {
  QSettings settings = ProgramSettings();
  return settings.value(RecentKey).toStringList();
}

void RememberRecord(const QString &file) {
  const QString path = QFileInfo(file).absoluteFilePath();
  QStringList list = RecentRecords();
  list.removeAll(path);
  list.prepend(path);
  while (list.size() > RecentLimit) list.removeLast();
  QSettings settings = ProgramSettings();
  settings.setValue(RecentKey, list);
}

void ForgetRecord(const QString &file) {
  QStringList list = RecentRecords();
  list.removeAll(QFileInfo(file).absoluteFilePath());
  QSettings settings = ProgramSettings();
  settings.setValue(RecentKey, list);
}

}  // namespace miretoka::records
