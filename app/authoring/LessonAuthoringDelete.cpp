// TForm2: deleting lesson rows. 基本図削除 deletes every row of the open figure after the
// author has confirmed it; 手順削除 deletes the branch under the figure grid's cursor together
// with every branch that hangs beneath it, so that no branch is left hanging at a branch
// number that a later registration would hand out again.
#include <set>
#include <vector>

#include "app/board/MainWindow.h"
#include "app/board/PlayState.h"
#include "app/board/StatusPanels.h"
#include "app/data/DataModule.h"
#include "app/feedback/ErrorReporter.h"
#include "app/lessons/FigureNavigation.h"

namespace miretoka {

using namespace play;

namespace {

std::int32_t Field(kura::TKuraQuery &q, const char *name) {
  return static_cast<std::int32_t>(q.FieldByName(name).AsInteger());
}

// One branch of the figure: its rows (as bookmarks), where it hangs and its own number.
struct TBranchRows {
  std::vector<std::vector<uint8_t>> Rows;
  std::int32_t From = 0;    // BTO of its first row
  std::int32_t Number = 0;  // BFR of its last row (0 when the rows ended without one)
};

// The figure split into its branches, in figure order. Rows before the first branch start
// (a damaged figure) form a branch of their own.
std::vector<TBranchRows> ReadBranches(kura::TKuraQuery &q) {
  std::vector<TBranchRows> branches;
  bool open = false;
  for (q.First(); !q.Eof(); q.Next()) {
    const std::int32_t bto = Field(q, "BTO");
    if (!open || bto != 0) {
      branches.emplace_back();
      branches.back().From = bto;
      open = true;
    }
    branches.back().Rows.push_back(q.GetBookmark());
    const std::int32_t bfr = Field(q, "BFR");
    if (bfr > 0) {
      branches.back().Number = bfr;
      open = false;
    }
  }
  return branches;
}

}  // namespace

void TForm2::CuteButton3Click() {
  TDataModule1 &dm = LessonData(FDataModule);
  kura::TKuraQuery &q = dm.KuraQuery2;
  if (!q.Active() || q.IsEmpty()) {
    Reporter().ShowInformation(this, QStringLiteral("削除する行がありません。"));
    PlayFeedback(0);
    return;
  }
  // Every row of the figure goes, basic figure and all sequences, with no way back.
  if (Reporter().AskYesNo(this, QStringLiteral("図 %1 の基本図と全ての手順を削除していいですか？").arg(CurrentFigure)) !=
      TAnswer::Yes)
    return;
  const std::int64_t rows = q.RecordCount();
  q.First();
  for (std::int64_t i = 0; i < rows && !q.IsEmpty(); ++i) q.Delete();
  ClearBoard();
}

void TForm2::CuteButton4Click() {
  TDataModule1 &dm = LessonData(FDataModule);
  kura::TKuraQuery &q = dm.KuraQuery2;
  if (!q.Active() || q.IsEmpty()) {
    Reporter().ShowInformation(this, QStringLiteral("削除する行がありません。"));
    PlayFeedback(0);
    return;
  }
  // The branch under the cursor: the one whose rows hold the cursor's row.
  const std::vector<uint8_t> here = q.GetBookmark();
  const std::vector<TBranchRows> branches = ReadBranches(q);
  std::size_t chosen = branches.size();
  for (std::size_t i = 0; i < branches.size(); ++i)
    for (const auto &row : branches[i].Rows)
      if (row == here) chosen = i;
  if (chosen == branches.size()) {
    // The cursor stands on no row of the figure: there is no branch to point at, and guessing
    // one could delete the basic figure.
    q.GotoBookmark(here);
    Reporter().ShowInformation(this, QStringLiteral("削除する手順の行をクリックしてください。"));
    PlayFeedback(0);
    return;
  }
  // It and every branch beneath it, level by level.
  std::set<std::size_t> doomed{chosen};
  std::set<std::int32_t> ends;
  if (branches[chosen].Number > 0) ends.insert(branches[chosen].Number);
  for (bool grew = true; grew;) {
    grew = false;
    for (std::size_t i = 0; i < branches.size(); ++i) {
      if (doomed.count(i) || !ends.count(branches[i].From)) continue;
      doomed.insert(i);
      if (branches[i].Number > 0) ends.insert(branches[i].Number);
      grew = true;
    }
  }
  if (doomed.size() > 1 &&
      Reporter().AskYesNo(this, QStringLiteral("この手順に続く手順 %1 本も削除されます。削除していいですか？")
                                    .arg(doomed.size() - 1)) != TAnswer::Yes) {
    q.GotoBookmark(here);
    return;
  }
  for (std::size_t i : doomed)
    for (const auto &row : branches[i].Rows) {
      q.GotoBookmark(row);
      q.Delete();
    }
  ClearBoard();
  PlayFeedback(0);
  FStatusBar1->SetPanelText(0, QStringLiteral("指定の手順を削除しました。"));
}

}  // namespace miretoka
