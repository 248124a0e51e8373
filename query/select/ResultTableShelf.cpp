// TResultTableShelf: keeping one emptied in-memory result table between SELECTs.
#include "query/select/ResultTableShelf.h"

#include <cstdint>

#include "engine/data/DataFile.h"
#include "engine/index/IndexFile.h"
#include "engine/table/DataDirectory.h"
#include "engine/table/DataSession.h"
#include "engine/table/DataTable.h"

namespace kura {

namespace {

// Whether emptying the index would change nothing: no page in use, no record counted.
bool IndexHoldsNothing(const TIndexHeader &header) {
  if (header.NextPage != 1 || header.LiveRecordCount != 0) return false;
  for (const TIndexDescriptor &d : header.Descriptors)
    if (d.RootPage != 0 || d.FirstFreePage != 0 || d.FullTextPage != 0) return false;
  return true;
}

// Empties the table's files. A result read by position never had its record index built (that
// happens only for a cursor on it), so its index usually holds nothing and is left alone
// rather than having its header encoded and written again.
void EmptyResultTable(TDataTable &table) {
  table.DataFile().Empty(false);
  if (TTableSideFile *blob = table.BlobFile()) blob->Empty();
  TIndexFile *index = TableIndexFile(table);
  if (index && IndexHoldsNothing(index->Header())) return;
  if (TTableSideFile *side = table.IndexFile()) side->Empty();
}

}  // namespace

TResultTableShelf::~TResultTableShelf() {
  try {
    Drop();
  } catch (...) {
    // An in-memory table goes with the process at worst.
  }
}

std::string TResultTableShelf::LayoutKey(const TDataFileDefinition &definition) {
  constexpr size_t kDescriptorBytes = 768;
  std::string key;
  key.reserve(4 + definition.Fields.size() * kDescriptorBytes);
  key.push_back(static_cast<char>(definition.LanguageId & 0xFF));
  key.push_back(static_cast<char>(definition.LanguageId >> 8));
  key.push_back(static_cast<char>(definition.SortId & 0xFF));
  key.push_back(static_cast<char>(definition.SortId >> 8));
  uint8_t bytes[kDescriptorBytes];
  for (const TFieldDescriptor &field : definition.Fields) {
    field.Encode(bytes);
    key.append(reinterpret_cast<const char *>(bytes), kDescriptorBytes);
  }
  return key;
}

bool TResultTableShelf::Keep(TDataDirectory &directory, TDataTable *table, const std::string &layout) {
  if (!table || !table->InMemory() || table->OpenCount() != 1 || table->InTransaction() || layout.empty())
    return false;
  Drop();
  // Emptied now, so that a kept table holds no rows in memory while it waits (nobody else has
  // it open, so no cursor needs to learn of the change).
  EmptyResultTable(*table);
  directory.AddReference();
  FDirectory = &directory;
  FTable = table;
  FName = table->Name();
  FLayout = layout;
  return true;
}

TDataTable *TResultTableShelf::Take(TDataDirectory &directory, const std::string &layout, std::string &name) {
  if (!FTable) return nullptr;
  if (FDirectory != &directory || FLayout != layout || FTable->InTransaction() || FTable->OpenCount() != 1) {
    Drop();
    return nullptr;
  }
  TDataTable *table = FTable;
  name = FName;
  FTable = nullptr;
  FName.clear();
  FLayout.clear();
  // The caller holds the directory open itself.
  TDataDirectory *held = FDirectory;
  FDirectory = nullptr;
  FSession.CloseDataDirectory(held);
  return table;
}

void TResultTableShelf::Drop() {
  if (!FTable) return;
  TDataDirectory *directory = FDirectory;
  TDataTable *table = FTable;
  const std::string name = FName;
  FTable = nullptr;
  FDirectory = nullptr;
  FName.clear();
  FLayout.clear();
  try {
    // A temporary table's cache needs no writing before it is deleted.
    if (table->OpenCount() == 1 && !table->InTransaction()) table->SetOpenFlags(true, false, true);
    directory->CloseTable(table);
    if (directory->TableExists(name, true)) directory->DeleteTable(name, true);
  } catch (...) {
    FSession.CloseDataDirectory(directory);
    throw;
  }
  FSession.CloseDataDirectory(directory);
}

}  // namespace kura
