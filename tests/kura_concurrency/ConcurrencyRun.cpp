// The processes of a concurrency run: set-up, writers, readers, and the final check.
#include "tests/kura_concurrency/ConcurrencyRun.h"

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "engine/blob/BlobFile.h"
#include "engine/errors/EngineError.h"
#include "engine/errors/ErrorCodes.h"
#include "engine/index/IndexFile.h"
#include "engine/table/DataSession.h"
#include "engine/table/Engine.h"
#include "query/run/SqlRunner.h"

namespace kura::concurrency {
namespace {

constexpr int kFixedRows = 20;
constexpr int64_t kStartBalance = 100;
constexpr int64_t kTotal = kFixedRows * kStartBalance;
constexpr size_t kProblemsKept = 8;

using TClock = std::chrono::steady_clock;

// Each writer keeps a batch of memos long enough that writing them in a transaction sends their
// blocks to the table's journal before the commit (more than the blob cache holds).
constexpr int kNotesPerBatch = 6;
std::string NoteBody(int64_t id) { return std::to_string(id) + std::string(6000, static_cast<char>('a' + id % 26)); }

int64_t AsInt(const TExpValue &v) {
  if (v.Null) return 0;
  if (v.Int != 0) return v.Int;
  return static_cast<int64_t>(std::llround(v.Float));
}

// One process's engine: its own session state and private directory.
class TProcessEngine {
 public:
  TProcessEngine(const std::string &database, const std::string &privateDir) {
    StartEngine();
    InstallIndexFiles();
    InstallBlobFiles();
    std::filesystem::create_directories(privateDir);
    DefaultSession().SetPrivateDir(privateDir);
    FRunner = std::make_unique<TSqlRunner>(DefaultSession(), database);
  }
  ~TProcessEngine() {
    FRunner.reset();
    StopEngine();
  }
  TSqlRunner &Runner() { return *FRunner; }
  // The rows of a SELECT.
  std::vector<std::vector<TExpValue>> Rows(const std::string &sql) {
    TRunResult run = FRunner->Run(sql);
    std::vector<std::vector<TExpValue>> rows;
    if (!run.Select) return rows;
    for (int64_t r = 0; r < run.Select->RowCount(); ++r) rows.push_back(run.Select->Row(r));
    return rows;
  }

 private:
  std::unique_ptr<TSqlRunner> FRunner;
};

bool Refusal(uint16_t code) { return code == KURA_LOCKTIMEOUT || code == KURA_RECLOCKFAILED; }

struct TProcessReport {
  TRunStats Stats;
  int64_t CounterAdded = 0;     // writers: committed increments of cnt row 1
  std::set<int64_t> ExtraLeft;  // writers: their extra acct rows still there at the end
};

void Note(TRunStats &stats, const std::string &problem) {
  if (stats.Problems.size() < kProblemsKept) stats.Problems.push_back(problem);
}

// ---- Writers --------------------------------------------------------------------------------

void RunWriter(int number, const TRunOptions &options, TProcessReport &report) {
  TProcessEngine engine(options.Directory, options.Directory + "/private-w" + std::to_string(number));
  std::mt19937 random(static_cast<unsigned>(number * 7919 + 1));
  const auto deadline = TClock::now() + std::chrono::duration<double>(options.Seconds);
  int64_t nextExtra = 1000 + static_cast<int64_t>(number) * 1000000;
  std::vector<int64_t> extras;
  TRunStats &stats = report.Stats;
  for (int64_t done = 0; TClock::now() < deadline && (options.MaxStatements < 0 || done < options.MaxStatements);
       ++done) {
    const int kind = static_cast<int>(random() % 5);
    std::string sql;
    int64_t inserted = 0, deleted = 0;
    if (kind == 0) {
      const int a = static_cast<int>(random() % kFixedRows) + 1;
      int b = static_cast<int>(random() % kFixedRows) + 1;
      if (b == a) b = a % kFixedRows + 1;
      const int amount = static_cast<int>(random() % 9) + 1;
      sql = "START TRANSACTION; UPDATE acct SET bal = bal - " + std::to_string(amount) + " WHERE id = " +
            std::to_string(a) + "; UPDATE acct SET bal = bal + " + std::to_string(amount) +
            " WHERE id = " + std::to_string(b) + "; COMMIT;";
    } else if (kind == 1) {
      sql = "UPDATE cnt SET v = v + 1 WHERE id = 1;";
    } else if (kind == 4) {
      // The writer's batch of memos replaced by a new one, all or nothing.
      sql = "START TRANSACTION; DELETE FROM notes WHERE n = " + std::to_string(number) + ";";
      for (int i = 0; i < kNotesPerBatch; ++i) {
        const int64_t id = nextExtra++;
        sql += " INSERT INTO notes (id, n, body) VALUES (" + std::to_string(id) + ", " + std::to_string(number) +
               ", '" + NoteBody(id) + "');";
      }
      sql += " COMMIT;";
    } else if (kind == 2 || extras.empty()) {
      inserted = nextExtra++;
      sql = "INSERT INTO acct (id, grp, bal) VALUES (" + std::to_string(inserted) + ", 9, 0);";
    } else {
      const size_t i = random() % extras.size();
      deleted = extras[i];
      sql = "DELETE FROM acct WHERE id = " + std::to_string(deleted) + ";";
    }
    try {
      engine.Runner().Run(sql);
      ++stats.Writes;
      if (kind == 1) ++report.CounterAdded;
      if (inserted) extras.push_back(inserted);
      if (deleted) extras.erase(std::find(extras.begin(), extras.end(), deleted));
    } catch (const std::exception &e) {
      const uint16_t code = ErrorCodeOf(e);
      try {
        engine.Runner().Run("ROLLBACK;");
      } catch (...) {
      }
      if (Refusal(code)) {
        ++stats.WritesRefused;
      } else {
        ++stats.WriteErrors;
        Note(stats, "writer " + std::to_string(number) + ": " + sql + " -> " + e.what());
      }
    }
  }
  report.ExtraLeft.insert(extras.begin(), extras.end());
}

// ---- Readers --------------------------------------------------------------------------------

class TReader {
 public:
  TReader(int number, TProcessEngine &engine, TRunStats &stats) : FNumber(number), FEngine(engine), FStats(stats) {}

