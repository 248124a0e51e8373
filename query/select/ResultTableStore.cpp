// Result tables: creation, and the move from memory to files.
#include "query/select/ResultTableStore.h"

#include "engine/file/FileHandler.h"
#include "engine/index/IndexDefinition.h"
#include "engine/index/IndexFile.h"
#include "engine/table/DataDirectory.h"
#include "engine/table/DataSession.h"
#include "engine/table/TableFileMoves.h"

namespace kura {

std::string UniqueResultTableName(TDataDirectory &directory) {
  // The directory's own pattern (thread number, counter), free in both places.
  const std::string first = directory.UniqueTableName(true);
  const std::string stem = first.substr(0, first.size() - 4);
  if (!directory.TableExists(first, false)) return first;
  for (unsigned long counter = 0;; ++counter) {
    const std::string name = stem + "-" + std::to_string(counter) + ".DAT";
    if (!directory.TableExists(name, true) && !directory.TableExists(name, false)) return name;
  }
}

TDataTable *CreateResultTable(TDataDirectory &directory, const std::string &name, const TSelectPlan &plan,
                              bool inMemory) {
  TDataFileDefinition definition;
  definition.Fields = plan.ResultFields;
  for (TFieldDescriptor &f : definition.Fields) f.FieldNumber = 0;
  definition.LanguageId = plan.LanguageId;
  definition.SortId = plan.SortId;
  definition.BlobBlockSize = 512;
  if (plan.Query->Encrypted) {
    definition.Encrypted = true;
    definition.Password = plan.Query->Password;
    directory.Session()->AddPassword(plan.Query->Password);
  }
  // Deleted explicitly by the query when it is done with it.
  TDataTable *table = directory.CreateTable(name, definition, inMemory, false);
  if (auto *index = dynamic_cast<TIndexFile *>(table->IndexFile())) {
    DefinePrimaryIndex(index->Header(), TIndexDefinition{}, ErrorTexts{});
    index->Pages().MarkHeaderDirty();
  }
  return table;
}

TDataTable *MoveResultTableToFiles(TDataDirectory &directory, TDataTable *table) {
  const std::string name = table->Name();
  TTableFileSet memory{directory.Path(), name, true, false};
  TTableFileSet disk{directory.Path(), name, false, false};
  // Everything cached goes into the in-memory files, which outlive the close.
  table->FlushBuffers();
  directory.CloseTable(table);
  std::vector<std::string> copied;
  try {
    const std::vector<std::string> from = memory.Files(), to = disk.Files();
    for (size_t i = 0; i < from.size(); ++i) {
      if (!TFileHandler::Exists(from[i], true)) continue;
      TFileHandler source;
      source.Open(from[i], true, false, true, false);
      try {
        source.CopyTo(to[i], false);
      } catch (...) {
        source.Close();
        throw;
      }
      source.Close();
      copied.push_back(to[i]);
    }
  } catch (...) {
    for (const std::string &file : copied) {
      try {
        TFileHandler::DeleteFile(file, false, name);
      } catch (...) {
      }
    }
    directory.OpenTable(name, true, false, true, false);
    throw;
  }
  DeleteFileSet(memory, name);
  return directory.OpenTable(name, true, false, false, false);
}

}  // namespace kura
