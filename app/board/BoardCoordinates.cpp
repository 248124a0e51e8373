#include "app/board/BoardCoordinates.h"

#include <QPainter>

#include "app/start/Fonts.h"

namespace miretoka {

TBoardCoordinates::TBoardCoordinates(QWidget *parent, const TBoardGeometry &g) : QWidget(parent), FGeometry(g) {
  setObjectName(QStringLiteral("Coordinates"));
  setAttribute(Qt::WA_TransparentForMouseEvents);
  const int side = g.BackgroundSize();
  // The background's own area is covered by the board; only the strips show.
  setGeometry(g.Origin.x(), g.Origin.y(), side + Strip, side + Strip);
  lower();
}

QString TBoardCoordinates::ColumnName(int c) {
  const char letter = static_cast<char>('A' + c + (c >= 8 ? 1 : 0));
  return QString(QLatin1Char(letter));
}

void TBoardCoordinates::paintEvent(QPaintEvent *) {
  QPainter p(this);
  p.setRenderHint(QPainter::TextAntialiasing);
  p.setFont(WindowFont(10));
  p.setPen(QColor(60, 60, 60));
  const TBoardGeometry &g = FGeometry;
  const int side = g.BackgroundSize();
  for (int i = 0; i < g.Lines; ++i) {
    const int at = g.Margin + g.Spacing * i;
    p.drawText(QRect(at - g.Spacing / 2, side, g.Spacing, Strip), Qt::AlignCenter, ColumnName(i));
    p.drawText(QRect(side, at - g.Spacing / 2, Strip + 2, g.Spacing), Qt::AlignCenter,
               QString::number(g.Lines - i));
  }
}

}  // namespace miretoka