  void ReadOnce(int kind) {
    std::string sql;
    std::string problem;
    try {
      switch (kind) {
        case 0: sql = "SELECT * FROM acct"; problem = CheckFull(FEngine.Rows(sql)); break;
        case 1: sql = "SELECT COUNT(*) FROM acct WHERE id <= 20"; problem = CheckCount(FEngine.Rows(sql)); break;
        case 2: sql = "SELECT SUM(bal) FROM acct"; problem = CheckSum(FEngine.Rows(sql)); break;
        case 3: sql = "SELECT id, bal FROM acct WHERE grp = 1"; problem = CheckGroup(FEngine.Rows(sql)); break;
        case 4: sql = "SELECT * FROM cnt"; problem = CheckCounter(FEngine.Rows(sql)); break;
        case 5: sql = "SELECT id FROM acct WHERE id BETWEEN 5 AND 14 ORDER BY id"; problem = CheckRange(FEngine.Rows(sql)); break;
        default: sql = "SELECT id, n, body FROM notes"; problem = CheckNotes(FEngine.Rows(sql)); break;
      }
    } catch (const std::exception &e) {
      ++FStats.ReadErrors;
      Note(FStats, "reader " + std::to_string(FNumber) + ": " + sql + " -> " + e.what());
      return;
    }
    ++FStats.Reads;
    if (!problem.empty()) {
      ++FStats.Inconsistent;
      Note(FStats, "reader " + std::to_string(FNumber) + ": " + sql + " -> " + problem);
    }
  }

 private:
  using TRows = std::vector<std::vector<TExpValue>>;

  // Every fixed id once, no id twice, balances summing to the total.
  static std::string CheckFull(const TRows &rows) {
    std::map<int64_t, int> seen;
    int64_t sum = 0;
    for (const auto &row : rows) {
      if (row.size() != 3) return "a row of " + std::to_string(row.size()) + " columns";
      ++seen[AsInt(row[0])];
      sum += AsInt(row[2]);
    }
    for (const auto &[id, times] : seen)
      if (times != 1) return "id " + std::to_string(id) + " listed " + std::to_string(times) + " times";
    for (int id = 1; id <= kFixedRows; ++id)
      if (!seen.count(id)) return "id " + std::to_string(id) + " missing from " + std::to_string(rows.size()) + " rows";
    if (sum != kTotal) return "balances sum to " + std::to_string(sum);
    return {};
  }
  static std::string CheckCount(const TRows &rows) {
    if (rows.size() != 1 || AsInt(rows[0][0]) != kFixedRows)
      return "count " + (rows.empty() ? std::string("missing") : std::to_string(AsInt(rows[0][0])));
    return {};
  }
  static std::string CheckSum(const TRows &rows) {
    if (rows.size() != 1 || AsInt(rows[0][0]) != kTotal)
      return "sum " + (rows.empty() ? std::string("missing") : std::to_string(AsInt(rows[0][0])));
    return {};
  }
  static std::string CheckGroup(const TRows &rows) {
    std::multiset<int64_t> ids;
    for (const auto &row : rows) ids.insert(AsInt(row[0]));
    const std::multiset<int64_t> expected{1, 5, 9, 13, 17};
    if (ids != expected) return "group 1 lists " + std::to_string(ids.size()) + " rows, not ids 1 5 9 13 17";
    return {};
  }
  static std::string CheckRange(const TRows &rows) {
    std::vector<int64_t> ids;
    for (const auto &row : rows) ids.push_back(AsInt(row[0]));
    std::vector<int64_t> expected;
    for (int id = 5; id <= 14; ++id) expected.push_back(id);
    if (ids != expected) return "range lists " + std::to_string(ids.size()) + " rows, not ids 5..14 in order";
    return {};
  }
  // Every writer's batch whole or absent, every memo as it was written.
 public:
  static std::string CheckNotes(const TRows &rows) {
    std::map<int64_t, int> batches;
    for (const auto &row : rows) {
      if (row.size() != 3) return "a note of " + std::to_string(row.size()) + " columns";
      const int64_t id = AsInt(row[0]);
      ++batches[AsInt(row[1])];
      if (row[2].Null || row[2].Str != NoteBody(id)) return "note " + std::to_string(id) + " does not hold what was written";
    }
    for (const auto &[writer, count] : batches)
      if (count != kNotesPerBatch) return "writer " + std::to_string(writer) + " has " + std::to_string(count) + " notes";
    return {};
  }

