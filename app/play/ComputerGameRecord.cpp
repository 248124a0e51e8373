// TComputerGameWindow: the game as an SGF record and as the board size's adjourned game.
#include <QDate>
#include <QFileInfo>
#include <QSaveFile>

#include "app/feedback/ErrorReporter.h"
#include "app/board/PlayBoard.h"
#include "app/board/PlayState.h"
#include "app/board/StatusPanels.h"
#include "app/board/SavedGame.h"
#include "app/play/ComputerGameWindow.h"
#include "go/SgfWriter.h"

namespace miretoka::versus {

go::TGameTree TComputerGameWindow::Record() const {
  go::TGameTree tree;
  tree.Info.Size = FSettings.Size;
  const std::vector<int> &handicap = FMatch.Handicap();
  tree.Info.Handicap = static_cast<int>(handicap.size());
  char komi[32];
  std::snprintf(komi, sizeof komi, "%g", FSettings.Komi);
  tree.Info.Komi = komi;
  const QString name = FEngineName.isEmpty() ? QFileInfo(EngineLaunch(FSettings.EngineCommand, 1).Program).fileName()
                                             : FEngineName;
  const QString engine = QStringLiteral("%1（レベル %2）").arg(name).arg(FSettings.Level);
  const QString you = QStringLiteral("あなた");
  tree.Info.BlackName = (FSettings.LearnerColor == 1 ? you : engine).toStdString();
  tree.Info.WhiteName = (FSettings.LearnerColor == 2 ? you : engine).toStdString();
  tree.Info.Date = QDate::currentDate().toString(Qt::ISODate).toStdString();
  tree.Info.Result = FSgfResult;
  tree.Root()->AddBlack = handicap;
  go::TNode *node = tree.Root();
  for (const go::match::TMatchMove &m : FMatch.Moves()) {
    node = tree.AddChild(node);
    node->MoveColor = m.Color;
    node->MovePoint = m.Point;
  }
  return tree;
}

void TComputerGameWindow::SaveRecordCommand() {
  const QString file = ChooseFile ? ChooseFile(this, QStringLiteral("対局%1路.sgf").arg(FSettings.Size)) : QString();
  if (file.isEmpty()) return;
  const std::string text = go::WriteSgf(Record());
  QSaveFile out(file);
  if (!out.open(QIODevice::WriteOnly) || out.write(text.data(), static_cast<qint64>(text.size())) !=
                                             static_cast<qint64>(text.size()) ||
      !out.commit()) {
    Reporter().ShowError(this, QStringLiteral("棋譜を保存できませんでした：%1").arg(out.errorString()));
    return;
  }
  FStatus->SetPanelText(1, QStringLiteral("棋譜を保存しました。"));
  PlayFeedback(0);
}

void TComputerGameWindow::SaveAdjournedCommand() {
  if (!FDataModule) return;
  // The adjourned game keeps stones only: handicap stones as unnumbered black stones, then the
  // moves with their numbers; passes have no row.
  std::vector<TSavedMove> moves;
  for (int p : FMatch.Handicap()) moves.push_back({0, 1, p});
  std::int32_t number = 0;
  for (const go::match::TMatchMove &m : FMatch.Moves()) {
    ++number;
    if (m.Point != 0) moves.push_back({number, m.Color, m.Point});
  }
  SaveMoves(*FDataModule, FSettings.Size, moves);
  FStatus->SetPanelText(1, QStringLiteral("　保存しました。"));
  PlayFeedback(0);
}

}  // namespace miretoka::versus
