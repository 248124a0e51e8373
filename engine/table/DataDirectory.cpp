// Tables of an open directory.
#include "engine/table/DataDirectory.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <cstdlib>

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

void TDataDirectory::CommitTransaction(bool flushOS) {
  if (!FInTransaction) return;
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