 private:
  std::string CheckCounter(const TRows &rows) {
    std::map<int64_t, int64_t> values;
    for (const auto &row : rows) values[AsInt(row[0])] = AsInt(row[1]);
    if (rows.size() != 2 || !values.count(1) || !values.count(2))
      return "cnt lists " + std::to_string(rows.size()) + " rows, not rows 1 and 2";
    if (values[1] < FLastCounter)
      return "counter fell from " + std::to_string(FLastCounter) + " to " + std::to_string(values[1]);
    FLastCounter = values[1];
    return {};
  }

  int FNumber;
  TProcessEngine &FEngine;
  TRunStats &FStats;
  int64_t FLastCounter = 0;
};

void RunReader(int number, const TRunOptions &options, TProcessReport &report) {
  TProcessEngine engine(options.Directory, options.Directory + "/private-r" + std::to_string(number));
  TReader reader(number, engine, report.Stats);
  const auto deadline = TClock::now() + std::chrono::duration<double>(options.Seconds);
  for (int64_t done = 0; TClock::now() < deadline && (options.MaxStatements < 0 || done < options.MaxStatements);
       ++done)
    reader.ReadOnce(static_cast<int>((done + number) % 7));
}

// ---- Reports between processes (a small text file per process) -----------------------------

void WriteReport(const std::string &path, const TProcessReport &report) {
  std::ofstream out(path);
  const TRunStats &s = report.Stats;
  out << s.Reads << ' ' << s.Inconsistent << ' ' << s.ReadErrors << ' ' << s.Writes << ' ' << s.WritesRefused << ' '
      << s.WriteErrors << ' ' << report.CounterAdded << ' ' << report.ExtraLeft.size();
  for (int64_t id : report.ExtraLeft) out << ' ' << id;
  out << '\n';
  for (const std::string &p : s.Problems) out << p << '\n';
}

bool ReadReport(const std::string &path, TProcessReport &report) {
  std::ifstream in(path);
  TRunStats &s = report.Stats;
  size_t extras = 0;
  if (!(in >> s.Reads >> s.Inconsistent >> s.ReadErrors >> s.Writes >> s.WritesRefused >> s.WriteErrors >>
        report.CounterAdded >> extras))
    return false;
  for (size_t i = 0; i < extras; ++i) {
    int64_t id = 0;
    if (!(in >> id)) return false;
    report.ExtraLeft.insert(id);
  }
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line))
    if (!line.empty()) s.Problems.push_back(line);
  return true;
}

void CreateTables(const std::string &directory) {
  TProcessEngine engine(directory, directory + "/private-setup");
  std::string sql =
      "CREATE TABLE acct (id INTEGER, grp INTEGER, bal INTEGER, PRIMARY KEY (id));"
      "CREATE INDEX ByGrp ON acct (grp);"
      "CREATE TABLE cnt (id INTEGER, v INTEGER, PRIMARY KEY (id));"
      "CREATE TABLE notes (id INTEGER, n INTEGER, body MEMO, PRIMARY KEY (id));"
      "INSERT INTO cnt (id, v) VALUES (1, 0); INSERT INTO cnt (id, v) VALUES (2, 0);";
  for (int id = 1; id <= kFixedRows; ++id)
    sql += "INSERT INTO acct (id, grp, bal) VALUES (" + std::to_string(id) + ", " + std::to_string(id % 4) + ", " +
           std::to_string(kStartBalance) + ");";
  engine.Runner().Run(sql);
}

