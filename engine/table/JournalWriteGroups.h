#pragma once
// How a journaled unit's writes reach the table files with few system calls: the writes of one
// file that lie next to each other, or close together, go as one write of the span they cover.
//
// The bytes between the members of a group (its gaps) belong to no write of the unit; they are
// filled with what the file holds there, so the span can go as a single write. This is only
// sound while nobody else can change those bytes between reading and writing them: the unit is
// applied under the table's write lock (or with the table opened alone, or by the recovery
// that holds the lock), which every writer of the table's files takes. Gaps are only filled
// inside the file as it stands before the group's part of the unit: a gap never extends a file
// and never writes where the unit would have left a hole.
//
// Cuts (a file truncated) are barriers: the writes before a cut go before it, those after it
// after it, whatever file they belong to. Between two cuts the groups of all files go in the
// order of their first member, so the write that comes first in the unit's order still comes
// first. Inside a group, members overlap only within the group (writes of one file that overlap
// always share a group) and are laid in the unit's order, so later writes win exactly as when
// every write was made on its own.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kura {

// One write of a unit in the order it is applied; Length 0 with Cut: the file is cut at Offset.
struct TJournalWrite {
  uint8_t File = 0;  // 0..2
  bool Cut = false;
  int64_t Offset = 0;
  int64_t Length = 0;
};

struct TJournalWriteGroup {
  uint8_t File = 0;
  bool Cut = false;
  int64_t Offset = 0;  // the span written (a cut: where the file is cut)
  int64_t Length = 0;
  std::vector<size_t> Members;  // indexes into the unit's writes, in the unit's order
  bool HasGaps = false;         // some bytes of the span belong to no member
  int64_t InFile = 0;           // with gaps: how many of the span's first bytes the file holds
};

struct TJournalWriteLimits {
  int64_t MaxGap = 4096;          // the largest run of file bytes filled in between two writes
  int64_t MaxSpan = 1024 * 1024;  // a group grows no further (but for writes that overlap it)
};

// The groups, in the order they are to be written. sizes: each file's size before the first
// write (files whose writes are not applied must not appear in writes).
std::vector<TJournalWriteGroup> GroupJournalWrites(const std::vector<TJournalWrite> &writes,
                                                   std::array<int64_t, 3> sizes,
                                                   const TJournalWriteLimits &limits = {});

}  // namespace kura
