// zlib compress and decompress of byte blocks.
#include "engine/crypt/BlockCompression.h"

#include <zlib.h>

#include <algorithm>
#include <climits>

#include "engine/errors/EngineError.h"

namespace kura {
namespace {

size_t RoundUp256(size_t n) { return (n + 255) / 256 * 256; }

// zlib counts in 32-bit units; blocks are fed to it in slices of at most this size.
constexpr size_t ZlibSlice = UINT_MAX / 2;

struct DeflateStream {
  z_stream Stream{};
  bool Ready = false;
  ~DeflateStream() {
    if (Ready) deflateEnd(&Stream);
  }
};

struct InflateStream {
  z_stream Stream{};
  bool Ready = false;
  ~InflateStream() {
    if (Ready) inflateEnd(&Stream);
  }
};

}  // namespace

std::vector<uint8_t> CompressBlock(const uint8_t *data, size_t length) {
  DeflateStream z;
  if (deflateInit(&z.Stream, Z_BEST_COMPRESSION) != Z_OK) RaiseEngineError(KURA_COMPRESS);
  z.Ready = true;
  std::vector<uint8_t> out(std::max<size_t>(256, RoundUp256(length + length / 10 + 12)));
  size_t consumed = 0, produced = 0;
  for (;;) {
    if (produced == out.size()) out.resize(out.size() + 256);
    const size_t inSlice = std::min(length - consumed, ZlibSlice);
    const size_t outSlice = std::min(out.size() - produced, ZlibSlice);
    z.Stream.next_in = const_cast<Bytef *>(data + consumed);
    z.Stream.avail_in = static_cast<uInt>(inSlice);
    z.Stream.next_out = out.data() + produced;
    z.Stream.avail_out = static_cast<uInt>(outSlice);
    const bool last = consumed + inSlice == length;
    const int rc = deflate(&z.Stream, last ? Z_FINISH : Z_NO_FLUSH);
    consumed += inSlice - z.Stream.avail_in;
    produced += outSlice - z.Stream.avail_out;
    if (rc == Z_STREAM_END) break;
    if (rc != Z_OK && rc != Z_BUF_ERROR) RaiseEngineError(KURA_COMPRESS);
  }
  out.resize(produced);
  return out;
}

std::vector<uint8_t> DecompressBlock(const uint8_t *data, size_t length, size_t maxOutput) {
  InflateStream z;
  if (inflateInit(&z.Stream) != Z_OK) RaiseEngineError(KURA_UNCOMPRESS);
  z.Ready = true;
  const size_t step = std::max<size_t>(256, RoundUp256(length));
  std::vector<uint8_t> out(std::min(step, std::max<size_t>(maxOutput, 1)));
  size_t consumed = 0, produced = 0;
  for (;;) {
    if (produced == out.size()) {
      // Room is exhausted and the stream has not ended: it has more to give.
      if (out.size() >= maxOutput) RaiseEngineError(KURA_UNCOMPRESS);
      out.resize(std::min(out.size() + step, maxOutput));
    }
    const size_t inSlice = std::min(length - consumed, ZlibSlice);
    const size_t outSlice = std::min(out.size() - produced, ZlibSlice);
    z.Stream.next_in = const_cast<Bytef *>(data + consumed);
    z.Stream.avail_in = static_cast<uInt>(inSlice);
    z.Stream.next_out = out.data() + produced;
    z.Stream.avail_out = static_cast<uInt>(outSlice);
    const int rc = inflate(&z.Stream, Z_NO_FLUSH);
    const size_t usedIn = inSlice - z.Stream.avail_in;
    const size_t usedOut = outSlice - z.Stream.avail_out;
    consumed += usedIn;
    produced += usedOut;
    if (rc == Z_STREAM_END) {
      // Bytes after the end of the stream mean the block is not what was compressed.
      if (consumed != length) RaiseEngineError(KURA_UNCOMPRESS);
      break;
    }
    if (rc == Z_BUF_ERROR) {
      // No progress possible: either more room is needed or the input ended early.
      if (consumed == length && z.Stream.avail_out != 0) RaiseEngineError(KURA_UNCOMPRESS);
      if (usedIn == 0 && usedOut == 0 && z.Stream.avail_out != 0) RaiseEngineError(KURA_UNCOMPRESS);
      continue;
    }
    if (rc != Z_OK) RaiseEngineError(KURA_UNCOMPRESS);
    if (usedIn == 0 && usedOut == 0 && consumed == length && z.Stream.avail_out != 0)
      RaiseEngineError(KURA_UNCOMPRESS);  // input ended before the stream did
  }
  if (produced > maxOutput) RaiseEngineError(KURA_UNCOMPRESS);
  out.resize(produced);
  return out;
}

}  // namespace kura
