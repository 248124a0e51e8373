// Result tables: creation, and the move from memory to files.
#include "query/select/ResultTableStore.h"

#include <algorithm>

#include "engine/data/Scramble.h"
#include "engine/file/FileHandler.h"
#include "engine/sort/SortOutput.h"
#include "engine/index/IndexDefinition.h"
#include "engine/index/IndexFile.h"
#include "engine/table/DataDirectory.h"
#include "engine/table/DataSession.h"
#include "engine/table/TableFileMoves.h"

namespace kura {

namespace {

// The name a result keeps in files: its own, unless a file has it already (a result moved
// there before, a table left by a killed run).
std::string NameInFiles(TDataDirectory &directory, const std::string &name) {
  if (!directory.TableExists(name, false)) return name;
  const std::string stem = name.substr(0, name.size() - 4);
  for (unsigned long counter = 0;; ++counter) {
    const std::string other = stem + "-" + std::to_string(counter) + ".DAT";
    if (!directory.TableExists(other, true) && !directory.TableExists(other, false)) return other;
  }
}

}  // namespace

TDataFileDefinition ResultTableDefinition(TDataDirectory &directory, const TSelectPlan &plan) {
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
  return definition;
}

TDataTable *CreateResultTable(TDataDirectory &directory, const std::string &name,
                              const TDataFileDefinition &definition, bool inMemory) {
  // Deleted explicitly by the query when it is done with it.
  TDataTable *table = directory.CreateTable(name, definition, inMemory, false);
  if (auto *index = dynamic_cast<TIndexFile *>(table->IndexFile())) {
    DefinePrimaryIndex(index->Header(), TIndexDefinition{}, ErrorTexts{});
    index->Pages().MarkHeaderDirty();
  }
  return table;
}

TDataTable *CreateResultTable(TDataDirectory &directory, const std::string &name, const TSelectPlan &plan,
                              bool inMemory) {
  return CreateResultTable(directory, name, ResultTableDefinition(directory, plan), inMemory);
}

std::vector<int32_t> LiveResultSlots(TDataTable &table) {
  TDataFile &file = table.DataFile();
  file.WriteDirtyRecords(true);
  const size_t recordSize = file.RecordSize();
  const int32_t slots = file.SlotCount();
  const int32_t perChunk = static_cast<int32_t>(std::max<size_t>(1, 65536 / recordSize));
  std::vector<int32_t> live;
  std::vector<uint8_t> chunk;
  for (int32_t first = 1; first <= slots; first += perChunk) {
    const int32_t count = std::min(perChunk, slots - first + 1);
    chunk.resize(static_cast<size_t>(count) * recordSize);
    file.ReadAt(FirstSlotOffset(file) + static_cast<int64_t>(first - 1) * static_cast<int64_t>(recordSize),
                chunk.data(), static_cast<int64_t>(chunk.size()));
    for (int32_t i = 0; i < count; ++i) {
      uint8_t *image = chunk.data() + static_cast<size_t>(i) * recordSize;
      if (file.Encrypted()) Scramble(image, recordSize, kRecordKey);
      if (image[0] == 0) live.push_back(first + i);
    }
  }
  return live;
}

const uint8_t *TResultRecordBlock::Record(TDataFile &file, int32_t n) {
  const size_t recordSize = file.RecordSize();
  if (n < FFirst || n >= FFirst + FCount) {
    const int32_t perBlock = static_cast<int32_t>(std::max<size_t>(1, 65536 / recordSize));
    FFirst = n;
    FCount = std::min(perBlock, file.SlotCount() - n + 1);
    FRecords.resize(static_cast<size_t>(FCount) * recordSize);
    file.ReadAt(FirstSlotOffset(file) + static_cast<int64_t>(n - 1) * static_cast<int64_t>(recordSize),
                FRecords.data(), static_cast<int64_t>(FRecords.size()));
    if (file.Encrypted())
      for (int32_t i = 0; i < FCount; ++i) Scramble(FRecords.data() + static_cast<size_t>(i) * recordSize, recordSize, kRecordKey);
  }
  return FRecords.data() + static_cast<size_t>(n - FFirst) * recordSize;
}

TDataTable *MoveResultTableToFiles(TDataDirectory &directory, TDataTable *table) {
  const std::string name = table->Name();
  const std::string diskName = NameInFiles(directory, name);
  TTableFileSet memory{directory.Path(), name, true, false};
  TTableFileSet disk{directory.Path(), diskName, false, false};
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
  return directory.OpenTable(diskName, true, false, false, false);
}

}  // namespace kura
