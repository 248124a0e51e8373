#pragma once
// The whole value of one blob a cursor has open.
#include <cstdint>
#include <vector>

namespace kura {

struct TBlobBuffer {
  int32_t Handle = 0;        // the cursor's number for it; its record buffer holds -Handle
  uint16_t FieldNumber = 0;
  int32_t FirstBlock = 0;    // the reference the value was read from (or last written to)
  int32_t ChangeNumber = 0;
  int OpenCount = 0;
  bool Modified = false;
  std::vector<uint8_t> Value;          // the value's bytes; its size is the value's length
  std::vector<uint8_t> OriginalValue;  // the value as read, kept once the value is modified

  // The value as read from the table, whether or not it was changed since.
  const std::vector<uint8_t> &ValueAsRead() const { return Modified ? OriginalValue : Value; }
  // Keeps the value as read before the first change.
  void BeginChange() {
    if (!Modified) {
      OriginalValue = Value;
      Modified = true;
    }
  }
};

}  // namespace kura
