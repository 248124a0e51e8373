#pragma once
// Walks over the figure query (DataModule1's KuraQuery2) shared by the lesson steps. The
// current row of a lesson is the figure query's cursor.
//
// A figure is a run of branches: a branch starts on a row with BTO != 0 (9999 for a root
// branch, otherwise the number of the end it continues) and ends on a row with BFR > 0 (its
// own number). The walks here never run off the figure: a damaged figure without the row a
// walk looks for stops the walk on the first or last row.
#include <cstdint>

namespace miretoka {

class TDataModule1;

// While the current row's BTO is 0, moves to the prior row (stops on the first row).
void GoToBranchStart(TDataModule1 &dm);

// While the current row's BFR is 0, moves to the next row (stops on the last row). Returns
// the number of rows visited counting the start row; 0 on an empty figure.
std::int32_t GoToBranchEnd(TDataModule1 &dm);

// Steps to the row shown before the current one: the end of the parent branch (Locate
// "BFR" = BTO) when the current row starts a branch, otherwise the prior row. A root branch's
// first row has no parent end (BTO 9999), so the cursor stays there.
void StepToPreviousRow(TDataModule1 &dm);

// Clears all entries of play::ChoiceTable, then walks the whole figure from its first row
// and stores COL, PST and BTO of every row whose BTO is branchNumber, in figure order, up to
// the table's 20 entries. Returns the number stored; the cursor is left on the last row.
std::int32_t FindBranches(TDataModule1 &dm, std::int32_t branchNumber);

// What follows the current row: 3 the sequence goes on with the next row (BFR 0); at a
// branch end, 0 nothing hangs there, 1 one branch, 2 two or more (ChoiceTable filled). The
// current row is then found again: by "TES;PST" = (MoveNumber, PST) in a lesson without
// problems, by "PST;BFR;DTX" = (PST, BFR, CurrentProblem) in a problem lesson. Callers set
// play::MoveNumber to the row's TES first. An empty figure gives 0.
std::int32_t ClassifyRow(TDataModule1 &dm);

}  // namespace miretoka
