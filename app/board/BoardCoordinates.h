#pragma once
// The coordinates of a board: letters A to T (without I) under the columns and numbers
// to the right of the rows, 1 at the bottom, for a board of any size. Drawn in a strip
// along the right and bottom edges of the board's background, where no stone reaches.
#include <QWidget>

#include "app/board/BoardLayout.h"

namespace miretoka {

class TBoardCoordinates : public QWidget {
  Q_OBJECT
public:
  // Width of the strip beside the board.
  static constexpr int Strip = 16;
  TBoardCoordinates(QWidget *parent, const TBoardGeometry &geometry);
  // The letter of column c (0-based): A, B, … H, J, … (I is left out).
  static QString ColumnName(int c);

protected:
  void paintEvent(QPaintEvent *event) override;

private:
  TBoardGeometry FGeometry;
};

}  // namespace miretoka
