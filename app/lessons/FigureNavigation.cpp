#include "app/lessons/FigureNavigation.h"

#include <vector>

#include "app/board/PlayState.h"
#include "app/data/DataModule.h"
#include "query/dataset/DataSetErrors.h"

namespace miretoka {

namespace {

std::int32_t Field(kura::TKuraQuery &q, const char *name) {
  return static_cast<std::int32_t>(q.FieldByName(name).AsInteger());
}

// The figure query, open. A walk before any lesson is opened meets the closed query; it reports
// that (as the navigation calls themselves would) rather than a field that cannot be found.
kura::TKuraQuery &Figure(TDataModule1 &dm) {
  if (!dm.KuraQuery2.Active()) throw kura::EKuraDatabaseError(kura::dsmsg::DataSetClosed);
  return dm.KuraQuery2;
}

}  // namespace

void GoToBranchStart(TDataModule1 &dm) {
  kura::TKuraQuery &q = Figure(dm);
  if (q.IsEmpty()) return;
  while (Field(q, "BTO") == 0) {
    q.Prior();
    // Prior on the first row keeps the cursor there and raises Bof: nowhere further to go.
    if (q.Bof()) break;
  }
}

std::int32_t GoToBranchEnd(TDataModule1 &dm) {
  kura::TKuraQuery &q = Figure(dm);
  if (q.IsEmpty()) return 0;
  std::int32_t visited = 1;
  while (Field(q, "BFR") == 0) {
    q.Next();
    if (q.Eof()) break;  // stayed on the last row
    ++visited;
  }
  return visited;
}

void StepToPreviousRow(TDataModule1 &dm) {
  kura::TKuraQuery &q = Figure(dm);
  if (q.IsEmpty()) return;
  const std::int32_t from = Field(q, "BTO");
  if (from != 0)
    q.Locate("BFR", std::vector<kura::TKuraValue>{kura::TKuraValue(from)});  // not found: stays
  else
    q.Prior();
}

std::int32_t FindBranches(TDataModule1 &dm, std::int32_t branchNumber) {
  play::ChoiceTable.fill(play::ChoiceEntry{});
  kura::TKuraQuery &q = Figure(dm);
  std::int32_t count = 0;
  for (q.First(); !q.Eof(); q.Next()) {
    if (Field(q, "BTO") != branchNumber) continue;
    if (count >= play::ChoiceTableSize) continue;  // the table holds 20; the walk still ends on the last row
    play::ChoiceEntry &e = play::ChoiceTable[static_cast<std::size_t>(count++)];
    e.Color = Field(q, "COL");
    e.Point = Field(q, "PST");
    e.From = Field(q, "BTO");
  }
  return count;
}

std::int32_t ClassifyRow(TDataModule1 &dm) {
  kura::TKuraQuery &q = Figure(dm);
  if (q.IsEmpty()) return 0;
  const std::vector<uint8_t> here = q.GetBookmark();
  const std::int32_t point = Field(q, "PST");
  const std::int32_t end = Field(q, "BFR");
  std::int32_t kind = 3;
  if (end != 0) {
    const std::int32_t n = FindBranches(dm, end);
    kind = n == 0 ? 0 : n == 1 ? 1 : 2;
  }
  bool found;
  if (play::LessonKind == 0)
    found = q.Locate("TES;PST", std::vector<kura::TKuraValue>{kura::TKuraValue(play::MoveNumber),
                                                             kura::TKuraValue(point)});
  else
    found = q.Locate("PST;BFR;DTX", std::vector<kura::TKuraValue>{kura::TKuraValue(point), kura::TKuraValue(end),
                                                                 kura::TKuraValue(play::CurrentProblem)});
  // A key that matches no row (MoveNumber not the row's TES) would leave the cursor on the
  // last row, where the walk above left it; go back to the row that was classified instead.
  if (!found) q.GotoBookmark(here);
  return kind;
}

}  // namespace miretoka
