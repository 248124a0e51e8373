#pragma once
// The plan of a table's file swap, kept beside the table while the swap runs.
#include <string>
#include <vector>

namespace kura {

// A swap of a table's files that survives the death of the process doing it. Before the old
// table is touched, the whole plan (moves in order, then deletions) is written beside the
// table as "<table>.MOV"; the next open of the table carries out what is left of it. Files of
// the new table brought beside the old one beforehand are listed first in "<table>.MVS", so
// that a swap that never got its plan leaves no stray files: they are deleted.
//
// With sync (changes that must survive a power loss) the files to be moved and each list are
// synced before the list counts, and the directory after the list was written and after the
// moves.
//
// A plan found again is resumed after the last of its moves that has clearly been made (its
// source gone, its target there): every move before it was made too, and making one of those
// again would move the new table's files away.
//
// Plan layout (text, one step a line): "KURA-MOVE", then "M<tab>from<tab>to" per move and
// "D<tab>file" per deletion, then "END <number of steps>"; a plan without its END line was
// never complete and is dropped.
class TFileSwapPlan {
 public:
  TFileSwapPlan(std::string directory, std::string tableName, bool memory, bool sync = false);
  void AddMove(const std::string &from, const std::string &to) { FSteps.push_back({'M', from, to}); }
  void AddDelete(const std::string &file) { FSteps.push_back({'D', file, {}}); }
  // Lists files about to be brought beside the table (deleted if the swap never starts).
  void WriteStaging(const std::vector<std::string> &files, const std::string &errorName);
  // Writes the plan (the swap is decided), then carries it out and removes both lists.
  void Carry(const std::string &errorName);
  // The next open: finishes a decided swap, or removes the files of one that never started.
  // names: the directory's names when the caller has read them (then neither list among them
  // means there is nothing to do, without looking for each in every case of its letters).
  static void CompleteInterrupted(const std::string &directory, const std::string &tableName, bool memory,
                                  const std::vector<std::string> *names = nullptr);

 private:
  struct TStep {
    char Kind;
    std::string From, To;
  };
  static void WriteList(const std::string &file, bool memory, const std::vector<TStep> &steps, const std::string &errorName,
                        bool sync);
  static bool ReadList(const std::string &file, bool memory, std::vector<TStep> &steps);
  static void Perform(const std::vector<TStep> &steps, bool memory, const std::string &errorName, bool resuming);
  std::string FDirectory, FTable;
  bool FMemory;
  bool FSync;
  std::vector<TStep> FSteps;
};

}  // namespace kura
