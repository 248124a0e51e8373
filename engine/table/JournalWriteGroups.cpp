// Groups a unit's writes into few spans per file (see the header for why the result is the same).
#include "engine/table/JournalWriteGroups.h"

#include <algorithm>

namespace kura {

namespace {

// The writes [from, to) of one stretch without cuts, of every file, as groups (unordered).
void GroupStretch(const std::vector<TJournalWrite> &writes, size_t from, size_t to,
                  const std::array<int64_t, 3> &sizes, const TJournalWriteLimits &limits,
                  std::vector<TJournalWriteGroup> &groups) {
  for (uint8_t file = 0; file < 3; ++file) {
    std::vector<size_t> members;
    for (size_t i = from; i < to; ++i)
      if (writes[i].File == file) members.push_back(i);
    if (members.empty()) continue;
    // By offset; writes at the same offset keep the unit's order (it decides nothing here, the
    // members are laid in the unit's order anyway).
    std::stable_sort(members.begin(), members.end(),
                     [&](size_t a, size_t b) { return writes[a].Offset < writes[b].Offset; });
    // Bytes below this lie in the file before the stretch: only there may a gap be filled.
    const int64_t fileEnd = sizes[file];
    TJournalWriteGroup *open = nullptr;
    int64_t openEnd = 0;
    for (size_t i : members) {
      const TJournalWrite &w = writes[i];
      const int64_t end = w.Offset + w.Length;
      bool join = false;
      if (open) {
        const int64_t span = std::max(openEnd, end) - open->Offset;
        if (w.Offset < openEnd) {
          join = true;  // overlapping writes must share a group to keep their order
        } else if (w.Offset == openEnd) {
          join = span <= limits.MaxSpan;
        } else {
          join = w.Offset - openEnd <= limits.MaxGap && w.Offset <= fileEnd && span <= limits.MaxSpan;
          if (join) open->HasGaps = true;
        }
      }
      if (!join) {
        groups.emplace_back();
        open = &groups.back();
        open->File = file;
        open->Offset = w.Offset;
        openEnd = end;
      }
      open->Members.push_back(i);
      openEnd = std::max(openEnd, end);
      open->Length = openEnd - open->Offset;
      open->InFile = std::clamp<int64_t>(fileEnd - open->Offset, 0, open->Length);
    }
  }
}

}  // namespace

std::vector<TJournalWriteGroup> GroupJournalWrites(const std::vector<TJournalWrite> &writes,
                                                   std::array<int64_t, 3> sizes, const TJournalWriteLimits &limits) {
  std::vector<TJournalWriteGroup> result;
  for (size_t i = 0; i < writes.size();) {
    const TJournalWrite &w = writes[i];
    if (w.Cut) {
      TJournalWriteGroup cut;
      cut.File = w.File;
      cut.Cut = true;
      cut.Offset = w.Offset;
      cut.Members.push_back(i);
      result.push_back(std::move(cut));
      sizes[w.File] = w.Offset;
      ++i;
      continue;
    }
    size_t end = i;
    while (end < writes.size() && !writes[end].Cut) ++end;
    std::vector<TJournalWriteGroup> stretch;
    GroupStretch(writes, i, end, sizes, limits, stretch);
    for (TJournalWriteGroup &g : stretch) std::sort(g.Members.begin(), g.Members.end());
    std::sort(stretch.begin(), stretch.end(),
              [](const TJournalWriteGroup &a, const TJournalWriteGroup &b) { return a.Members.front() < b.Members.front(); });
    for (TJournalWriteGroup &g : stretch) result.push_back(std::move(g));
    for (size_t k = i; k < end; ++k) sizes[writes[k].File] = std::max(sizes[writes[k].File], writes[k].Offset + writes[k].Length);
    i = end;
  }
  return result;
}

}  // namespace kura
