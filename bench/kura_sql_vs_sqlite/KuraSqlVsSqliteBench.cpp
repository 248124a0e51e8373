// The kura-sql shell against the sqlite3 shell on the same generated SQL workload (see
// BenchWorkload.h for the phases and how the two dialects are written). Each phase is one script
// run by each shell as a separate process on a Kura database directory and an SQLite database
// file that the phases of one size share. For each phase the table gives wall and CPU time (the
// child's user + system time from wait4), their ratio Kura / SQLite and each shell's peak resident
// memory; the output of every query phase is compared between the two, and so is the end state.
//
// Durability is matched in both directions:
//   nosync  Kura as it is against SQLite with PRAGMA synchronous=OFF (neither syncs).
//   sync    every Kura commit is flushed (".sync on": every statement outside a transaction
//           and every COMMIT, which is also written COMMIT FLUSH), against the sqlite3 shell's
//           default, which syncs every commit.
//
// A phase still running after the time limit is killed and reported as not finished; the
// phases after it then work on a different state, which the table marks.
//
// The sizes and pairings of one invocation go through the phases together: phase p of every
// one of them, then phase p + 1 (see RunPhase), so that the growth from one size to the next
// compares runs minutes apart at most, not a whole size's run apart.
//
// A phase that takes both shells less than three seconds in its first run is then run --repeats
// times more (default 5), each time from the state before it (both databases are copied aside
// first and put back between the runs), SQLite first in every other run, and the medians of
// these runs' times are reported: single runs of a few milliseconds vary by half between runs on
// an otherwise quiet machine, and a phase's first run pays for fresh memory (see
// kRepeatBelowSeconds). Peak memory is the largest of all runs; outputs are compared on the
// first. KURA_BENCH_EACH_RUN in the environment prints every run's times.
//
// Usage: kura_sql_vs_sqlite_bench [--rows N[,N...]] [--modes nosync,sync] [--time-limit S]
//          [--selects N] [--key-updates N] [--memos N] [--blob-kb N] [--small-rows N]
//          [--small-deletes N] [--seed N] [--csv FILE] [--previous FILE] [--keep DIR]
//          [--kura-sql PATH] [--sqlite3 PATH] [--repeats N]
// --previous names the CSV file of an earlier run (--csv); its sizes join the growth tables, so
// that a large size can be measured on its own later.
// The exit status is 0 when every phase finished and all results agreed.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "BenchWorkload.h"
#include "OutputCompare.h"
#include "ShellRun.h"

namespace fs = std::filesystem;
using namespace kura::bench;

namespace {

struct TOptions {
  std::vector<int> Sizes{10000, 100000};
  std::vector<std::string> Modes{"nosync", "sync"};
  double TimeLimit = 300;
  TWorkloadOptions Workload;
  std::string KuraSql;
  std::string Sqlite3 = "/usr/bin/sqlite3";
  std::string Csv;
  std::string Previous;  // a CSV file of an earlier run, for the growth tables
  std::string Keep;
  int Repeats = 5;
};

struct TPhaseResult {
  TPhase Phase;
  TRunResult Kura, Sqlite;
  std::string Results;  // "same", "differ: ...", "-" when not compared
  bool AfterUnfinished = false;
};

struct TRun {
  int Rows = 0;
  std::string Mode;
  std::vector<TPhaseResult> Phases;
};

std::vector<std::string> SplitList(const std::string &text) {
  std::vector<std::string> items;
  std::istringstream in(text);
  for (std::string item; std::getline(in, item, ',');)
    if (!item.empty()) items.push_back(item);
  return items;
}

std::string ReadFile(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const fs::path &path, const std::string &text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  if (!out) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    std::exit(1);
  }
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
    auto number = [&]() { return std::atoll(value().c_str()); };
    if (arg == "--rows") {
      options.Sizes.clear();
      for (const std::string &size : SplitList(value())) options.Sizes.push_back(std::atoi(size.c_str()));
    } else if (arg == "--modes") options.Modes = SplitList(value());
    else if (arg == "--time-limit") options.TimeLimit = std::atof(value().c_str());
    else if (arg == "--selects") options.Workload.Selects = static_cast<int>(number());
    else if (arg == "--key-updates") options.Workload.KeyUpdates = static_cast<int>(number());
    else if (arg == "--memos") options.Workload.Memos = static_cast<int>(number());
    else if (arg == "--blob-kb") options.Workload.BlobBytes = number() * 1024;
    else if (arg == "--small-rows") options.Workload.SmallTableRows = static_cast<int>(number());
    else if (arg == "--small-deletes") options.Workload.SmallTableDeletes = static_cast<int>(number());
    else if (arg == "--seed") options.Workload.Seed = static_cast<uint32_t>(number());
    else if (arg == "--csv") options.Csv = value();
    else if (arg == "--previous") options.Previous = value();
    else if (arg == "--repeats") options.Repeats = static_cast<int>(number());
    else if (arg == "--keep") options.Keep = value();
    else if (arg == "--kura-sql") options.KuraSql = value();
    else if (arg == "--sqlite3") options.Sqlite3 = value();
    else return false;
  }
  if (options.KuraSql.empty()) options.KuraSql = ProgramDirectory() + "/kura-sql";
  for (int size : options.Sizes)
    if (size < 10) return false;
  for (const std::string &mode : options.Modes)
    if (mode != "nosync" && mode != "sync") return false;
  return !options.Sizes.empty() && !options.Modes.empty() && options.TimeLimit > 0 && options.Repeats >= 1;
}

