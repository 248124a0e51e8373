// TForm2: storing what the author recorded. 基本図登録 appends the recorded stones and marks as
// a root branch of the open figure (first row BTO 9999, last row BFR a free branch number);
// 手順登録 appends the recorded moves as a branch hanging at the end of the branch under the
// figure grid's cursor. The board is left as it is; the recorded clicks are forgotten.
#include <QLineEdit>
#include <cstdlib>

#include "app/authoring/LessonAuthoring.h"
#include "app/board/MainWindow.h"
#include "app/board/PlayState.h"
#include "app/board/StatusPanels.h"
#include "app/data/DataModule.h"
#include "app/feedback/ErrorReporter.h"
#include "app/lessons/FigureNavigation.h"
#include "app/lessons/Marks.h"

namespace miretoka {

using namespace play;

namespace {

void SetField(kura::TKuraQuery &q, const char *name, std::int32_t value) { q.FieldByName(name).SetAsInteger(value); }

const MoveRecord &Entry(std::int32_t i) { return MoveList[static_cast<std::size_t>(i)]; }

}  // namespace

bool TForm2::RefuseEmptyRegistration(std::int32_t n) {
  if (n > 0) return false;
  // Nothing was clicked since the last registration: there is no row to store, and the table
  // is left alone.
  Reporter().ShowInformation(this, QStringLiteral("登録する石や記号がありません。"));
  PlayFeedback(0);
  return true;
}

void TForm2::CuteButton2Click() {
  TDataModule1 &dm = LessonData(FDataModule);
  kura::TKuraQuery &q = dm.KuraQuery2;
  const std::int32_t n = CountMoves();
  if (RefuseEmptyRegistration(n)) return;
  if (!q.Active()) dm.OpenFigure(CurrentFigure);
  for (std::int32_t i = 0; i < n; ++i) {
    const MoveRecord &m = Entry(i);
    q.Append();
    SetField(q, "MNB", CurrentFigure);
    SetField(q, "TES", 0);
    SetField(q, "COL", m.Color);
    SetField(q, "PST", m.Point);
    SetField(q, "DTX", m.Mark);
    // The characters of a mark always go with it: the figure loaders draw a mark's CMT.
    q.FieldByName("CMT").SetAsString(MoveTextAt(i).toStdString());
    if (i == 0) SetField(q, "BTO", 9999);
    if (i == n - 1) SetField(q, "BFR", dm.NextBranchNumber(CurrentFigure));
    q.Post();
  }
  ResetMoveList();
  MoveNumber = 0;
  FEdit3->clear();
  FStatusBar1->SetPanelText(0, QStringLiteral("登録しました。"));
  PlayFeedback(0);
}

void TForm2::CuteButton8Click() {
  TDataModule1 &dm = LessonData(FDataModule);
  kura::TKuraQuery &q = dm.KuraQuery2;
  const std::int32_t n = CountMoves();
  if (RefuseEmptyRegistration(n)) return;
  if (!q.Active() || q.IsEmpty()) {
    // A sequence hangs at the end of a branch; without a basic figure there is none.
    Reporter().ShowInformation(this, QStringLiteral("先に基本図を登録してください。"));
    PlayFeedback(0);
    return;
  }
  for (std::int32_t i = 0; i < n; ++i) {
    if (Entry(i).Mark != 0) {
      // A sequence is played move by move with numbers; a mark in it would be stored as a
      // stone without its characters.
      Reporter().ShowInformation(this, QStringLiteral("手順には石だけを登録してください。"));
      PlayFeedback(0);
      return;
    }
  }
  GoToBranchEnd(dm);
  const std::int32_t b = static_cast<std::int32_t>(q.FieldByName("BFR").AsInteger());
  if (b <= 0) {
    // The rows ended before a branch end (a damaged figure): a branch hung at 0 would be no
    // branch at all.
    Reporter().ShowInformation(this, QStringLiteral("手順を掛ける枝の終わりがありません。"));
    PlayFeedback(0);
    return;
  }
  if (q.Locate("PST;BTO", std::vector<kura::TKuraValue>{kura::TKuraValue(Entry(0).Point), kura::TKuraValue(b)})) {
    Reporter().ShowInformation(this, QStringLiteral("既に登録されています。"));
    PlayFeedback(0);
    return;
  }
  for (std::int32_t i = 0; i < n; ++i) {
    const MoveRecord &m = Entry(i);
    q.Append();
    SetField(q, "MNB", CurrentFigure);
    SetField(q, "TES", m.Number);
    SetField(q, "COL", m.Color);
    SetField(q, "PST", m.Point);
    MoveNumber = m.Number;
    CurrentColor = m.Color;
    if (i == 0) SetField(q, "BTO", b);
    if (i == n - 1) SetField(q, "BFR", dm.NextBranchNumber(CurrentFigure));
    q.Post();
  }
  ResetMoveList();
  GoToBranchStart(dm);
  CurrentColor = NextColor(std::abs(CurrentColor));
  FStatusBar1->SetPanelText(0, QStringLiteral("登録しました。"));
  PlayFeedback(0);
}

}  // namespace miretoka
