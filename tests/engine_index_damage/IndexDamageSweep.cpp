// The bit-flip sweep over a small table's index file.
#include "tests/engine_index_damage/IndexDamageSweep.h"

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

#include "engine/cursor/DataCursor.h"
#include "engine/errors/EngineError.h"
#include "engine/index/IndexFile.h"
#include "engine/index/IndexPageChecks.h"
#include "engine/table/DataSession.h"
#include "engine/table/Engine.h"

namespace kura::indexdamage {
namespace {

constexpr int kRows = 300;
constexpr int kPageSize = 4096;
constexpr int kPageHeader = 13;

enum TOutcome { Correct = 0, Reported = 1, Wrong = 2 };

TFieldDescriptor MakeField(const std::string &name, EngineFieldType type, uint8_t size = 0) {
  TFieldDescriptor f;
  f.Name = name;
  f.Type = type;
  f.DeclaredSize = size;
  return f;
}

TIndexDefinition MakeIndex(const std::string &name, std::vector<uint16_t> fields, KeyCompression compression) {
  TIndexDefinition d;
  d.Name = name;
  for (uint16_t n : fields) {
    TIndexDefinitionField f;
    f.FieldNumber = n;
    d.Fields.push_back(f);
  }
  d.Unique = name.empty();
  d.Compression = compression;
  return d;
}

std::vector<uint8_t> ReadFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string &path, const std::vector<uint8_t> &bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void BuildTable(const std::string &directory) {
  StartEngine();
  InstallIndexFiles();
  TDataDirectory *d = DefaultSession().OpenDataDirectory("damage", directory);
  TDataFileDefinition def;
  def.Fields = {MakeField("Code", EngineFieldType::Integer), MakeField("Name", EngineFieldType::String, 16),
                MakeField("Value", EngineFieldType::Integer)};
  {
    TDataCursor c(d, "people");
    c.CreateTable(def, {MakeIndex("", {1}, KeyCompression::None), MakeIndex("ByName", {2}, KeyCompression::None),
                        MakeIndex("ByValue", {3}, KeyCompression::Full)});
    c.OpenCursor();
    for (int i = 0; i < kRows; ++i) {
      // Slots in an order unlike any index's; names and values with repeats.
      const int k = (i * 7919) % kRows;
      std::vector<uint8_t> r = c.NewRecordBuffer();
      c.SetInteger(1, r.data(), k * 3 + 1);
      c.SetString(2, r.data(), "name" + std::to_string((k * 37) % 120));
      c.SetInteger(3, r.data(), (k * 11) % 50);
      c.AppendRecord(r.data(), false);
    }
    c.CloseCursor();
  }
  DefaultSession().CloseDataDirectory(d);
  StopEngine();
}

// Everything a reader can get from the table, as text.
std::string ReadEverything(const std::string &directory) {
  TDataDirectory *d = DefaultSession().OpenDataDirectory("damage", directory);
  std::ostringstream out;
  {
    TCursorOptions options;
    options.ReadOnly = true;
    for (const char *order : {"", "ByName", "ByValue", "natural"}) {
      TCursorOptions o = options;
      o.NaturalOrder = std::string(order) == "natural";
      TDataCursor c(d, "people");
      c.SetOptions(o);
      c.OpenCursor();
      if (!o.NaturalOrder) c.SetIndexName(order);
      std::vector<uint8_t> r = c.NewRecordBuffer();
      out << order << " count " << c.RecordCount() << " forward";
      c.SetToBegin();
      for (int moves = 0; c.GetNextRecord(r.data()) == KURA_NONE; ++moves) {
        if (moves > 4 * kRows) return "a walk that does not end";
        out << ' ' << c.GetInteger(1, r.data()) << ':' << c.GetString(2, r.data()) << ':' << c.GetInteger(3, r.data());
      }
      out << " backward";
      c.SetToEnd();
      for (int moves = 0; c.GetPriorRecord(r.data()) == KURA_NONE; ++moves) {
        if (moves > 4 * kRows) return "a walk that does not end";
        out << ' ' << c.GetInteger(1, r.data());
      }
      if (std::string(order).empty()) {
        out << " found";
        for (int code = 1; code < kRows * 3 + 5; code += 17) {
          std::vector<uint8_t> key = c.NewRecordBuffer();
          c.SetInteger(1, key.data(), code);
          const bool found = c.Find(key.data(), false, 1, 0, false, r.data());
          out << ' ' << code << (found ? "+" : "-") << c.GetInteger(1, r.data());
        }
      }
      out << '\n';
      c.CloseCursor();
    }
  }
  DefaultSession().CloseDataDirectory(d);
  return out.str();
}

// Reads the table in a child process; its exit status is the outcome.
int ReadInChild(const std::string &directory, const std::string &expected, bool checks) {
  const pid_t pid = fork();
  if (pid == 0) {
    int outcome = Wrong;
    try {
      StartEngine();
      InstallIndexFiles();
      IndexPageChecksEnabled() = checks;
      outcome = ReadEverything(directory) == expected ? Correct : Wrong;
    } catch (const EKuraEngineError &) {
      outcome = Reported;
    } catch (...) {
      outcome = Wrong;  // anything but the engine's own error is not a report of damage
    }
    _exit(outcome);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace

TSweepStats RunSweep(const TSweepOptions &options) {
  TSweepStats stats;
  const std::string pristineDir = options.Directory + "/pristine";
  const std::string workDir = options.Directory + "/work";
  std::filesystem::create_directories(pristineDir);
  std::filesystem::create_directories(workDir);
  BuildTable(pristineDir + "/");
  const std::vector<uint8_t> data = ReadFile(pristineDir + "/people.DAT");
  const std::vector<uint8_t> index = ReadFile(pristineDir + "/people.IDX");
  // The undamaged table read the same way, in a child like every damaged one.
  std::string expected;
  {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return stats;
    const pid_t pid = fork();
    if (pid == 0) {
      close(pipeFds[0]);
      std::string text;
      try {
        StartEngine();
        InstallIndexFiles();
        text = ReadEverything(pristineDir + "/");
      } catch (const std::exception &e) {
        text = std::string("the undamaged table does not read: ") + e.what();
      }
      (void)!write(pipeFds[1], text.data(), text.size());
      _exit(0);
    }
    close(pipeFds[1]);
    char buffer[65536];
    ssize_t got;
    while ((got = read(pipeFds[0], buffer, sizeof buffer)) > 0) expected.append(buffer, static_cast<size_t>(got));
    close(pipeFds[0]);
    waitpid(pid, nullptr, 0);
  }
  stats.Undamaged = expected;
  const int pages = static_cast<int>(index.size() / kPageSize);
  for (int page = 1; page < pages; ++page) {
    const size_t base = static_cast<size_t>(page) * kPageSize;
    const int used = index[base + 11] | (index[base + 12] << 8);
    const int n = index[base + 1] | (index[base + 2] << 8);
    if (n == 0) continue;  // a freed page
    const int span = kPageHeader + used;
    for (int offset = 0; offset < span; offset += options.ByteStride) {
      const int bit = offset % 8;
      std::vector<uint8_t> damaged = index;
      damaged[base + static_cast<size_t>(offset)] ^= static_cast<uint8_t>(1u << bit);
      WriteFile(workDir + "/people.DAT", data);
      WriteFile(workDir + "/people.IDX", damaged);
      std::filesystem::remove(workDir + "/people.JNL");
      ++stats.Files;
      switch (ReadInChild(workDir + "/", expected, options.Checks)) {
        case Correct: ++stats.Correct; break;
        case Reported: ++stats.Reported; break;
        case Wrong:
          ++stats.Wrong;
          if (stats.FirstWrong.empty())
            stats.FirstWrong = "page " + std::to_string(page) + " byte " + std::to_string(offset) + " bit " +
                               std::to_string(bit);
          break;
        default: ++stats.Crashed; break;
      }
    }
  }
  return stats;
}

std::string Describe(const TSweepStats &s) {
  std::ostringstream out;
  out << s.Files << " damaged index files: " << s.Correct << " read right, " << s.Reported << " reported damaged, "
      << s.Wrong << " silently wrong, " << s.Crashed << " crashed";
  if (!s.FirstWrong.empty()) out << " (first wrong: " << s.FirstWrong << ")";
  return out.str();
}

}  // namespace kura::indexdamage