TDialect KuraDialect(const std::string &mode) {
  return {mode == "sync" ? ".sync on" : "", "START TRANSACTION;", mode == "sync" ? "COMMIT FLUSH;" : "COMMIT;",
          "MEMO"};
}

TDialect SqliteDialect(const std::string &mode) {
  return {mode == "sync" ? "" : "PRAGMA synchronous=OFF;", "BEGIN;", "COMMIT;", "TEXT"};
}

std::vector<std::string> KuraCommand(const TOptions &options, const fs::path &database) {
  return {options.KuraSql, "--db", database.string(), "--tsv", "-f", "-"};
}

std::vector<std::string> SqliteCommand(const TOptions &options, const fs::path &database) {
  return {options.Sqlite3, "-batch", "-bail", "-header", "-nullvalue", "NULL", "-separator", "\t",
          database.string()};
}

bool IsQuery(const TPhase &phase) { return phase.Script.compare(0, 7, "SELECT ") == 0; }

// Replaces target (a file or a directory) with a copy of source (no target when there is no
// source: SQLite makes its database file at the first statement). The copy is put on the disk
// before the next run: otherwise the run that follows pays for writing back the copy's pages
// (the kernel throttles writers while much is dirty), which would make a phase that writes a
// lot cost more in its repeats than in its first run.
void CopyOver(const fs::path &source, const fs::path &target) {
  fs::remove_all(target);
  if (fs::exists(source)) fs::copy(source, target, fs::copy_options::recursive);
  ::sync();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The medians of the runs' times and the largest peak memory, in the first run's result; a run
// that failed or did not finish makes the whole count as such.
TRunResult Summarize(const std::vector<TRunResult> &runs) {
  TRunResult summary = runs.front();
  std::vector<double> wall, cpu;
  for (const TRunResult &run : runs) {
    if ((run.Failed || !run.Finished) && !summary.Failed && summary.Finished) {
      summary.Failed = run.Failed;
      summary.Finished = run.Finished;
      summary.Errors = run.Errors;
    }
    wall.push_back(run.WallSeconds);
    cpu.push_back(run.CpuSeconds);
    summary.PeakKilobytes = std::max(summary.PeakKilobytes, run.PeakKilobytes);
  }
  summary.WallSeconds = Median(wall);
  summary.CpuSeconds = Median(cpu);
  return summary;
}

// Phases under this many seconds in both shells are repeated. The first run of a phase, right
// after its script was made, costs both shells more than the runs after it: on the virtual
// machines measured so far, first touches of memory the system had not handed out lately cost
// many times more (a 64 MB blob took 1.0-1.1 s in its first run and 0.26-0.80 s in the next
// ones; 44 % of such a first run went to zeroing fresh pages). So a repeated phase's first run only compares
// the outputs, and in the timed runs that follow the two shells take turns going first.
constexpr double kRepeatBelowSeconds = 3.0;

// One size in one durability pairing: its databases, its phases and what they measured.
struct TTrack {
  int Rows = 0;
  std::string Mode;
  fs::path Work;
  std::vector<TPhase> Phases;
  TRun Run;
  bool Unfinished = false;  // a change phase stopped: the databases went apart
};

void StartTrack(TTrack &track) {
  track.Run = {track.Rows, track.Mode, {}};
  fs::remove_all(track.Work / "kura");
  fs::remove(track.Work / "bench.sqlite");
  fs::remove(track.Work / "bench.sqlite-journal");
  fs::create_directories(track.Work / "kura");
}

// Phase `index` of every track, in lockstep: the tracks' first runs one after the other, then
// the repeats of the brief ones taking turns (the order of the tracks and of the two shells
// changes from one repeat to the next). Phases of all sizes thus meet the machine in the same
// minutes, and a machine that slows down or speeds up over a long run moves every size's
// figures of a phase alike instead of one size's alone, which would show as growth.
void RunPhase(const TOptions &options, std::vector<TTrack> &tracks, size_t index) {
  struct TState {
    TTrack *Track;
    TPhaseResult Result;
    bool Query;
    fs::path KuraDb, LiteDb, KuraScript, LiteScript, KuraOut, LiteOut, KuraBefore, LiteBefore;
    std::vector<TRunResult> KuraRuns, LiteRuns, WarmUp;
  };
  std::vector<TState> states;
  for (TTrack &track : tracks) {
    const TPhase &phase = track.Phases[index];
    TState st{&track, {phase, {}, {}, "-", track.Unfinished}, IsQuery(phase)};
    const fs::path &work = track.Work;
    st.KuraDb = work / "kura";
    st.LiteDb = work / "bench.sqlite";
    st.KuraScript = work / "phase-kura.sql";
    st.LiteScript = work / "phase-sqlite.sql";
    st.KuraOut = st.Query ? work / "kura.out" : fs::path("/dev/null");
    st.LiteOut = st.Query ? work / "sqlite.out" : fs::path("/dev/null");
    // A query changes neither database; a change is repeated from copies of the state before it.
    st.KuraBefore = work / "kura-before";
    st.LiteBefore = work / "bench-before.sqlite";
    states.push_back(std::move(st));
  }
  auto runKura = [&](TState &st, const fs::path &out) {
    return RunShell(KuraCommand(options, st.KuraDb), st.KuraScript, out, st.Track->Work / "kura.err", options.TimeLimit,
                    st.Result.Phase.Name);
  };
  auto runLite = [&](TState &st, const fs::path &out) {
    return RunShell(SqliteCommand(options, st.LiteDb), st.LiteScript, out, st.Track->Work / "sqlite.err",
                    options.TimeLimit, st.Result.Phase.Name);
  };
  auto brief = [](const TRunResult &run) { return run.Finished && !run.Failed && run.WallSeconds < kRepeatBelowSeconds; };
  std::vector<TState *> repeated;
  for (TState &st : states) {
    WriteFile(st.KuraScript, ForDialect(st.Result.Phase.Script, KuraDialect(st.Track->Mode)));
    WriteFile(st.LiteScript, ForDialect(st.Result.Phase.Script, SqliteDialect(st.Track->Mode)));
    if (options.Repeats > 1 && !st.Query) {
      CopyOver(st.KuraDb, st.KuraBefore);
      CopyOver(st.LiteDb, st.LiteBefore);
    }
    st.KuraRuns = {runKura(st, st.KuraOut)};
    st.LiteRuns = {runLite(st, st.LiteOut)};
    // A repeated phase's first runs: outputs compared, times not counted (see kRepeatBelowSeconds).
    if (options.Repeats > 1 && brief(st.KuraRuns[0]) && brief(st.LiteRuns[0])) {
      st.WarmUp = {st.KuraRuns[0], st.LiteRuns[0]};
      st.KuraRuns.clear();
      st.LiteRuns.clear();
      repeated.push_back(&st);
    }
  }
  for (int repeat = 0; repeat < options.Repeats && !repeated.empty(); ++repeat) {
    // SQLite goes first in every other run: see kRepeatBelowSeconds.
    const bool liteFirst = repeat % 2 == 1;
    std::vector<TState *> order = repeated;
    if (repeat % 2 == 1) std::reverse(order.begin(), order.end());
    for (TState *st : order) {
      if (!st->Query) {
        CopyOver(st->KuraBefore, st->KuraDb);
        CopyOver(st->LiteBefore, st->LiteDb);
      }
      if (liteFirst) st->LiteRuns.push_back(runLite(*st, "/dev/null"));
      st->KuraRuns.push_back(runKura(*st, "/dev/null"));
      if (!liteFirst) st->LiteRuns.push_back(runLite(*st, "/dev/null"));
    }
  }
  for (TState &st : states) {
    TTrack &track = *st.Track;
    TPhaseResult &result = st.Result;
    const TPhase &phase = result.Phase;
    if (std::getenv("KURA_BENCH_EACH_RUN")) {
      if (!st.WarmUp.empty())
        std::fprintf(stderr, "  %d rows %s %s first run (not counted): kura %.3f s cpu, sqlite %.3f s cpu\n",
                     track.Rows, track.Mode.c_str(), phase.Name.c_str(), st.WarmUp[0].CpuSeconds,
                     st.WarmUp[1].CpuSeconds);
      for (size_t k = 0; k < st.KuraRuns.size(); ++k)
        std::fprintf(stderr, "  %d rows %s %s run %zu: kura %.3f s cpu, sqlite %.3f s cpu\n", track.Rows,
                     track.Mode.c_str(), phase.Name.c_str(), k + 1, st.KuraRuns[k].CpuSeconds,
                     k < st.LiteRuns.size() ? st.LiteRuns[k].CpuSeconds : 0.0);
    }
    fs::remove_all(st.KuraBefore);
    fs::remove(st.LiteBefore);
    result.Kura = Summarize(st.KuraRuns);
    result.Sqlite = Summarize(st.LiteRuns);
    if (!st.WarmUp.empty()) {
      result.Kura.PeakKilobytes = std::max(result.Kura.PeakKilobytes, st.WarmUp[0].PeakKilobytes);
      result.Sqlite.PeakKilobytes = std::max(result.Sqlite.PeakKilobytes, st.WarmUp[1].PeakKilobytes);
    }
    const bool bothDone = result.Kura.Finished && result.Sqlite.Finished && !result.Kura.Failed &&
                          !result.Sqlite.Failed;
    if (st.Query && bothDone && !track.Unfinished) {
      const std::string difference = CompareOutputs(ReadFile(st.KuraOut), ReadFile(st.LiteOut), phase.Ordered);
      result.Results = difference.empty() ? "same" : "differ: " + difference;
    }
    // A stopped query changes no table; a stopped change leaves the two databases apart.
    if (!bothDone && !st.Query) track.Unfinished = true;
    for (const TRunResult *side : {&result.Kura, &result.Sqlite})
      if (side->Failed) std::fprintf(stderr, "  %s failed: %s\n", phase.Name.c_str(), side->Errors.c_str());
    std::fprintf(stderr, "%d rows %s %-10s kura %8.2f s cpu %8.2f s%s   sqlite %8.2f s cpu %8.2f s%s  %s\n",
                 track.Rows, track.Mode.c_str(), phase.Name.c_str(), result.Kura.WallSeconds, result.Kura.CpuSeconds,
                 result.Kura.Finished ? "" : " (limit)", result.Sqlite.WallSeconds, result.Sqlite.CpuSeconds,
                 result.Sqlite.Finished ? "" : " (limit)", result.Results.substr(0, 200).c_str());
    track.Run.Phases.push_back(result);
  }
}

// Runs the end-state queries on both databases; empty when they agree.
std::string CompareEndState(const TOptions &options, const fs::path &work) {
  WriteFile(work / "end.sql", EndStateQueries());
  const TRunResult kura = RunShell(KuraCommand(options, work / "kura"), (work / "end.sql").string(),
                                   (work / "kura.out").string(), (work / "kura.err").string(), options.TimeLimit, "end");
  const TRunResult lite = RunShell(SqliteCommand(options, work / "bench.sqlite"), (work / "end.sql").string(),
                                   (work / "sqlite.out").string(), (work / "sqlite.err").string(), options.TimeLimit, "end");
  if (!kura.Finished || kura.Failed) return "kura end-state query failed: " + kura.Errors;
  if (!lite.Finished || lite.Failed) return "sqlite end-state query failed: " + lite.Errors;
  return CompareOutputs(ReadFile(work / "kura.out"), ReadFile(work / "sqlite.out"), true);
}

std::string Time(const TRunResult &run, bool cpu) {
  char text[48];
  if (run.Failed) return "failed";
  if (!run.Finished) {
    if (cpu) std::snprintf(text, sizeof text, "> %.3f (stopped)", run.CpuSeconds);
    else std::snprintf(text, sizeof text, "did not finish within %.0f s", run.WallSeconds);
    return text;
  }
  std::snprintf(text, sizeof text, "%.3f", cpu ? run.CpuSeconds : run.WallSeconds);
  return text;
}

std::string Ratio(const TRunResult &kura, const TRunResult &lite, bool cpu) {
  if (kura.Failed || lite.Failed || !lite.Finished) return "-";
  const double a = cpu ? kura.CpuSeconds : kura.WallSeconds;
  const double b = cpu ? lite.CpuSeconds : lite.WallSeconds;
  char text[48];
  if (b < 0.0005) {
    std::snprintf(text, sizeof text, "%s(SQLite < 1 ms)", kura.Finished ? "" : "> ");
    return text;
  }
  std::snprintf(text, sizeof text, "%s%.1f×", kura.Finished ? "" : "> ", a / b);
  return text;
}

std::string Megabytes(const TRunResult &run) {
  char text[32];
  std::snprintf(text, sizeof text, "%.0f", run.PeakKilobytes / 1024.0);
  return text;
}

void PrintTable(const TRun &run, const std::string &endState) {
  std::printf("\n### %d rows, %s\n\n", run.Rows,
              run.Mode == "sync"
                  ? "every commit flushed: Kura .sync on and COMMIT FLUSH against the sqlite3 shell's default "
                    "(synchronous=FULL)"
                  : "no sync: Kura default against SQLite PRAGMA synchronous=OFF");
  std::printf("| phase | Kura CPU s | SQLite CPU s | CPU ratio | Kura wall s | SQLite wall s | wall ratio | "
              "Kura peak MB | SQLite peak MB | results |\n");
  std::printf("|---|---:|---:|---:|---:|---:|---:|---:|---:|---|\n");
  for (const TPhaseResult &phase : run.Phases) {
    std::string results = phase.Results;
    if (phase.AfterUnfinished) results += " (after an unfinished phase: state differs)";
    std::printf("| %s%s | %s | %s | %s | %s | %s | %s | %s | %s | %s |\n", phase.Phase.Title.c_str(),
                phase.Phase.Setup ? " (setup)" : "", Time(phase.Kura, true).c_str(), Time(phase.Sqlite, true).c_str(),
                Ratio(phase.Kura, phase.Sqlite, true).c_str(), Time(phase.Kura, false).c_str(),
                Time(phase.Sqlite, false).c_str(), Ratio(phase.Kura, phase.Sqlite, false).c_str(),
                Megabytes(phase.Kura).c_str(), Megabytes(phase.Sqlite).c_str(), results.c_str());
  }
  bool unfinished = false;
  for (const TPhaseResult &phase : run.Phases) unfinished = unfinished || !phase.Kura.Finished || !phase.Sqlite.Finished;
  std::printf("\nEnd state (row counts and sums of every table): %s%s\n",
              endState.empty() ? "the same in both" : ("DIFFERS: " + endState).c_str(),
              endState.empty() || !unfinished ? "" : " (expected: a phase did not finish)");
  std::fflush(stdout);
}

// Time per unit of work (a row, or a statement for the phases of a fixed number of statements)
// at the larger size divided by that at the smaller one.
void PrintGrowth(const TRun &small, const TRun &large) {
  std::printf("\n### Growth of time per unit from %d to %d rows, %s\n\n", small.Rows, large.Rows, small.Mode.c_str());
  std::printf("| phase | unit | Kura CPU | SQLite CPU | Kura wall | SQLite wall |\n|---|---|---:|---:|---:|---:|\n");
  for (size_t i = 0; i < small.Phases.size() && i < large.Phases.size(); ++i) {
    const TPhaseResult &a = small.Phases[i], &b = large.Phases[i];
    auto growth = [&](const TRunResult &x, const TRunResult &y, bool cpu) -> std::string {
      if (x.Failed || y.Failed || !x.Finished) return "-";
      const double before = (cpu ? x.CpuSeconds : x.WallSeconds) / a.Phase.Units;
      const double after = (cpu ? y.CpuSeconds : y.WallSeconds) / b.Phase.Units;
      if (before <= 0) return "-";
      char text[32];
      std::snprintf(text, sizeof text, "%s%.2f×", y.Finished ? "" : "> ", after / before);
      return text;
    };
    std::printf("| %s | %s | %s | %s | %s | %s |\n", a.Phase.Name.c_str(),
                a.Phase.Units != b.Phase.Units ? "row" : a.Phase.Units == 1 ? "whole phase" : "statement", growth(a.Kura, b.Kura, true).c_str(),
                growth(a.Sqlite, b.Sqlite, true).c_str(), growth(a.Kura, b.Kura, false).c_str(),
                growth(a.Sqlite, b.Sqlite, false).c_str());
  }
  std::fflush(stdout);
}

void AppendCsv(const std::string &path, const TRun &run) {
  const bool fresh = !fs::exists(path);
  std::ofstream out(path, std::ios::app);
  if (fresh)
    out << "rows,mode,phase,units,kura_finished,kura_failed,kura_wall_s,kura_cpu_s,kura_peak_kb,"
           "sqlite_finished,sqlite_failed,sqlite_wall_s,sqlite_cpu_s,sqlite_peak_kb,results\n";
  for (const TPhaseResult &phase : run.Phases) {
    std::string results = phase.Results;
    for (char &c : results)
      if (c == ',' || c == '"' || c == '\n') c = ' ';
    out << run.Rows << ',' << run.Mode << ',' << phase.Phase.Name << ',' << phase.Phase.Units << ','
        << phase.Kura.Finished << ',' << phase.Kura.Failed << ',' << phase.Kura.WallSeconds << ','
        << phase.Kura.CpuSeconds << ',' << phase.Kura.PeakKilobytes << ',' << phase.Sqlite.Finished << ','
        << phase.Sqlite.Failed << ',' << phase.Sqlite.WallSeconds << ',' << phase.Sqlite.CpuSeconds << ','
        << phase.Sqlite.PeakKilobytes << ',' << results << '\n';
  }
}

// Runs of an earlier invocation, read back from its CSV file (as AppendCsv writes it).
std::vector<TRun> ReadCsv(const std::string &path) {
  std::vector<TRun> runs;
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);  // the header
  while (std::getline(in, line)) {
    std::vector<std::string> cells;
    std::istringstream fields(line);
    for (std::string cell; std::getline(fields, cell, ',');) cells.push_back(cell);
    if (cells.size() < 14) continue;
    const int rows = std::atoi(cells[0].c_str());
    if (runs.empty() || runs.back().Rows != rows || runs.back().Mode != cells[1]) runs.push_back({rows, cells[1], {}});
    TPhaseResult phase;
    phase.Phase.Name = cells[2];
    phase.Phase.Units = std::atoll(cells[3].c_str());
    auto side = [&](TRunResult &result, size_t at) {
      result.Finished = cells[at] == "1";
      result.Failed = cells[at + 1] == "1";
      result.WallSeconds = std::atof(cells[at + 2].c_str());
      result.CpuSeconds = std::atof(cells[at + 3].c_str());
      result.PeakKilobytes = std::atol(cells[at + 4].c_str());
    };
    side(phase.Kura, 4);
    side(phase.Sqlite, 9);
    phase.Results = cells.size() > 14 ? cells[14] : "";
    runs.back().Phases.push_back(phase);
  }
  return runs;
}

