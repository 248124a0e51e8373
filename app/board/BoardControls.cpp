#include "app/board/BoardControls.h"

#include <QFile>
#include <QGuiApplication>
#include <QFileInfo>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <utility>

#include "app/feedback/ErrorReporter.h"

namespace miretoka {

TShape::TShape(QWidget *parent, TKind kind, const QColor &color)
    : QWidget(parent), FKind(kind), FColor(color) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void TShape::paintEvent(QPaintEvent *) {
  QPainter p(this);
  if (FKind == TKind::Rectangle) {
    p.fillRect(rect(), FColor);
  } else {
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(FColor);
    p.drawEllipse(QRectF(rect()));
  }
}

TPointImage::TPointImage(QWidget *parent) : QLabel(parent) { setScaledContents(true); }

void TPointImage::mousePressEvent(QMouseEvent *event) {
  if (FLabel && FLabel->OnMouseDown) FLabel->OnMouseDown(FLabel, event->button(), event->modifiers());
  event->accept();
}

void TPointImage::SetPicture(const QPixmap &picture) { setPixmap(picture); }

void TPointImage::Clear() { setPixmap(QPixmap()); }

bool TPointImage::IsEmpty() const { return pixmap().isNull(); }

TPointLabel::TPointLabel(QWidget *parent, int pointNumber) : QLabel(parent), FPointNumber(pointNumber) {
  setAlignment(Qt::AlignCenter);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, BoardColor());
  setPalette(pal);
  SetTransparent(true);
}

void TPointLabel::SetTransparent(bool transparent) {
  if (FOpaque == !transparent) return;
  FOpaque = !transparent;
  update();
}

QRect TPointLabel::PatchRect() const {
  if (!FOpaque || text().trimmed().isEmpty()) return {};
  const QFontMetrics fm(font());
  const QRect textRect = fm.boundingRect(rect(), static_cast<int>(alignment()), text());
  return textRect.adjusted(-1, 0, 1, 0).intersected(rect());
}

void TPointLabel::paintEvent(QPaintEvent *) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  const QString t = text();
  if (t == QStringLiteral("*")) {
    // A dead stone: a red cross over the stone, outlined in white so it shows on both colours.
    const QPointF c = QRectF(rect()).center();
    const qreal r = 5.5;
    for (const auto &[color, width] : {std::pair{QColor(Qt::white), 4.5}, std::pair{QColor(220, 0, 0), 2.5}}) {
      p.setPen(QPen(color, width, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(c + QPointF(-r, -r), c + QPointF(r, r));
      p.drawLine(c + QPointF(-r, r), c + QPointF(r, -r));
    }
    return;
  }
  if (FOpaque) p.fillRect(PatchRect(), BoardColor());
  p.setPen(FontColor());
  p.setFont(font());
  p.drawText(rect(), static_cast<int>(alignment()), t);
}

void TPointLabel::SetFontColor(const QColor &color) {
  QPalette pal = palette();
  pal.setColor(QPalette::WindowText, color);
  setPalette(pal);
}

QColor TPointLabel::FontColor() const { return palette().color(QPalette::WindowText); }

void TPointLabel::SetBold(bool bold) {
  QFont f = font();
  f.setBold(bold);
  setFont(f);
}

void TPointLabel::mousePressEvent(QMouseEvent *event) {
  if (OnMouseDown) OnMouseDown(this, event->button(), event->modifiers());
  event->accept();
}

QPixmap LoadStonePicture(const QString &file, qreal devicePixelRatio) {
  const QString name = QFileInfo(file).fileName();
  if (!QFile::exists(file))
    throw EMediaError(QStringLiteral("石の画像「%1」が見つかりません。\n%2").arg(name, file));
  if (devicePixelRatio <= 0) devicePixelRatio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
  // The sharpest picture the screen can use: 3x for more than 200 %, 2x above 100 %.
  for (int scale : {3, 2}) {
    if (devicePixelRatio <= scale - 1) continue;
    const QFileInfo base(file);
    const QString sharper = base.path() + QLatin1Char('/') + base.completeBaseName() + QStringLiteral("@%1x.").arg(scale) +
                            base.suffix();
    QImage image(sharper);
    if (image.isNull()) continue;
    QPixmap picture = QPixmap::fromImage(image);
    picture.setDevicePixelRatio(scale);
    return picture;
  }
  QImage image(file);
  if (image.isNull())
    throw EMediaError(QStringLiteral("石の画像「%1」を読み込めません。\n%2").arg(name, file));
  if (!image.hasAlphaChannel()) {
    const QRgb key = image.pixel(0, image.height() - 1);
    image = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
      auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
      for (int x = 0; x < image.width(); ++x)
        if ((line[x] & 0xFFFFFF) == (key & 0xFFFFFF)) line[x] = 0;
    }
  }
  return QPixmap::fromImage(image);
}

}  // namespace miretoka
