// stB.bmp and stW.bmp: 28 x 28 BMPs with alpha that look right on the board colour.
#include <gtest/gtest.h>

#include <QColor>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QtEndian>
#include <cmath>

namespace {
const QColor kBoardColour(254, 231, 182);

QString BinFile(const char *name) { return QStringLiteral(MIRETOKA_BIN_DIR "/") + QLatin1String(name); }

QByteArray ReadAll(const QString &path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

quint32 U32(const QByteArray &b, int at) { return qFromLittleEndian<quint32>(b.constData() + at); }
quint16 U16(const QByteArray &b, int at) { return qFromLittleEndian<quint16>(b.constData() + at); }

double Luma(QRgb px) { return 0.299 * qRed(px) + 0.587 * qGreen(px) + 0.114 * qBlue(px); }

// Mean brightness of the opaque pixels in a square of the picture.
double MeanLuma(const QImage &img, int x0, int y0, int side) {
  double sum = 0;
  int n = 0;
  for (int y = y0; y < y0 + side; ++y)
    for (int x = x0; x < x0 + side; ++x)
      if (qAlpha(img.pixel(x, y)) == 255) {
        sum += Luma(img.pixel(x, y));
        ++n;
      }
  return n ? sum / n : -1;
}

class StonePicture : public ::testing::TestWithParam<const char *> {
 protected:
  QString path() const { return BinFile(GetParam()); }
  bool isBlack() const { return QLatin1String(GetParam()) == QLatin1String("stB.bmp"); }
};
}  // namespace

TEST_P(StonePicture, IsA32BitBmpWithAnAlphaMask) {
  const QByteArray b = ReadAll(path());
  ASSERT_GE(b.size(), 14 + 108);
  EXPECT_EQ(b.left(2), "BM");
  EXPECT_EQ(U32(b, 2), quint32(b.size()));
  const quint32 offset = U32(b, 10);
  const quint32 headerSize = U32(b, 14);
  EXPECT_GE(headerSize, 108u);  // a version-4 or later header, the first with an alpha mask
  EXPECT_EQ(qint32(U32(b, 18)), 28);
  EXPECT_EQ(qint32(U32(b, 22)), 28);
  EXPECT_EQ(U16(b, 28), 32);
  EXPECT_EQ(U32(b, 30), 3u);  // bit fields
  EXPECT_EQ(U32(b, 54), 0x00FF0000u);  // red mask
  EXPECT_EQ(U32(b, 58), 0x0000FF00u);
  EXPECT_EQ(U32(b, 62), 0x000000FFu);
  EXPECT_EQ(U32(b, 66), 0xFF000000u);
  EXPECT_EQ(quint32(b.size()), offset + 28u * 28u * 4u);
}

TEST_P(StonePicture, LoadsWithTransparentCornersAndAnOpaqueMiddle) {
  QImage img;
  ASSERT_TRUE(img.load(path())) << path().toStdString();
  EXPECT_EQ(img.size(), QSize(28, 28));
  ASSERT_TRUE(img.hasAlphaChannel());
  // Each corner region outside the disc is fully transparent.
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3 - y; ++x)
      for (QPoint p : {QPoint(x, y), QPoint(27 - x, y), QPoint(x, 27 - y), QPoint(27 - x, 27 - y)})
        EXPECT_EQ(qAlpha(img.pixel(p)), 0) << p.x() << "," << p.y();
  for (int y = 6; y < 22; ++y)
    for (int x = 6; x < 22; ++x) EXPECT_EQ(qAlpha(img.pixel(x, y)), 255) << x << "," << y;
}

TEST_P(StonePicture, PixmapKeepsTheTransparency) {
  // The board shows stones as pixmaps; the alpha must survive the conversion.
  QPixmap pixmap;
  ASSERT_TRUE(pixmap.load(path()));
  EXPECT_TRUE(pixmap.hasAlphaChannel());
  const QImage back = pixmap.toImage();
  EXPECT_EQ(qAlpha(back.pixel(0, 0)), 0);
  EXPECT_EQ(qAlpha(back.pixel(14, 14)), 255);
}

TEST_P(StonePicture, EdgesAreAntiAliasedAndTheStoneIsRoundAndCentred) {
  QImage img;
  ASSERT_TRUE(img.load(path()));
  int partial = 0;
  double sumX = 0, sumY = 0, sumA = 0;
  for (int y = 0; y < 28; ++y)
    for (int x = 0; x < 28; ++x) {
      const int a = qAlpha(img.pixel(x, y));
      if (a > 0 && a < 255) ++partial;
      sumX += a * (x + 0.5);
      sumY += a * (y + 0.5);
      sumA += a;
    }
  EXPECT_GE(partial, 40);  // a soft rim all round, not a jagged edge
  // The weight lies at the crossing in the middle of the cell; the contact shadow may pull
  // it a little towards the lower right.
  EXPECT_NEAR(sumX / sumA, 14.0, 0.6);
  EXPECT_NEAR(sumY / sumA, 14.0, 0.6);
  // Coverage of a disc of radius about 13 px.
  EXPECT_NEAR(sumA / 255.0, M_PI * 13.0 * 13.0, 60.0);
  // Along the middle row the stone reaches close to both sides of the cell.
  EXPECT_GT(qAlpha(img.pixel(1, 14)), 128);
  EXPECT_GT(qAlpha(img.pixel(26, 14)), 128);
}

TEST_P(StonePicture, IsShadedLitFromTheUpperLeft) {
  QImage img;
  ASSERT_TRUE(img.load(path()));
  const double upperLeft = MeanLuma(img, 6, 6, 6);
  const double lowerRight = MeanLuma(img, 16, 16, 6);
  EXPECT_GT(upperLeft, lowerRight + 15) << upperLeft << " vs " << lowerRight;
  const double middle = MeanLuma(img, 10, 10, 8);
  if (isBlack())
    EXPECT_LT(middle, 90);
  else
    EXPECT_GT(middle, 200);
}

TEST_P(StonePicture, OnTheBoardColourTheCornersShowTheBoardAndTheStoneStandsOut) {
  QImage img;
  ASSERT_TRUE(img.load(path()));
  QImage board(28, 28, QImage::Format_RGB32);
  board.fill(kBoardColour);
  QPainter p(&board);
  p.drawImage(0, 0, img);
  p.end();
  EXPECT_EQ(QColor(board.pixel(0, 0)), kBoardColour);
  EXPECT_EQ(QColor(board.pixel(27, 27)), kBoardColour);
  // In every direction the stone's outline differs clearly from the board, so a white
  // stone does not melt into the pale wood on its lit side.
  auto distance = [](QRgb a, const QColor &b) {
    return std::hypot(qRed(a) - b.red(), qGreen(a) - b.green(), qBlue(a) - b.blue());
  };
  for (int degrees = 0; degrees < 360; degrees += 45) {
    double strongest = 0;
    for (double r = 10.5; r <= 13.5; r += 0.5) {
      const int x = int(14 + r * std::cos(degrees * M_PI / 180));
      const int y = int(14 + r * std::sin(degrees * M_PI / 180));
      strongest = std::max(strongest, distance(board.pixel(x, y), kBoardColour));
    }
    EXPECT_GT(strongest, 45) << "direction " << degrees;
  }
}

INSTANTIATE_TEST_SUITE_P(BothColours, StonePicture, ::testing::Values("stB.bmp", "stW.bmp"),
                         [](const auto &info) { return QLatin1String(info.param) == QLatin1String("stB.bmp") ? std::string("Black") : std::string("White"); });