bool AllGood(const TRun &run) {
  for (const TPhaseResult &phase : run.Phases)
    if (!phase.Kura.Finished || phase.Kura.Failed || !phase.Sqlite.Finished || phase.Sqlite.Failed ||
        phase.Results.rfind("differ", 0) == 0)
      return false;
  return true;
}

}  // namespace

int main(int argc, char **argv) {
  TOptions options;
  if (!ParseOptions(argc, argv, options)) {
    std::fprintf(stderr,
                 "usage: kura_sql_vs_sqlite_bench [--rows N[,N...]] [--modes nosync,sync] [--time-limit S]\n"
                 "         [--selects N] [--key-updates N] [--memos N] [--blob-kb N] [--small-rows N]\n"
                 "         [--small-deletes N] [--seed N] [--csv FILE] [--previous FILE] [--keep DIR]\n"
                 "         [--kura-sql PATH] [--sqlite3 PATH]\n");
    return 2;
  }
  for (const std::string &program : {options.KuraSql, options.Sqlite3})
    if (::access(program.c_str(), X_OK) != 0) {
      std::fprintf(stderr, "cannot run %s\n", program.c_str());
      return 1;
    }
  if (!StartShellLauncher()) {
    std::perror("starting the launcher process");
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
    fs::create_directories(work);
  }

  std::printf("kura-sql %s against sqlite3 %s; time limit %.0f s per phase; seed %u\n", options.KuraSql.c_str(),
              options.Sqlite3.c_str(), options.TimeLimit, options.Workload.Seed);
  bool good = true;
  std::map<std::string, std::vector<TRun>> runs;  // by mode, in order of size
  if (!options.Previous.empty())
    for (TRun &run : ReadCsv(options.Previous)) runs[run.Mode].push_back(std::move(run));
  // Every size and pairing is a track; the tracks go through the phases in lockstep.
  std::vector<TTrack> tracks;
  for (int rows : options.Sizes) {
    TWorkloadOptions workload = options.Workload;
    workload.Rows = rows;
    const std::vector<TPhase> phases = MakeWorkload(workload);
    for (const std::string &mode : options.Modes) {
      TTrack track;
      track.Rows = rows;
      track.Mode = mode;
      track.Work = work / (std::to_string(rows) + "-" + mode);
      track.Phases = phases;
      fs::create_directories(track.Work);
      StartTrack(track);
      tracks.push_back(std::move(track));
    }
  }
  for (size_t i = 0; !tracks.empty() && i < tracks.front().Phases.size(); ++i) RunPhase(options, tracks, i);
  for (TTrack &track : tracks) {
    const std::string endState = CompareEndState(options, track.Work);
    PrintTable(track.Run, endState);
    if (!options.Csv.empty()) AppendCsv(options.Csv, track.Run);
    good = good && AllGood(track.Run) && endState.empty();
    if (options.Keep.empty()) fs::remove_all(track.Work);
    runs[track.Mode].push_back(std::move(track.Run));
  }
  for (auto &[mode, sized] : runs) {
    std::stable_sort(sized.begin(), sized.end(), [](const TRun &a, const TRun &b) { return a.Rows < b.Rows; });
    for (size_t i = 1; i < sized.size(); ++i)
      if (sized[i].Rows > sized[i - 1].Rows) PrintGrowth(sized[i - 1], sized[i]);
  }
  if (options.Keep.empty()) fs::remove_all(work);
  return good ? 0 : 1;
}
