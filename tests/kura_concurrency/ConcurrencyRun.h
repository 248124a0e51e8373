#pragma once
// Several processes writing and reading the same Kura tables at once, each reader checking
// every result it gets against invariants that hold in every committed state:
//
//   acct(id, grp, bal; primary key id; index ByGrp on grp)
//     - ids 1..20 are never deleted: every full read lists each exactly once;
//     - balances move only by transfers made in transactions, and the extra rows writers insert
//       and delete carry balance 0: the sum of all balances is always 20 * 100;
//     - grp = id mod 4 for the fixed ids: a read through the index on grp lists exactly those;
//   cnt(id, v; primary key id)
//     - rows 1 and 2 always exist; v of row 1 only grows (writers add 1), so no reader may see
//       it fall back.
//
// Writers run transfers (START TRANSACTION; two UPDATEs; COMMIT), counter updates, and inserts
// and deletes of their own extra rows. Readers run SELECT *, COUNT(*), SUM and index-served
// WHERE queries. After the run the final state is checked against what the writers report
// (the counter equals the sum of their committed increments, the extra rows left are theirs).
#include <cstdint>
#include <string>
#include <vector>

namespace kura::concurrency {

struct TRunOptions {
  std::string Directory;  // an empty directory for the tables (and the processes' private dirs)
  int Writers = 2;
  int Readers = 2;
  double Seconds = 2.0;       // each process stops starting statements after this long
  int64_t MaxStatements = -1; // per process; -1 = no limit
};

struct TRunStats {
  int64_t Reads = 0;          // checked SELECT results
  int64_t Inconsistent = 0;   // results that broke an invariant
  int64_t ReadErrors = 0;     // SELECTs that failed
  int64_t Writes = 0;         // committed writer units (statements or transactions)
  int64_t WritesRefused = 0;  // writer units refused by a lock held too long (then retried)
  int64_t WriteErrors = 0;    // writer failures of any other kind
  int64_t FinalProblems = 0;  // breaches found in the final state
  int ProcessFailures = 0;    // processes that did not end normally
  std::vector<std::string> Problems;  // the first few breaches, described
};

// Creates the tables, forks the processes, waits for them and checks the final state. Must be
// called while the engine is stopped in this process (the children start their own).
TRunStats RunConcurrency(const TRunOptions &options);

std::string Describe(const TRunStats &stats);

}  // namespace kura::concurrency
