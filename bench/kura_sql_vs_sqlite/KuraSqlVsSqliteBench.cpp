// The kura-sql shell against the sqlite3 shell on the same generated SQL workload. One script
// is generated, in phases:
//   create   CREATE TABLE
//   insert   N INSERT statements inside one transaction
//   index    CREATE INDEX on an integer column
//   select   10 000 point SELECTs on that indexed column
//   group    a GROUP BY over every row
//   order    an ORDER BY on a column without an index
//   update   an UPDATE of a tenth of the rows (condition on an unindexed column)
// Each phase is written to its own file and run through each shell as a separate process, on a
// Kura database directory and an SQLite database file that the phases share, with the output
// discarded. The wall time of each process is printed with the ratio Kura / SQLite.
//
// The SQL stays in what both shells accept. The only text that differs is how the insert
// transaction is opened: Kura knows START TRANSACTION and SQLite knows BEGIN; both end with
// COMMIT. Strings are never empty (Kura stores an empty string as NULL) and the GROUP BY
// aggregates are COUNT, SUM and AVG, which mean the same in both.
//
// Usage: kura_sql_vs_sqlite_bench [--rows N] [--selects N] [--kura-sql PATH] [--sqlite3 PATH]
//                                 [--keep DIR]
// Without --kura-sql the kura-sql program beside this one is used.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

struct TOptions {
  int Rows = 100000;
  int Selects = 10000;
  std::string KuraSql;
  std::string Sqlite3 = "/usr/bin/sqlite3";
  std::string Keep;  // a directory to leave the scripts and databases in
};

struct TPhase {
  std::string Name;
  std::string Script;  // with the marker line below where the transaction opens
};

// Stands for the engine's own way of opening a transaction.
const char *const kBeginMarker = "--BEGIN--";

std::string Quote(const std::string &text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') out += "'\\''";
    else out += c;
  }
  return out + "'";
}

std::vector<TPhase> MakePhases(const TOptions &options) {
  std::mt19937 random(20261209);
  const int rows = options.Rows;
  // code: a permutation of 1..rows, so that every point select finds exactly one row.
  std::vector<int> codes(rows);
  for (int i = 0; i < rows; ++i) codes[i] = i + 1;
  std::shuffle(codes.begin(), codes.end(), random);
  const char *words[] = {"hoshi", "sora", "umi", "yama", "kawa", "mori", "hana", "kaze", "tsuki", "yuki"};

  std::vector<TPhase> phases;
  phases.push_back({"create",
                    "CREATE TABLE bench (id INTEGER NOT NULL, code INTEGER, grp INTEGER, name VARCHAR(24), "
                    "val FLOAT, qty INTEGER, PRIMARY KEY (id));\n"});

  std::ostringstream insert;
  insert << kBeginMarker << "\n";
  for (int i = 0; i < rows; ++i) {
    const int grp = std::uniform_int_distribution<int>(0, 49)(random);
    const int word = std::uniform_int_distribution<int>(0, 9)(random);
    const int cents = std::uniform_int_distribution<int>(0, 9999999)(random);
    const int qty = std::uniform_int_distribution<int>(1, 1000)(random);
    insert << "INSERT INTO bench (id, code, grp, name, val, qty) VALUES (" << i + 1 << ", " << codes[i] << ", "
           << grp << ", '" << words[word] << "-" << (i * 7919) % 100003 << "', " << cents / 100 << "."
           << (cents % 100 < 10 ? "0" : "") << cents % 100 << ", " << qty << ");\n";
  }
  insert << "COMMIT;\n";
  phases.push_back({"insert", insert.str()});

  phases.push_back({"index", "CREATE INDEX bench_code ON bench (code);\n"});

  std::ostringstream select;
  for (int i = 0; i < options.Selects; ++i)
    select << "SELECT id, name, val FROM bench WHERE code = "
           << std::uniform_int_distribution<int>(1, rows)(random) << ";\n";
  phases.push_back({"select", select.str()});

  phases.push_back({"group", "SELECT grp, COUNT(*), SUM(qty), AVG(val) FROM bench GROUP BY grp;\n"});
  phases.push_back({"order", "SELECT id, name, val FROM bench ORDER BY val;\n"});
  // grp is spread evenly over 0..49: five of its values are a tenth of the rows.
  phases.push_back({"update", "UPDATE bench SET qty = qty + 1, val = val * 2 WHERE grp < 5;\n"});
  return phases;
}

std::string WithBegin(const std::string &script, const std::string &begin) {
  std::string out = script;
  const size_t at = out.find(kBeginMarker);
  if (at != std::string::npos) out.replace(at, std::string(kBeginMarker).size(), begin);
  return out;
}

void WriteFile(const fs::path &path, const std::string &text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  if (!out) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    std::exit(1);
  }
}

