// The generated SQL workload that kura-sql and the sqlite3 shell both run.
//
// Every phase is one script. The text is the same for both shells except for a few tokens that
// stand for the places where the two dialects differ; `TDialect` fills them in:
//   @BEGIN@   opens a transaction: "START TRANSACTION;" for Kura, "BEGIN;" for SQLite
//   @COMMIT@  ends it: "COMMIT;" (or "COMMIT FLUSH;" for Kura when every commit is to reach
//             the disk) for Kura, "COMMIT;" for SQLite
//   @MEMO@    the type of a long text column: MEMO for Kura, TEXT for SQLite
// A script may also get a first line of its own (PRAGMA synchronous=OFF for SQLite, .sync on
// for Kura).
//
// Both engines store a text literal written into a blob column as its bytes (SQLite keeps it as
// TEXT in a column declared BLOB, Kura writes it with PutBlob), so the 64 MB blob is one INSERT
// with a 64 MB string literal on both sides.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kura::bench {

struct TWorkloadOptions {
  int Rows = 100000;
  int Selects = 10000;       // point SELECTs on the primary key
  int KeyUpdates = 10000;    // UPDATEs by primary key
  int Memos = 10000;         // memos of 1-4 KB
  int64_t BlobBytes = 64 << 20;
  int SmallTableRows = 20000;  // the table of the 1 000 single DELETEs
  int SmallTableDeletes = 1000;
  uint32_t Seed = 20261209;
};

struct TPhase {
  std::string Name;         // short, for CSV and command lines
  std::string Title;        // what the phase does, for the table
  std::string Script;       // with the dialect tokens above
  int64_t Units = 0;        // rows or statements the phase works through (for time per unit)
  bool Ordered = false;     // the output order is part of the result (ORDER BY)
  bool Setup = false;       // prepares a later phase; measured but not a goal of its own
};

struct TDialect {
  std::string Preamble;     // first line of every script
  std::string Begin;
  std::string Commit;
  std::string MemoType;
};

std::vector<TPhase> MakeWorkload(const TWorkloadOptions &options);

// The script with the dialect tokens filled in.
std::string ForDialect(const std::string &script, const TDialect &dialect);

// Untimed queries run after the last phase: both databases must then hold the same data.
std::string EndStateQueries();

}  // namespace kura::bench
