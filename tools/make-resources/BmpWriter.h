#pragma once
// Writes a picture as an uncompressed 32-bit BMP that keeps its alpha channel.
#include <QByteArray>
class QImage;

namespace miretoka::resources {
// Encodes the image (any format; converted to straight, non-premultiplied alpha) as a BMP
// with a version-4 info header and BGRA bit fields, rows stored bottom-up.
QByteArray EncodeBmpWithAlpha(const QImage &image);
}  // namespace miretoka::resources