std::string ReadFile(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs a shell command; its wall time in milliseconds. A failing command (exit status or any
// text on standard error) stops the benchmark: a phase that did not do its work has no time.
double Timed(const std::string &command, const fs::path &errors, const std::string &what) {
  const auto start = Clock::now();
  const int status = std::system((command + " 2>" + Quote(errors.string())).c_str());
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  const std::string errorText = ReadFile(errors);
  if (status != 0 || !errorText.empty()) {
    std::fprintf(stderr, "%s failed (status %d):\n%s\n", what.c_str(), status, errorText.substr(0, 2000).c_str());
    std::exit(1);
  }
  return ms;
}

// Text output of one query through a shell, as tab-separated lines without a header.
std::string QueryText(const std::string &command, const fs::path &work, bool dropHeader) {
  const fs::path out = work / "check.txt";
  Timed(command + " >" + Quote(out.string()), work / "check.err", "check query");
  std::string text = ReadFile(out);
  if (dropHeader) {
    const size_t line = text.find('\n');
    text = line == std::string::npos ? std::string() : text.substr(line + 1);
  }
  return text;
}

std::string ProgramDirectory() {
  std::error_code error;
  const fs::path self = fs::read_symlink("/proc/self/exe", error);
  return error ? std::string(".") : self.parent_path().string();
}

bool ParseOptions(int argc, char **argv, TOptions &options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "%s needs a value\n", arg.c_str());
        std::exit(2);
      }
      return argv[++i];
    };
    if (arg == "--rows") options.Rows = std::atoi(value().c_str());
    else if (arg == "--selects") options.Selects = std::atoi(value().c_str());
    else if (arg == "--kura-sql") options.KuraSql = value();
    else if (arg == "--sqlite3") options.Sqlite3 = value();
    else if (arg == "--keep") options.Keep = value();
    else return false;
  }
  if (options.KuraSql.empty()) options.KuraSql = ProgramDirectory() + "/kura-sql";
  return options.Rows > 0 && options.Selects >= 0;
}

}  // namespace

int main(int argc, char **argv) {
  TOptions options;
  if (!ParseOptions(argc, argv, options)) {
    std::fprintf(stderr,
                 "usage: kura_sql_vs_sqlite_bench [--rows N] [--selects N] [--kura-sql PATH] [--sqlite3 PATH] "
                 "[--keep DIR]\n");
    return 2;
  }
  for (const std::string &program : {options.KuraSql, options.Sqlite3})
    if (::access(program.c_str(), X_OK) != 0) {
      std::fprintf(stderr, "cannot run %s\n", program.c_str());
      return 1;
    }

  fs::path work;
  if (options.Keep.empty()) {
    std::string pattern = (fs::temp_directory_path() / "kura-sql-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
      std::perror("mkdtemp");
      return 1;
    }
    work = pattern;
  } else {
    work = options.Keep;
    fs::remove_all(work);
    fs::create_directories(work);
  }
  const fs::path kuraDb = work / "kura";
  const fs::path liteDb = work / "bench.sqlite";
  fs::create_directories(kuraDb);

  const std::vector<TPhase> phases = MakePhases(options);
  std::printf("kura-sql %s, sqlite3 %s, %d rows, %d point selects\n\n", options.KuraSql.c_str(),
              options.Sqlite3.c_str(), options.Rows, options.Selects);
  std::printf("%-8s %12s %12s %10s\n", "phase", "kura ms", "sqlite ms", "kura/lite");
  double kuraTotal = 0, liteTotal = 0;
  for (const TPhase &phase : phases) {
    const fs::path kuraScript = work / (phase.Name + ".kura.sql");
    const fs::path liteScript = work / (phase.Name + ".sqlite.sql");
    WriteFile(kuraScript, WithBegin(phase.Script, "START TRANSACTION;"));
    WriteFile(liteScript, WithBegin(phase.Script, "BEGIN TRANSACTION;"));
    const double kura =
        Timed(Quote(options.KuraSql) + " --db " + Quote(kuraDb.string()) + " --tsv -f " + Quote(kuraScript.string()) +
                  " >/dev/null",
              work / "kura.err", "kura-sql " + phase.Name);
    const double lite = Timed(Quote(options.Sqlite3) + " -batch -bail " + Quote(liteDb.string()) + " <" +
                                  Quote(liteScript.string()) + " >/dev/null",
                              work / "sqlite.err", "sqlite3 " + phase.Name);
    kuraTotal += kura;
    liteTotal += lite;
    std::printf("%-8s %12.1f %12.1f %10.2f\n", phase.Name.c_str(), kura, lite, kura / lite);
    std::fflush(stdout);
  }
  std::printf("%-8s %12.1f %12.1f %10.2f\n", "total", kuraTotal, liteTotal, kuraTotal / liteTotal);

  // Both databases must hold the same rows at the end, or the times compare different work.
  const std::string check = "SELECT COUNT(*), SUM(qty), SUM(grp), SUM(code) FROM bench;";
  const std::string kuraCheck =
      QueryText(Quote(options.KuraSql) + " --db " + Quote(kuraDb.string()) + " --tsv -c " + Quote(check), work, true);
  const std::string liteCheck = QueryText(
      Quote(options.Sqlite3) + " -batch -bail -separator '\t' " + Quote(liteDb.string()) + " " + Quote(check), work,
      false);
  const bool same = kuraCheck == liteCheck;
  std::printf("\nend state %s: kura %s   sqlite %s", same ? "agrees" : "DIFFERS", kuraCheck.c_str(),
              liteCheck.c_str());
  if (options.Keep.empty()) fs::remove_all(work);
  return same ? 0 : 1;
}
