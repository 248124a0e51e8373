#include "app/board/BoardLayout.h"

#include <QColor>

#include "app/board/BoardControls.h"

namespace miretoka {

TBoardParts BuildBoard(QWidget *client, const TBoardGeometry &g, const TLabelMouseDown &onMouseDown) {
  TBoardParts parts;
  parts.Shapes.push_back(nullptr);
  auto addShape = [&](TShape::TKind kind, const QColor &color, int x, int y, int w, int h) {
    auto *s = new TShape(client, kind, color);
    s->setGeometry(x, y, w, h);
    s->setObjectName(QStringLiteral("Shape%1").arg(parts.Shapes.size()));
    parts.Shapes.push_back(s);
  };
  const int x0 = g.Origin.x() + g.Margin;
  const int y0 = g.Origin.y() + g.Margin;
  const int length = (g.Lines - 1) * g.Spacing;
  const int last = g.Lines - 1;
  addShape(TShape::TKind::Rectangle, BoardColor(), g.Origin.x(), g.Origin.y(), g.BackgroundSize(),
           g.BackgroundSize());
  for (int r = 0; r < g.Lines; ++r)
    addShape(TShape::TKind::Rectangle, Qt::black, x0, y0 + g.Spacing * r, length, (r == 0 || r == last) ? 2 : 1);
  for (int c = 0; c < g.Lines; ++c)
    addShape(TShape::TKind::Rectangle, Qt::black, x0 + g.Spacing * c, y0, (c == 0 || c == last) ? 2 : 1,
             length + g.VerticalExtra);
  // A star point is a 5 x 5 circle over its crossing.
  for (const auto &[c, r] : g.Stars)
    addShape(TShape::TKind::Circle, Qt::black, x0 + g.Spacing * c - 2, y0 + g.Spacing * r - 2, 5, 5);

  const auto count = static_cast<std::size_t>(g.Points()) + 1;
  parts.Images.assign(count, nullptr);
  parts.Labels.assign(count, nullptr);
  for (int c = 0; c < g.Lines; ++c)
    for (int r = 0; r < g.Lines; ++r) {
      const int k = c * g.Lines + r + 1;
      auto *img = new TPointImage(client);
      img->setObjectName(QStringLiteral("Image%1").arg(k));
      img->setScaledContents(g.StretchImages);
      img->setGeometry(g.Origin.x() + g.ImageOffset.x() + g.Spacing * c,
                       g.Origin.y() + g.ImageOffset.y() + g.Spacing * r, 28, 28);
      parts.Images[static_cast<std::size_t>(k)] = img;
    }
  for (int c = 0; c < g.Lines; ++c)
    for (int r = 0; r < g.Lines; ++r) {
      const int k = c * g.Lines + r + 1;
      auto *label = new TPointLabel(client, k);
      label->setObjectName(QStringLiteral("Label%1").arg(k));
      label->setAlignment(g.LabelAlignment);
      const QPoint at = g.LabelPlace(c, r);
      label->setGeometry(at.x(), at.y(), 26, 16);
      label->OnMouseDown = onMouseDown;
      parts.Images[static_cast<std::size_t>(k)]->SetLabel(label);
      parts.Labels[static_cast<std::size_t>(k)] = label;
    }
  return parts;
}

}  // namespace miretoka
