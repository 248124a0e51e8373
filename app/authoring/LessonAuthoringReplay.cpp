// TForm2: a click on a row of the figure grid rebuilds the board along the branch path to that
// row - the basic figure, then every branch from the root down to the clicked row's branch,
// each move with its number - and leaves the cursor on the clicked row, so that a sequence
// recorded next continues from it.
#include <QTableView>
#include <cstdlib>
#include <vector>

#include "app/board/MainWindow.h"
#include "app/board/PlayState.h"
#include "app/data/DataModule.h"
#include "app/data/DataSetModel.h"
#include "app/lessons/FigureNavigation.h"
#include "app/lessons/Marks.h"

namespace miretoka {

using namespace play;

namespace {

std::int32_t Field(kura::TKuraQuery &q, const char *name) {
  return static_cast<std::int32_t>(q.FieldByName(name).AsInteger());
}

}  // namespace

void TForm2::DBGrid2CellClick() { ReplayToRow(); }

void TForm2::ReplayToRow() {
  ClearBoard();
  if (!FDataModule || !FDataModule->KuraQuery2.Active() || FDataModule->KuraQuery2.IsEmpty()) return;
  TDataModule1 &dm = *FDataModule;
  kura::TKuraQuery &q = dm.KuraQuery2;
  // The grid neither follows nor moves the cursor while the path is walked.
  SetFigureGridAttached(false);
  struct TReattach {
    TForm2 *Form;
    ~TReattach() { Form->SetFigureGridAttached(true); }
  } reattach{this};

  const std::vector<uint8_t> clicked = q.GetBookmark();
  const std::int32_t t0 = Field(q, "TES");

  // The branch numbers from the clicked row's branch up to its root branch. A figure whose
  // parent end is missing or whose branches hang in a ring stops the walk rather than loop.
  std::vector<std::int32_t> path;
  const std::int64_t rows = q.RecordCount();
  GoToBranchEnd(dm);
  for (std::int64_t guard = 0; guard <= rows; ++guard) {
    path.push_back(Field(q, "BFR"));
    GoToBranchStart(dm);
    const std::int32_t b = Field(q, "BTO");
    if (b == 9999 || b == 0) break;
    if (!q.Locate("BFR", kura::TKuraValue(b))) break;
  }

  // Root first: every row of every branch on the path. Moves keep their numbers (code 2);
  // marks of a basic figure are drawn as marks and leave the board cell alone.
  for (auto it = path.rbegin(); it != path.rend(); ++it) {
    if (*it <= 0) continue;
    if (!q.Locate("BFR", kura::TKuraValue(*it))) continue;
    GoToBranchStart(dm);
    while (true) {
      const std::int32_t p = Field(q, "PST");
      const std::int32_t col = Field(q, "COL");
      const std::int32_t dtx = Field(q, "DTX");
      const std::vector<uint8_t> row = q.GetBookmark();
      if (IsMarkCode(dtx)) {
        DrawStone(0, col, p, dtx, QString::fromStdString(q.FieldByName("CMT").AsString()));
      } else if (p >= 1 && p <= MaxPoints) {
        MoveNumber = Field(q, "TES");
        CurrentColor = col;
        Board[static_cast<std::size_t>(p - 1)] = std::abs(col);
        DrawStone(MoveNumber, CurrentColor, p, 2, QString());
      }
      // The capture step may have walked the figure; go on from the row just drawn.
      q.GotoBookmark(row);
      if (Field(q, "BFR") > 0) break;
      q.Next();
      if (q.Eof()) break;
    }
  }
  q.GotoBookmark(clicked);
  MoveNumber = t0;
}

}  // namespace miretoka

namespace miretoka {

void TForm2::SetFigureGridAttached(bool attached) {
  FFigureGridAttached = attached;
  FDBGrid2->setUpdatesEnabled(attached);
  if (!attached) return;
  // Back on the data source: the grid shows the row the cursor rests on.
  const int row = FFigureModel->CurrentRow();
  if (row >= 0) FDBGrid2->selectRow(row);
}

}  // namespace miretoka