void CheckFinalState(const std::string &directory, int64_t counterAdded, const std::set<int64_t> &extraLeft,
                     TRunStats &stats) {
  TProcessEngine engine(directory, directory + "/private-check");
  auto fail = [&](const std::string &what) {
    ++stats.FinalProblems;
    Note(stats, "final state: " + what);
  };
  const auto counter = engine.Rows("SELECT v FROM cnt WHERE id = 1");
  if (counter.size() != 1 || AsInt(counter[0][0]) != counterAdded)
    fail("counter " + (counter.empty() ? std::string("missing") : std::to_string(AsInt(counter[0][0]))) +
         ", writers committed " + std::to_string(counterAdded) + " increments");
  std::set<int64_t> extras;
  int64_t sum = 0;
  int fixed = 0;
  for (const auto &row : engine.Rows("SELECT id, bal FROM acct")) {
    const int64_t id = AsInt(row[0]);
    sum += AsInt(row[1]);
    if (id >= 1 && id <= kFixedRows) ++fixed;
    else extras.insert(id);
  }
  if (fixed != kFixedRows) fail(std::to_string(fixed) + " fixed rows");
  if (sum != kTotal) fail("balances sum to " + std::to_string(sum));
  if (extras != extraLeft)
    fail(std::to_string(extras.size()) + " extra rows, writers left " + std::to_string(extraLeft.size()));
  const std::string notes = TReader::CheckNotes(engine.Rows("SELECT id, n, body FROM notes"));
  if (!notes.empty()) fail(notes);
  // Reads through the indexes agree with the scan.
  const auto byIndex = engine.Rows("SELECT COUNT(*) FROM acct WHERE grp = 9");
  if (byIndex.size() != 1 || AsInt(byIndex[0][0]) != static_cast<int64_t>(extras.size()))
    fail("index on grp counts " + (byIndex.empty() ? std::string("nothing") : std::to_string(AsInt(byIndex[0][0]))) +
         " extra rows");
}

}  // namespace

TRunStats RunConcurrency(const TRunOptions &options) {
  TRunStats total;
  CreateTables(options.Directory);
  struct TProcess {
    pid_t Pid;
    std::string ReportPath;
  };
  std::vector<TProcess> processes;
  const int count = options.Writers + options.Readers;
  for (int i = 0; i < count; ++i) {
    const bool writer = i < options.Writers;
    const int number = writer ? i : i - options.Writers;
    const std::string path = options.Directory + "/report-" + (writer ? "w" : "r") + std::to_string(number);
    const pid_t pid = fork();
    if (pid == 0) {
      int status = 0;
      try {
        TProcessReport report;
        if (writer) RunWriter(number, options, report);
        else RunReader(number, options, report);
        WriteReport(path, report);
      } catch (const std::exception &e) {
        std::fprintf(stderr, "process %s%d: %s\n", writer ? "w" : "r", number, e.what());
        status = 3;
      }
      _exit(status);
    }
    if (pid < 0) {
      ++total.ProcessFailures;
      continue;
    }
    processes.push_back({pid, path});
  }
  int64_t counterAdded = 0;
  std::set<int64_t> extraLeft;
  for (const TProcess &p : processes) {
    int status = 0;
    waitpid(p.Pid, &status, 0);
    TProcessReport report;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || !ReadReport(p.ReportPath, report)) {
      ++total.ProcessFailures;
      continue;
    }
    const TRunStats &s = report.Stats;
    total.Reads += s.Reads;
    total.Inconsistent += s.Inconsistent;
    total.ReadErrors += s.ReadErrors;
    total.Writes += s.Writes;
    total.WritesRefused += s.WritesRefused;
    total.WriteErrors += s.WriteErrors;
    counterAdded += report.CounterAdded;
    extraLeft.insert(report.ExtraLeft.begin(), report.ExtraLeft.end());
    for (const std::string &problem : s.Problems) Note(total, problem);
  }
  CheckFinalState(options.Directory, counterAdded, extraLeft, total);
  return total;
}

std::string Describe(const TRunStats &s) {
  std::ostringstream out;
  out << "reads " << s.Reads << ", inconsistent " << s.Inconsistent << ", read errors " << s.ReadErrors
      << "; writes " << s.Writes << ", refused " << s.WritesRefused << ", write errors " << s.WriteErrors
      << "; final-state problems " << s.FinalProblems << "; failed processes " << s.ProcessFailures;
  for (const std::string &p : s.Problems) out << "\n  " << p;
  return out.str();
}

}  // namespace kura::concurrency
