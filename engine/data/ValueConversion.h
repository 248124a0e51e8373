#pragma once
// The general conversion of one stored field value to another type (restructuring, CAST).
#include <cstddef>
#include <cstdint>

#include "engine/data/FieldTypes.h"

namespace kura {

// Converts the source's stored data bytes (srcSize bytes; a String is its zero-terminated
// text) into the target's data bytes (dstSize bytes, dstScale decimal places for BCD). On
// failure the target holds the zero of its type (empty text, 0, the day 1899-12-30 for Date
// and TimeStamp, midnight for Time) and false is returned.
bool ConvertFieldValue(EngineFieldType srcType, size_t srcSize, const uint8_t *src, EngineFieldType dstType,
                       size_t dstSize, int dstScale, uint8_t *dst);

}  // namespace kura
