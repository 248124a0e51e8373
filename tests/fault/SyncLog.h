#pragma once
// The log of changes and syncs the fault injector writes (KURA_FAULT_LOG / KURA_FAULT_DATA), and
// two uses of it: checking the order of writes and syncs of a run whose commits are to survive
// a power loss, and building what the disk would hold after a power loss at some moment of it.
#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace kura::faulttest {

struct TSyncEvent {
  char Op = 0;            // W T A C R U S (see FaultInjector.c)
  std::string Name, To;   // names relative to the directory; "-" for a path outside it
  int64_t Offset = 0;     // W: offset; T, A: size
  int64_t Length = 0;     // W
  int64_t DataAt = -1;    // W: where the bytes lie in the data file
};

std::vector<TSyncEvent> ReadSyncLog(const std::filesystem::path &log);

// The breaches of the rules that make a commit survive a power loss:
//  - a table file (.DAT .IDX .BLB) that existed before the run is only written while its
//    table's journal holds a unit that was synced, with the journal's directory entry;
//  - the journal's mark is cleared only after every table file written under it was synced;
//  - no table file is written while a commit record (.TXN) is not synced with its directory
//    entry, and no commit record is removed before the journals cleared under it were synced;
//  - a file only takes a table file's name by a rename once it was synced in the directory,
//    with the swap's plan (.MOV) synced with its directory entry;
//  - at the end every table file written is synced and every table file or journal made,
//    renamed or removed is followed by a sync of the directory.
std::vector<std::string> SyncOrderBreaches(const std::vector<TSyncEvent> &events);

// What the directory holds after a power loss just before events[cut] (cut == size: after the
// run): start holds the files before the run, data the injector's data file, final the
// directory after the run (the source of files renamed in from outside it). Only what was
// synced survives; with tableWritesSurvive, writes and size changes of table files that were
// not synced survive as well (the disk wrote them back on its own, the journal's not).
void BuildPowerLossImage(const std::vector<TSyncEvent> &events, size_t cut, const std::filesystem::path &start,
                         const std::filesystem::path &data, const std::filesystem::path &final,
                         const std::filesystem::path &out, bool tableWritesSurvive);

}  // namespace kura::faulttest
