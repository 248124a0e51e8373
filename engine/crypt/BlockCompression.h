#pragma once
// zlib compression of byte blocks, for compressed copies of table files and remote transfers.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kura {

// Upper bound on a decompressed block unless the caller gives its own.
inline constexpr size_t DefaultMaxUncompressedSize = size_t{1} << 30;

// The block compressed at level 9 in the zlib format. KURA_COMPRESS on any zlib failure.
std::vector<uint8_t> CompressBlock(const uint8_t *data, size_t length);

// The block decompressed. The stream must end exactly at the end of the input and produce at
// most maxOutput bytes; a damaged, truncated or oversized stream raises KURA_UNCOMPRESS.
// No length stored anywhere is trusted: the output only grows as the stream delivers bytes.
std::vector<uint8_t> DecompressBlock(const uint8_t *data, size_t length,
                                     size_t maxOutput = DefaultMaxUncompressedSize);

}  // namespace kura
