#pragma once
// Building a board of any size on a window: background, lines, star points,
// the picture and the label of every point, at the pixels of the window's
// design. The 19-, 13- and 9-line windows differ only in the numbers below.
#include <QPoint>
#include <Qt>
#include <functional>
#include <utility>
#include <vector>

class QWidget;

namespace miretoka {

class TShape;
class TPointImage;
class TPointLabel;

struct TBoardGeometry {
  int Lines = 19;                    // lines per side
  QPoint Origin;                     // top-left corner of the background
  int Margin = 16;                   // from the background's edge to the first line
  int Spacing = 28;                  // between two lines
  int VerticalExtra = 0;             // vertical lines are this much longer than horizontal ones
  std::vector<std::pair<int, int>> Stars;  // (column, row) of each star point, in creation order
  QPoint ImageOffset{2, 2};          // Image<k> of column 0, row 0 from the origin
  bool StretchImages = true;
  QPoint LabelOffset{4, 9};          // Label<k> of column 0, row 0 from the origin
  Qt::Alignment LabelAlignment = Qt::AlignCenter;

  int Points() const { return Lines * Lines; }
  int BackgroundSize() const { return 2 * Margin + (Lines - 1) * Spacing; }
  // Where the label of column c, row r stands.
  QPoint LabelPlace(int c, int r) const { return Origin + LabelOffset + QPoint(Spacing * c, Spacing * r); }
  // Column and row of a label's top-left corner: the division is taken from a
  // pixel left of and above the label, so a label anywhere in its cell counts.
  int ColumnAt(int left) const { return (left - (Origin.x() + LabelOffset.x() - 1)) / Spacing; }
  int RowAt(int top) const { return (top - (Origin.y() + LabelOffset.y() - 1)) / Spacing; }
};

// The controls built for a board; index k is point k (index 0 unused), shapes
// are numbered from 1: the background, the horizontal lines, the vertical
// lines, the star points.
struct TBoardParts {
  std::vector<TShape *> Shapes;
  std::vector<TPointImage *> Images;
  std::vector<TPointLabel *> Labels;
};

using TLabelMouseDown = std::function<void(TPointLabel *, Qt::MouseButton, Qt::KeyboardModifiers)>;

// Builds the board on `client`, stacking from bottom to top background, lines,
// star points, pictures, labels; object names Shape<n>, Image<k>, Label<k>.
// Every label reports its mouse-down to `onMouseDown`.
TBoardParts BuildBoard(QWidget *client, const TBoardGeometry &g, const TLabelMouseDown &onMouseDown);

}  // namespace miretoka
