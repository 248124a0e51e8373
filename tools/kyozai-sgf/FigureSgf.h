#pragma once
// A lesson figure (the rows of table "figure" with one MNB) as an SGF game tree, and back.
//
// The tree a viewer sees:
//   - the root node: GN = the contents title; a basic figure as AB/AW setup stones, its marks
//     as markup (LB for characters; △ □ ○ × as TR SQ CR MA) and the text shown with it as C.
//     A figure of several basic figures (a lesson of problems) gets one variation per problem
//     under the root, each starting with its setup node.
//   - every recorded sequence as moves; where several branches hang at an end they are
//     variations in the order they were registered. Comments are C. A wrong move (negative
//     COL, shown as a red ●) carries BM[1] and "【不正解】" before its comment; the first
//     move of an answer in a lesson of problems carries TE[1] and "【正解】". A comment that
//     already begins with 正解 / 不正解 / 間違 gets no second word.
//
// What SGF has no word for is kept in properties of ミレトカ's own, written only where the
// plain tree does not already say it:
//   KIND[n]     root: the lesson kind (PRB), when not 0
//   MNB[n]      root: the figure number it was exported from (for the reader's information)
//   ROWS[...]   setup node: the basic figure's rows exactly, one value "pt:TES,COL,DTX,CMT" a
//               row ("pt" SGF letters, empty for point 0), when AB/AW and markup in their fixed
//               order would not give them back (stones of both colours interleaved, marks
//               between stones, a problem's answer sign)
//   ROW[...]    move node: the row exactly, same form, when the move does not say it
//   MN[n]       move node: TES when it is not the number before plus one
//   BRANCH[n]   last node of a branch: its BFR when it is not the next free number in row
//               order, or when exactly one branch hangs at that end (SGF would run them on)
//   ORDER[...]  root: the branch numbers in row order, when the rows are not root by root,
//               end by end (breadth first)
//
// Reading a record made elsewhere uses the same rules without those properties: the basic
// figure is the setup of the root and of the nodes without moves that follow it (or, for a
// root whose variations all start with setup, one basic figure per variation), sequences are
// the moves, branches split where the tree does.
// A record without setup gets a basic figure of one invisible mark, so that its first move is
// offered as a choice. Passes, setup in later nodes, markup on moves and comments on nodes
// without a move are not part of a figure and are counted in the warnings.
#include <stdexcept>
#include <string>
#include <vector>

#include "LessonSource.h"
#include "go/GameTree.h"

namespace kyozai {

class EFigureSgfError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TLessonFigure {
  std::vector<TFigureRow> Rows;  // in table order
  std::string Title;             // contents ITEM ("" when there is no contents row)
  int Kind = 0;                  // contents PRB
  std::vector<std::string> Warnings;  // Japanese, what did not fit
};

// The tree of a figure. Throws EFigureSgfError when the rows cannot be written so that they
// read back the same (a branch hanging at no end, a point off the board).
go::TGameTree FigureToTree(const TLessonFigure &figure, int mnb);

// The figure rows of a tree read as figure `mnb`. Throws EFigureSgfError for a record that
// cannot become a lesson figure (not a 19-line board, too many branches).
TLessonFigure TreeToFigure(const go::TGameTree &tree, int mnb);

// Comment column size in bytes (of table figure) and title size (of table mokuji).
inline constexpr size_t CommentLimit = 250;
inline constexpr size_t TitleLimit = 120;

}  // namespace kyozai
