#include "tools/make-resources/StonePainter.h"

#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace miretoka::resources {
namespace {
// The stone is drawn this many times larger and then averaged down, which gives smoother
// edges and gradients than painting at 28 pixels directly.
constexpr int kOversample = 8;

struct StoneLook {
  QColor highlight;  // where the light falls
  QColor body;       // the bulk of the stone
  QColor rim;        // the edge turned away from the light
  qreal highlightSize;
};

StoneLook LookOf(StoneKind kind) {
  if (kind == StoneKind::Black)
    return {QColor(118, 118, 126), QColor(34, 34, 38), QColor(6, 6, 8), 0.55};
  return {QColor(255, 255, 255), QColor(236, 234, 228), QColor(168, 164, 156), 0.85};
}

// Averages each kOversample x kOversample block of premultiplied pixels into one.
QImage BoxDownsample(const QImage &big) {
  const int side = big.width() / kOversample;
  QImage small(side, side, QImage::Format_ARGB32_Premultiplied);
  const int area = kOversample * kOversample;
  for (int y = 0; y < side; ++y) {
    auto *out = reinterpret_cast<QRgb *>(small.scanLine(y));
    for (int x = 0; x < side; ++x) {
      int a = 0, r = 0, g = 0, b = 0;
      for (int dy = 0; dy < kOversample; ++dy) {
        const auto *in = reinterpret_cast<const QRgb *>(big.constScanLine(y * kOversample + dy));
        for (int dx = 0; dx < kOversample; ++dx) {
          const QRgb px = in[x * kOversample + dx];
          a += qAlpha(px);
          r += qRed(px);
          g += qGreen(px);
          b += qBlue(px);
        }
      }
      out[x] = qRgba((r + area / 2) / area, (g + area / 2) / area, (b + area / 2) / area,
                     (a + area / 2) / area);
    }
  }
  return small;
}
}  // namespace

QImage PaintStone(StoneKind kind, int scale) {
  const int side = kStoneSide * kOversample * scale;
  const qreal unit = kOversample * scale;
  QImage big(side, side, QImage::Format_ARGB32_Premultiplied);
  big.fill(Qt::transparent);

  QPainter painter(&big);
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setPen(Qt::NoPen);

  // The stone sits in the middle of its cell, where the lines cross; 13 px leaves a thin
  // gap between neighbouring stones.
  const QPointF centre(14.0 * unit, 14.0 * unit);
  const qreal radius = 13.0 * unit;

  // Contact shadow: a soft disc a little below and to the right of the stone.
  {
    const QPointF shadowCentre = centre + QPointF(0.6 * unit, 0.9 * unit);
    const qreal softness = 1.2 * unit;
    const qreal outer = radius + softness;
    QRadialGradient shade(shadowCentre, outer);
    const int shadowAlpha = kind == StoneKind::Black ? 110 : 80;
    shade.setColorAt(0.0, QColor(60, 40, 10, shadowAlpha));
    shade.setColorAt((radius - softness) / outer, QColor(60, 40, 10, shadowAlpha));
    shade.setColorAt(1.0, QColor(60, 40, 10, 0));
    painter.setBrush(shade);
    painter.drawEllipse(shadowCentre, outer, outer);
  }

  // Body: a radial gradient whose focus lies towards the upper left, the light's side.
  const StoneLook look = LookOf(kind);
  {
    const QPointF focus = centre + QPointF(-4.2 * unit, -4.6 * unit);
    QRadialGradient body(centre + QPointF(-1.2 * unit, -1.4 * unit), radius * 1.22, focus);
    body.setColorAt(0.0, look.highlight);
    body.setColorAt(0.10 * look.highlightSize, look.highlight);
    body.setColorAt(0.55, look.body);
    body.setColorAt(0.90, look.rim);
    body.setColorAt(1.0, look.rim);
    painter.setBrush(body);
    painter.drawEllipse(centre, radius, radius);
  }

  // A faint reflected light on the lower right makes the stone look round, not flat.
  {
    const QPointF glowCentre = centre + QPointF(5.5 * unit, 6.0 * unit);
    QRadialGradient glow(glowCentre, 6.0 * unit);
    const QColor tint = kind == StoneKind::Black ? QColor(90, 90, 100) : QColor(255, 255, 250);
    glow.setColorAt(0.0, QColor(tint.red(), tint.green(), tint.blue(), 60));
    glow.setColorAt(1.0, QColor(tint.red(), tint.green(), tint.blue(), 0));
    painter.setBrush(glow);
    painter.setClipRegion(QRegion(QRect(0, 0, side, side)));
    QPainterPath disc;
    disc.addEllipse(centre, radius, radius);
    painter.setClipPath(disc);
    painter.drawEllipse(glowCentre, 6.0 * unit, 6.0 * unit);
    painter.setClipping(false);
  }

  // The outline keeps a white stone distinct from the pale board.
  if (kind == StoneKind::White) {
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(112, 108, 100, 200), 0.7 * unit));
    painter.drawEllipse(centre, radius - 0.35 * unit, radius - 0.35 * unit);
  }
  painter.end();

  return BoxDownsample(big);
}
}  // namespace miretoka::resources
