// Tables of an open directory.
#include "engine/table/DataDirectory.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <random>

#include "engine/errors/EngineError.h"
#include "engine/file/FileHandler.h"
#include "engine/file/FileNames.h"
#include "engine/table/DataSession.h"

namespace kura {

TDataDirectory::TDataDirectory(TDataSession *session, std::string databaseName, std::string path, bool memory)
    : FSession(session), FDatabaseName(std::move(databaseName)), FPath(std::move(path)), FMemory(memory) {}

TDataDirectory::~TDataDirectory() {
  try {
    RollbackTransaction();
  } catch (...) {
  }
  for (auto &table : FTables) {
    try {
      table->CloseFiles();
    } catch (...) {
    }
  }
  FTables.clear();
}

void TDataDirectory::RaiseFor(uint16_t code, const std::string &table) const {
  ErrorTexts texts;
  texts.Table = table;
  texts.Database = FDatabaseName;
  RaiseEngineErrorOS(code, 0, texts);
}

TDataTable *TDataDirectory::FindTable(const std::string &name, bool inMemory) const {
  std::string wanted = TrimBlanks(name);
  for (const auto &table : FTables)
    if (table->InMemory() == inMemory && SameTextIgnoringCase(table->Name(), wanted)) return table.get();
  return nullptr;
}

void TDataDirectory::RemoveTable(TDataTable *table) {
  for (size_t i = 0; i < FTables.size(); ++i) {
    if (FTables[i].get() == table) {
      FTables.erase(FTables.begin() + static_cast<long>(i));
      return;
    }
  }
}

TDataTable *TDataDirectory::OpenTable(const std::string &name, bool exclusive, bool readOnly, bool inMemory,
                                      bool temporary) {
  inMemory = inMemory || FMemory;
  if (TDataTable *table = FindTable(name, inMemory)) {
    if (table->OpenCount() > 0 || table->InTransaction()) {
      if (table->Exclusive() || exclusive) RaiseFor(KURA_OSEACCES, table->Name());
      if (!table->FilesOpen()) table->OpenFiles();
      table->SetOpenCount(table->OpenCount() + 1);
      return table;
    }
    table->SetOpenFlags(exclusive, readOnly, temporary);
    table->OpenFiles();
    if (FInTransaction) table->StartTransaction();
    table->SetOpenCount(1);
    return table;
  }
  auto table = std::make_unique<TDataTable>(this, name, inMemory);
  table->SetOpenFlags(exclusive, readOnly, temporary);
  table->OpenFiles();
  if (FInTransaction) table->StartTransaction();
  table->SetOpenCount(1);
  FTables.push_back(std::move(table));
  return FTables.back().get();
}

TDataTable *TDataDirectory::CreateTable(const std::string &name, const TDataFileDefinition &definition,
                                        bool inMemory, bool temporary,
                                        const std::vector<TIndexDefinition> &indexes) {
  inMemory = inMemory || FMemory;
  if (TDataTable *open = FindTable(name, inMemory)) {
    if (open->OpenCount() > 0 || open->InTransaction()) RaiseFor(KURA_OSEACCES, open->Name());
    RemoveTable(open);
  }
  auto table = std::make_unique<TDataTable>(this, name, inMemory);
  table->SetOpenFlags(true, false, temporary);
  table->CreateFiles(definition, indexes);
  table->OpenFiles();
  table->SetOpenCount(1);
  FTables.push_back(std::move(table));
  return FTables.back().get();
}

void TDataDirectory::CloseTable(TDataTable *table) {
  if (!table) return;
  if (table->OpenCount() > 0) table->SetOpenCount(table->OpenCount() - 1);
  if (table->OpenCount() > 0 || table->InTransaction()) return;
  table->CloseFiles();
  RemoveTable(table);
}

void TDataDirectory::DeleteTable(const std::string &name, bool inMemory) {
  inMemory = inMemory || FMemory;
  if (TDataTable *open = FindTable(name, inMemory)) {
    if (open->OpenCount() > 0 || open->InTransaction()) RaiseFor(KURA_OSEACCES, open->Name());
    RemoveTable(open);
  }
  TDataTable table(this, name, inMemory);
  table.DeleteFiles();
}

void TDataDirectory::RenameTable(const std::string &name, bool inMemory, const std::string &newName) {
  inMemory = inMemory || FMemory;
  if (TDataTable *open = FindTable(name, inMemory)) {
    if (open->OpenCount() > 0 || open->InTransaction()) RaiseFor(KURA_OSEACCES, open->Name());
    RemoveTable(open);
  }
  TDataTable table(this, name, inMemory);
  table.RenameFiles(newName);
}

bool TDataDirectory::TableExists(const std::string &name, bool inMemory) {
  inMemory = inMemory || FMemory;
  if (FindTable(name, inMemory)) return true;
  return TFileHandler::Exists(TableFileName(FPath, name, ".DAT"), inMemory);
}

std::string TDataDirectory::UniqueTableName(bool inMemory) {
  long thread = static_cast<long>(::syscall(SYS_gettid));
  std::string digits = std::to_string(std::labs(thread)).substr(0, 5);
  for (unsigned long counter = 0;; ++counter) {
    std::string name = digits + std::to_string(counter) + ".DAT";
    if (!TableExists(name, inMemory)) return name;
  }
}

void TDataDirectory::StartTransaction() {
  if (FInTransaction) return;
  for (auto &table : FTables)
    if (table->FilesOpen()) table->StartTransaction();
  FInTransaction = true;
}

namespace {

// Names the commit record after the tables of the transaction: a later transaction over the
// same tables (which holds all their locks, so every earlier one is settled) may reuse it,
// one over other tables never does.
std::string GroupRecordName(const std::vector<TDataTable *> &tables) {
  uint32_t hash = 2166136261u;
  for (const TDataTable *t : tables) {
    for (char c : t->Name()) hash = (hash ^ static_cast<uint8_t>(std::tolower(static_cast<unsigned char>(c)))) * 16777619u;
    hash = (hash ^ 0x2Fu) * 16777619u;
  }
  char suffix[16];
  std::snprintf(suffix, sizeof suffix, "-%08x", hash);
  return tables.front()->Name() + suffix;
}

}  // namespace

void TDataDirectory::CommitGroup(const std::vector<TDataTable *> &tables, bool flushOS) {
  std::vector<TDataTable *> prepared;
  try {
    for (TDataTable *t : tables) {
      t->PrepareCommit(flushOS);
      prepared.push_back(t);
    }
  } catch (...) {
    for (TDataTable *t : prepared) t->AbandonCommit();
    throw;
  }
  auto finishAll = [&] {
    std::exception_ptr failure;
    for (TDataTable *t : prepared) {
      try {
        t->FinishCommit();
      } catch (...) {
        if (!failure) failure = std::current_exception();
      }
    }
    return failure;
  };
  TGroupTag tag;
  std::random_device random;
  tag.Id = (static_cast<uint64_t>(random()) << 32 | random()) ^
           static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  tag.RecordName = GroupRecordName(tables);
  const std::string recordFile = TPostJournal::GroupRecordFile(FPath, tag.RecordName);
  std::vector<TDataTable *> written;
  TGroupRecord record;
  record.Id = tag.Id;
  try {
    for (TDataTable *t : prepared)
      if (t->WriteCommitUnit(tag)) {
        written.push_back(t);
        record.Tables.push_back(t->Name());
      }
    // The commit point: with the record every table's unit counts, without it none.
    if (!written.empty()) {
      ErrorTexts texts;
      texts.Table = written.front()->Name();
      texts.Database = FDatabaseName;
      WriteGroupRecord(recordFile, FMemory, record, flushOS || FSession->Settings.ForceBufferFlush, texts);
    }
  } catch (...) {
    for (TDataTable *t : prepared) t->CancelCommitUnit();
    finishAll();
    throw;
  }
  std::exception_ptr failure;
  for (TDataTable *t : written) {
    try {
      t->ApplyCommitUnit();
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
  }
  // A table whose unit could not be applied is completed from its journal by the next lock;
  // the record stays for it.
  if (!failure && !written.empty()) {
    try {
      TFileHandler::DeleteFile(recordFile, FMemory, written.front()->Name());
    } catch (...) {
    }
  }
  std::exception_ptr finished = finishAll();
  if (failure) std::rethrow_exception(failure);
  if (finished) std::rethrow_exception(finished);
}

void TDataDirectory::CommitTransaction(bool flushOS) {
  if (!FInTransaction) return;
  // Tables with a journal commit together, as one unit; the others (in memory, opened alone)
  // as before.
  std::vector<TDataTable *> journaled;
  for (auto &table : FTables)
    if (table->InTransaction() && table->Journal()) journaled.push_back(table.get());
  std::sort(journaled.begin(), journaled.end(),
            [](const TDataTable *a, const TDataTable *b) { return a->Name() < b->Name(); });
  if (journaled.size() > 1) CommitGroup(journaled, flushOS);
  for (auto &table : FTables) table->CommitTransaction(flushOS);
  FInTransaction = false;
  // Tables kept only for the transaction are closed now.
  for (size_t i = FTables.size(); i-- > 0;) {
    if (FTables[i]->OpenCount() == 0) {
      FTables[i]->CloseFiles();
      FTables.erase(FTables.begin() + static_cast<long>(i));
    }
  }
}

void TDataDirectory::RollbackTransaction() {
  if (!FInTransaction) return;
  FInTransaction = false;
  for (auto &table : FTables) table->RollbackTransaction();
  for (size_t i = FTables.size(); i-- > 0;) {
    if (FTables[i]->OpenCount() == 0) {
      FTables[i]->CloseFiles();
      FTables.erase(FTables.begin() + static_cast<long>(i));
    }
  }
}

}  // namespace kura
