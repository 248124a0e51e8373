#include "tools/make-resources/BmpWriter.h"

#include <QImage>
#include <cstdint>

namespace miretoka::resources {
namespace {
void Put16(QByteArray &out, std::uint16_t v) {
  out.append(char(v & 0xFF));
  out.append(char((v >> 8) & 0xFF));
}
void Put32(QByteArray &out, std::uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) out.append(char((v >> shift) & 0xFF));
}
constexpr std::uint32_t kFileHeaderSize = 14;
// The version-4 header is the smallest one that carries an alpha mask; readers that
// only know the 40-byte header still find the familiar fields at the same places.
constexpr std::uint32_t kInfoHeaderSize = 108;
constexpr std::uint32_t kBitFields = 3;
constexpr std::uint32_t kSrgbColourSpace = 0x73524742;  // 'sRGB'
constexpr std::uint32_t kPixelsPerMetre = 2835;         // 72 dots per inch
}  // namespace

QByteArray EncodeBmpWithAlpha(const QImage &image) {
  const QImage straight = image.convertToFormat(QImage::Format_ARGB32);
  const auto width = std::uint32_t(straight.width());
  const auto height = std::uint32_t(straight.height());
  const std::uint32_t pixelBytes = width * height * 4;  // 32-bit rows need no padding
  const std::uint32_t offset = kFileHeaderSize + kInfoHeaderSize;

  QByteArray out;
  out.reserve(int(offset + pixelBytes));
  out.append("BM", 2);
  Put32(out, offset + pixelBytes);
  Put16(out, 0);
  Put16(out, 0);
  Put32(out, offset);

  Put32(out, kInfoHeaderSize);
  Put32(out, width);
  Put32(out, height);  // positive height: bottom-up rows
  Put16(out, 1);       // planes
  Put16(out, 32);      // bits per pixel
  Put32(out, kBitFields);
  Put32(out, pixelBytes);
  Put32(out, kPixelsPerMetre);
  Put32(out, kPixelsPerMetre);
  Put32(out, 0);  // colours used
  Put32(out, 0);  // important colours
  Put32(out, 0x00FF0000);  // red mask
  Put32(out, 0x0000FF00);  // green mask
  Put32(out, 0x000000FF);  // blue mask
  Put32(out, 0xFF000000);  // alpha mask
  Put32(out, kSrgbColourSpace);
  for (int i = 0; i < 9; ++i) Put32(out, 0);  // colour-space end points (unused with sRGB)
  for (int i = 0; i < 3; ++i) Put32(out, 0);  // gamma (unused with sRGB)

  for (int y = int(height) - 1; y >= 0; --y) {
    const auto *row = reinterpret_cast<const QRgb *>(straight.constScanLine(y));
    for (std::uint32_t x = 0; x < width; ++x) {
      const QRgb px = row[x];
      out.append(char(qBlue(px)));
      out.append(char(qGreen(px)));
      out.append(char(qRed(px)));
      out.append(char(qAlpha(px)));
    }
  }
  return out;
}
}  // namespace miretoka::resources
