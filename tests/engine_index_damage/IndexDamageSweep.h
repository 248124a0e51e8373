#pragma once
// Bit flips in the index file of a small table, each read back in a process of its own: every
// damaged file either reads back exactly right, or is reported as damaged; what must never
// happen is a read that succeeds with rows missing, extra, or out of order.
//
// The table ("people", 300 rows): Code Integer (primary key), Name String(16), Value Integer,
// with the secondary indexes ByName (Name, uncompressed) and ByValue (Value, full key
// compression). Each damaged file is read through every index forward and backward, counted,
// and searched for some keys; the results are compared with the undamaged table's.
#include <cstdint>
#include <string>

namespace kura::indexdamage {

struct TSweepOptions {
  std::string Directory;  // an empty scratch directory
  int ByteStride = 1;     // flip one bit in every n-th byte of the used part of each tree page
  bool Checks = true;     // the structural checks on index pages (off: as the engine was before)
};

struct TSweepStats {
  int64_t Files = 0;     // damaged files read back
  int64_t Correct = 0;   // read back exactly right (the flip hit nothing that matters)
  int64_t Reported = 0;  // an engine error said the table is damaged
  int64_t Wrong = 0;     // read back without error but with wrong rows
  int64_t Crashed = 0;   // the reading process died
  std::string FirstWrong;  // which byte and bit gave the first wrong result
  std::string Undamaged;   // what the undamaged table reads as
};

// Must be called while the engine is stopped in this process.
TSweepStats RunSweep(const TSweepOptions &options);

std::string Describe(const TSweepStats &stats);

}  // namespace kura::indexdamage
