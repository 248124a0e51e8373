#include "ShellSession.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string_view>

#include "ShellOutput.h"
#include "ShellPrivateDir.h"
#include "engine/blob/BlobFile.h"
#include "engine/crypt/TablePassword.h"
#include "engine/errors/EngineError.h"
#include "engine/index/IndexFile.h"
#include "engine/table/DataSession.h"
#include "engine/table/Engine.h"
#include "query/select/SelectQuery.h"
#include "query/run/SqlRunner.h"
#include "query/select/SelectValues.h"

namespace kura::shell {

namespace {

// A view, not a copy: a statement may hold a literal of many megabytes.
std::string_view TrimmedView(std::string_view text) {
  size_t begin = 0, end = text.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  return text.substr(begin, end - begin);
}

std::string Trim(const std::string &text) { return std::string(TrimmedView(text)); }

bool IsMemoryName(const std::string &name) {
  std::string upper;
  for (char c : name) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper == "MEMORY";
}

std::string TypeName(const TFieldDescriptor &f) {
  using T = EngineFieldType;
  switch (f.Type) {
    case T::String: return "CHAR(" + std::to_string(f.DeclaredSize) + ")";
    case T::Date: return "DATE";
    case T::Blob:
      return f.SubType == FieldSubType::Memo ? "MEMO" : f.SubType == FieldSubType::Graphic ? "GRAPHIC" : "BLOB";
    case T::Boolean: return "BOOLEAN";
    case T::SmallInt: return "SMALLINT";
    case T::Integer: return f.IsAutoInc() ? "AUTOINC" : "INTEGER";
    case T::Float: return f.SubType == FieldSubType::Money ? "MONEY" : "FLOAT";
    case T::BCD: return "DECIMAL(20," + std::to_string(f.DeclaredScale) + ")";
    case T::Bytes: return "BYTES(" + std::to_string(f.DeclaredSize) + ")";
    case T::Time: return "TIME";
    case T::TimeStamp: return "TIMESTAMP";
    case T::Word: return "WORD";
    case T::LongWord: return "LONGWORD";
    case T::Extended: return "EXTENDED";
    case T::VarBytes: return "VARBYTES(" + std::to_string(f.DeclaredSize) + ")";
    case T::LargeInt: return "LARGEINT";
    default: return "UNKNOWN";
  }
}

bool IsNumber(EngineFieldType t) {
  using T = EngineFieldType;
  return t == T::SmallInt || t == T::Integer || t == T::Word || t == T::LongWord || t == T::LargeInt ||
         t == T::Float || t == T::BCD || t == T::Extended;
}

}  // namespace

TShellSession::TShellSession(const TShellOptions &options, std::ostream &out, std::ostream &err, bool tableOutput)
    : FOptions(options), FOut(out), FErr(err) {
  FMode = options.Csv ? TOutputMode::Csv : tableOutput ? TOutputMode::Table : TOutputMode::Tsv;
  // Rows-affected notes are for a person at a terminal; output meant for programs carries
  // only results (".changes on" asks for them anyway).
  FShowChanges = tableOutput;
  StartEngine();
  InstallIndexFiles();
  InstallBlobFiles();
  // Index pages kept per index: the engine's default of 2 pages makes nearly every key lookup
  // and insert read its pages again. 2 MiB (256 pages) hold the upper levels of any index and
  // the leaves a statement works on, at a few MiB per open index at most.
  // KURA_INDEX_BUFFER_BYTES in the environment sets another size (tests use it to make index
  // pages leave the cache).
  DefaultSession().Settings.IndexBufferSize = 2u << 20;
  if (const char *bytes = std::getenv("KURA_INDEX_BUFFER_BYTES")) {
    const unsigned long value = std::strtoul(bytes, nullptr, 10);
    if (value >= 8192 && value <= (1ul << 30)) DefaultSession().Settings.IndexBufferSize = static_cast<uint32_t>(value);
  }
  if (IsMemoryName(options.Database)) {
    FDatabasePath = kMemoryDatabaseName;
  } else {
    FDatabasePath = options.Database.empty() ? std::string(".") : options.Database;
    if (FDatabasePath.back() != '/') FDatabasePath += '/';
  }
  // Result tables and sort runs go to a directory of this run's own (those of killed runs are
  // removed first).
  FPrivateDir = std::make_unique<TShellPrivateDir>();
  if (!FPrivateDir->Path().empty()) DefaultSession().SetPrivateDir(FPrivateDir->Path());
  for (const std::string &password : options.Passwords) DefaultSession().AddPassword(password);
  // Every commit flushed: the engine's ForceBufferFlush (result tables are never synced).
  DefaultSession().Settings.ForceBufferFlush = options.Sync;
}

TShellSession::~TShellSession() {
  ReleaseIdle();
  FRunner.reset();
  StopEngine();
  FPrivateDir.reset();
}

bool TShellSession::Run(const std::string &text) {
  const std::string_view statement = TrimmedView(text);
  if (statement.empty()) return true;
  if (statement[0] == '.') {
    ReleaseIdle();
    return RunCommand(std::string(statement));
  }
  try {
    auto print = [&](TSelectQuery &query) {
      TResultText result;
      std::vector<TTypeInfo> types;
      for (size_t c = 0; c < query.ColumnCount(); ++c) {
        TResultColumnInfo info = query.Column(c);
        result.Names.push_back(info.Name);
        result.RightAligned.push_back(IsNumber(info.Type.Type));
        types.push_back(info.Type);
      }
      const int64_t count = query.RowCount();
      if (FMode == TOutputMode::Tsv) {
        // Values go straight into the text written out, a block at a time: no row of texts
        // is made on the way (the rows of a program's reading are many and short).
        std::string text;
        for (size_t c = 0; c < result.Names.size(); ++c) {
          if (c) text += '\t';
          AppendTsv(text, result.Names[c]);
        }
        text += '\n';
        for (int64_t r = 0; r < count; ++r) {
          const std::vector<TExpValue> values = query.Row(r);
          for (size_t c = 0; c < values.size(); ++c) {
            if (c) text += '\t';
            if (values[c].Null) text += FTsvNullValue;
            else if (types[c].Type == TDataType::String || types[c].Type == TDataType::Blob) AppendTsv(text, values[c].Str);
            else AppendTsv(text, FieldValueText(types[c], values[c]));
          }
          text += '\n';
          if (text.size() >= 65536) {
            FOut.write(text.data(), static_cast<std::streamsize>(text.size()));
            text.clear();
          }
        }
        FOut.write(text.data(), static_cast<std::streamsize>(text.size()));
        FOut.flush();
        return;
      }
      // An aligned table needs every row for its widths; CSV is written in parts, so that a
      // large result is never held as text.
      const bool inParts = FMode != TOutputMode::Table;
      constexpr size_t kPart = 1024;
      bool headerWritten = false;
      auto writePart = [&]() {
        WriteCsv(FOut, result, FNullValue, !headerWritten);
        headerWritten = true;
        result.Rows.clear();
        result.Null.clear();
      };
      for (int64_t r = 0; r < count; ++r) {
        std::vector<TExpValue> values = query.Row(r);
        std::vector<std::string> row;
        std::vector<bool> nulls;
        row.reserve(values.size());
        nulls.reserve(values.size());
        for (size_t c = 0; c < values.size(); ++c) {
          nulls.push_back(values[c].Null);
          row.push_back(values[c].Null ? std::string() : FieldValueText(types[c], values[c]));
        }
        result.Rows.push_back(std::move(row));
        result.Null.push_back(std::move(nulls));
        if (inParts && result.Rows.size() >= kPart) writePart();
      }
      if (inParts) writePart();
      else WriteResult(result);
      FOut.flush();
    };
    TRunResult run = Runner().Run(statement, print);
    const TStatementKind kind = run.Kind;
    if (FShowChanges && (kind == TStatementKind::Insert || kind == TStatementKind::Update ||
                         kind == TStatementKind::Delete || run.StatementCount > 1)) {
      FOut << "(" << run.RowsAffected << (run.RowsAffected == 1 ? " row affected)" : " rows affected)") << "\n";
      FOut.flush();
    }
    return true;
  } catch (const std::exception &e) {
    FErr << e.what() << "\n";
    FErr.flush();
    ++FFailures;
    return false;
  }
}

void TShellSession::WriteResult(const TResultText &result) {
  switch (FMode) {
    case TOutputMode::Table: WriteTable(FOut, result, FNullValue); break;
    case TOutputMode::Csv: WriteCsv(FOut, result, FNullValue); break;
    case TOutputMode::Tsv: WriteTsv(FOut, result, FTsvNullValue); break;
  }
}

TSqlRunner &TShellSession::Runner() {
  if (!FRunner) {
    FRunner = std::make_unique<TSqlRunner>(DefaultSession(), FDatabasePath);
    // Statements that follow each other without a wait find the tables of the last SELECTs
    // open, caches and all.
    FRunner->SetKeepTablesOpen(true);
  }
  return *FRunner;
}

void TShellSession::ReleaseIdle() {
  if (!FRunner) return;
  try {
    FRunner->ReleaseKeptTables();
  } catch (const std::exception &e) {
    FErr << e.what() << "\n";
  }
}

bool TShellSession::RunCommand(const std::string &command) {
  std::string word = command, argument;
  const size_t space = command.find_first_of(" \t");
  if (space != std::string::npos) {
    word = command.substr(0, space);
    argument = Trim(command.substr(space));
  }
  try {
    if (word == ".quit" || word == ".exit") {
      FQuit = true;
      return true;
    }
    if (word == ".help") {
      FOut << ".tables            list the tables of the database\n"
              ".schema [TABLE]    show the fields and indexes of a table (of every table)\n"
              ".mode table|csv|tsv  how results are written\n"
              ".nullvalue TEXT    how NULL is shown (default: empty; NULL in tsv)\n"
              ".changes on|off    report rows affected by INSERT, UPDATE and DELETE\n"
              ".password PW       add a password for encrypted tables to the session\n"
              "                   (table encryption only scrambles the files; it does\n"
              "                   not protect secrets)\n"
              ".sync on|off       every commit on the disk before it is reported done\n"
              "                   (as --sync; without an argument: the setting)\n"
              ".quit              leave the shell\n"
              "Statements end with \";\" and may span lines.\n";
      return true;
    }
    if (word == ".mode") {
      if (SetMode(argument)) return true;
      FErr << "kura-sql: .mode takes table, csv or tsv\n";
      ++FFailures;
      return false;
    }
    if (word == ".nullvalue") {
      std::string text = argument;
      if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') && text.back() == text.front())
        text = text.substr(1, text.size() - 2);
      FNullValue = FTsvNullValue = text;
      return true;
    }
    if (word == ".sync" && (argument == "on" || argument == "off" || argument.empty())) {
      bool &sync = DefaultSession().Settings.ForceBufferFlush;
      if (argument.empty())
        FOut << "sync " << (sync ? "on" : "off") << "\n";
      else
        sync = argument == "on";
      return true;
    }
    if (word == ".changes" && (argument == "on" || argument == "off")) {
      FShowChanges = argument == "on";
      return true;
    }
    if (word == ".password" && !argument.empty()) {
      DefaultSession().AddPassword(argument);
      return true;
    }
    if (word == ".schema" && argument.empty()) {
      // A table that cannot be described (no password, a damaged file) is reported and the
      // listing goes on.
      bool allShown = true;
      for (const std::string &name : TableNames()) {
        FOut << "TABLE " << name << "\n";
        try {
          DescribeTable(name);
        } catch (const std::exception &e) {
          FOut.flush();
          FErr << e.what() << "\n";
          allShown = false;
        }
      }
      if (!allShown) ++FFailures;
      return allShown;
    }
    if (word == ".tables") {
      ListTables();
      return true;
    }
    if (word == ".schema" && !argument.empty()) {
      DescribeTable(argument);
      return true;
    }
    FErr << "kura-sql: unknown command " << command << " (try .help)\n";
  } catch (const std::exception &e) {
    FErr << e.what() << "\n";
  }
  ++FFailures;
  return false;
}

bool TShellSession::SetMode(const std::string &mode) {
  if (mode == "table") FMode = TOutputMode::Table;
  else if (mode == "csv") FMode = TOutputMode::Csv;
  else if (mode == "tsv" || mode == "tabs") FMode = TOutputMode::Tsv;
  else return false;
  return true;
}

std::vector<std::string> TShellSession::TableNames() {
  std::vector<std::string> names;
  if (FDatabasePath == kMemoryDatabaseName) return names;
  for (const auto &entry : std::filesystem::directory_iterator(FDatabasePath)) {
    std::string extension = entry.path().extension().string();
    for (char &c : extension) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (entry.is_regular_file() && extension == ".DAT") names.push_back(entry.path().stem().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

void TShellSession::ListTables() {
  if (FDatabasePath == kMemoryDatabaseName) {
    FErr << "kura-sql: the tables of the in-memory database cannot be listed\n";
    return;
  }
  std::vector<std::string> names;
  for (const auto &entry : std::filesystem::directory_iterator(FDatabasePath)) {
    std::string extension = entry.path().extension().string();
    for (char &c : extension) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (entry.is_regular_file() && extension == ".DAT") names.push_back(entry.path().stem().string());
  }
  std::sort(names.begin(), names.end());
  for (const std::string &name : names) FOut << name << "\n";
}

void TShellSession::DescribeTable(const std::string &name) {
  const bool memory = FDatabasePath == kMemoryDatabaseName;
  TDataDirectory *directory = DefaultSession().OpenDataDirectory(FDatabasePath, memory ? "" : FDatabasePath);
  TDataTable *table = nullptr;
  try {
    table = directory->OpenTable(name, false, true, memory, false);
    const TDataFile &file = table->DataFile();
    // An encrypted table's structure is as private as its rows.
    if (file.Encrypted()) {
      TDataSession *session = directory->Session();
      CheckTableAccess(
          file.Password(), [session](const std::string &password) { return session->HasPassword(password); },
          session->PasswordCallback, table->Name());
    }
    TResultText fields;
    fields.Names = {"Field", "Type", "Required"};
    for (int no = 1; no <= file.FieldCount(); ++no) {
      const TFieldDescriptor &f = file.Field(no);
      fields.Rows.push_back({f.Name, TypeName(f), f.Required ? "yes" : "no"});
      fields.Null.push_back({false, false, false});
    }
    WriteResult(fields);
    if (auto *index = dynamic_cast<TIndexFile *>(table->IndexFile())) {
      const TIndexHeader &header = index->Header();
      for (int no = 0; no <= kMaxSecondaryIndexes; ++no) {
        if (!header.IndexInUse(no)) continue;
        const TIndexDescriptor &d = header.Descriptors[no];
        FOut << (no == 0 ? std::string("PRIMARY KEY") : "INDEX " + d.Name) << " (";
        for (int k = 0; k < d.FieldCount; ++k) {
          FOut << (k ? ", " : "") << file.Field(d.FieldNumbers[k]).Name;
          if (d.FieldDescending[k]) FOut << " DESC";
        }
        FOut << ")";
        if (d.Descending) FOut << " DESC";
        if (d.CaseInsensitive) FOut << " NOCASE";
        if (d.Unique && no != 0) FOut << " UNIQUE";
        FOut << "\n";
      }
    }
  } catch (...) {
    if (table) directory->CloseTable(table);
    DefaultSession().CloseDataDirectory(directory);
    throw;
  }
  directory->CloseTable(table);
  DefaultSession().CloseDataDirectory(directory);
}

}  // namespace kura::shell
