// The index file: pages through the file layer, scrambled for encrypted tables.
#include "engine/index/IndexFile.h"

#include <cstring>

#include "engine/crypt/TableScrambling.h"
#include "engine/errors/EngineError.h"
#include "engine/index/IndexBytes.h"
#include "engine/index/IndexDefinition.h"
#include "engine/index/IndexKeyMapping.h"
#include "engine/table/DataDirectory.h"
#include "engine/table/DataTable.h"
#include "engine/table/SessionSettings.h"

namespace kura {

TIndexFile::TIndexFile(TDataTable *table) : FTable(table), FScrambleBuffer(kIndexPageSize) {
  FPages = std::make_unique<TIndexPageCache>(*this, TableTexts());
}

TIndexFile::~TIndexFile() {
  try {
    if (IsOpen()) Close();
  } catch (...) {
  }
}

ErrorTexts TIndexFile::TableTexts() const {
  ErrorTexts texts;
  if (FTable) {
    texts.Table = FTable->Name();
    if (FTable->Directory()) texts.Database = FTable->Directory()->DatabaseName();
  } else {
    texts.Table = FileName();
  }
  return texts;
}

void TIndexFile::Configure() {
  FPages = std::make_unique<TIndexPageCache>(*this, TableTexts());
  if (FTable) {
    if (FEncryptionFromTable) FEncrypted = FTable->DataFile().IsOpen() && FTable->DataFile().Encrypted();
    FPages->SetPagesPerIndex(static_cast<int>(FTable->Settings().IndexBufferSize / 8192));
  }
  FWritten = false;
}

void TIndexFile::OpenIndexFile(const std::string &name, bool memory, bool exclusive, bool readOnly, bool temporary) {
  Open(name, memory, exclusive, readOnly, temporary);
  AllowReadMapping();
  WriteInSmallPieces();
  try {
    Configure();
    FPages->Open();
  } catch (...) {
    Close();
    throw;
  }
}

void TIndexFile::CreateIndexFile(const std::string &name, bool memory, bool temporary) {
  Create(name, memory, temporary);
  AllowReadMapping();
  WriteInSmallPieces();
  try {
    Configure();
    FPages->CreateNew();
  } catch (...) {
    Close();
    throw;
  }
}

bool TIndexFile::ReadPage(uint32_t pageNo, uint8_t *buffer) {
  const int64_t offset = static_cast<int64_t>(pageNo) * kIndexPageSize;
  // The file's size is asked only when the page is not all there: a page past the end is no
  // page (false); a short read of one inside it fails as any short read does.
  if (ReadAtMost(offset, buffer, kIndexPageSize) != kIndexPageSize) {
    if (offset + kIndexPageSize > Size()) return false;
    if (ReadAt(offset, buffer, kIndexPageSize, ShortReadAllowed()) != kIndexPageSize) return false;
  }
  if (FEncrypted) ScrambleIndexPage(buffer);
  return true;
}

void TIndexFile::WritePage(uint32_t pageNo, const uint8_t *buffer) {
  const uint8_t *out = buffer;
  if (FEncrypted) {
    std::memcpy(FScrambleBuffer.data(), buffer, kIndexPageSize);
    ScrambleIndexPage(FScrambleBuffer.data());
    out = FScrambleBuffer.data();
  }
  WriteAt(static_cast<int64_t>(pageNo) * kIndexPageSize, out, kIndexPageSize);
  FWritten = true;
  if (FTable) FTable->MarkWritten();
}

uint32_t TIndexFile::PageCount() { return static_cast<uint32_t>(Size() / kIndexPageSize); }

void TIndexFile::Truncate(uint32_t pageCount) {
  if (static_cast<int64_t>(pageCount) * kIndexPageSize < Size())
    TruncateAt(static_cast<int64_t>(pageCount) * kIndexPageSize);
}

bool TIndexFile::WriteBackAllowed() { return !(FTable && FTable->InTransaction()); }

bool TIndexFile::ShortReadAllowed() const {
  if (FTable) return FTable->ShortReadsAllowed();
  return IsTemporary() && FWritten;
}

bool TIndexFile::ReadHeaderChanged() {
  // Every read lock asks this, mostly to learn that nothing changed: the ChangeCounter (the
  // header page's first four bytes, stored plainly in unscrambled files) is read alone, and the
  // whole page, checked and decoded, only when it moved. A file too short for the counter
  // takes the whole-page path, which reports the damage.
  if (!FEncrypted) {
    uint8_t counter[4];
    bool same = false;
    try {
      same = ReadAt(0, counter, sizeof counter, true) == static_cast<int64_t>(sizeof counter) &&
             indexbytes::GetI32LE(counter) == FPages->DiskChangeCounter();
    } catch (const EKuraEngineError &) {
      // A short file: the whole-page read below says what is wrong with it.
    }
    if (same) return false;
  }
  return FPages->RereadHeader();
}

void TIndexFile::DropCache() { FPages->DropPages(); }

void TIndexFile::RereadHeader() { FPages->Open(); }

bool TIndexFile::WriteChanges(bool forceHeader, bool flushOS) {
  if (IsReadOnly()) return false;
  bool wrote = FPages->HasDirtyPages();
  FPages->WriteDirtyPages();
  wrote = FPages->WriteHeader(forceHeader) || wrote;
  if (wrote && flushOS) FlushOS();
  FPages->Trim();
  return wrote;
}

void TIndexFile::CountChangeInMemory() { FPages->CountChangeInMemory(); }

void TIndexFile::Empty() { FPages->EmptyAll(); }

void TIndexFile::CloseFile(bool discard) {
  if (!IsOpen()) return;
  try {
    if (!discard && !IsReadOnly()) {
      FPages->WriteDirtyPages();
      FPages->WriteHeader(false);
    }
  } catch (...) {
    FPages->DropPages();
    Close();
    throw;
  }
  FPages->DropPages();
  Close();
}

bool TIndexFile::NoPrimaryKey() const { return FPages->Header().NoPrimaryKey; }

TIndexFile *TableIndexFile(TDataTable &table) {
  // Checked once here, so that callers need no cast of their own.
  return dynamic_cast<TIndexFile *>(table.IndexFile());
}

namespace {

// The definitions name fields by number; types and sizes come from the new data file.
TIndexDefinition ResolveFields(const TIndexDefinition &given, TDataFile &data, const ErrorTexts &texts) {
  TIndexDefinition d = given;
  for (TIndexDefinitionField &f : d.Fields) {
    if (f.FieldNumber < 1 || f.FieldNumber > data.FieldCount()) {
      ErrorTexts t = texts;
      t.Field = std::to_string(f.FieldNumber);
      t.Index = given.Name;
      RaiseEngineError(KURA_INVALIDIDXDESC, t);
    }
    f = DefinitionFieldFromDescriptor(data.Field(f.FieldNumber), f.Descending);
  }
  return d;
}

void DefineIndexes(TIndexFile &file, TDataTable &table, const std::vector<TIndexDefinition> &indexes) {
  ErrorTexts texts;
  texts.Table = table.Name();
  if (table.Directory()) texts.Database = table.Directory()->DatabaseName();
  TIndexHeader &header = file.Header();
  bool primaryGiven = false;
  for (const TIndexDefinition &given : indexes) {
    if (!given.Name.empty()) continue;
    if (primaryGiven) RaiseEngineError(KURA_PRIMARYKEYREDEFINE, texts);
    primaryGiven = true;
    DefinePrimaryIndex(header, ResolveFields(given, table.DataFile(), texts), texts);
  }
  if (!primaryGiven) DefinePrimaryIndex(header, TIndexDefinition{}, texts);
  for (const TIndexDefinition &given : indexes)
    if (!given.Name.empty()) AddSecondaryIndex(header, ResolveFields(given, table.DataFile(), texts), texts);
  file.Pages().MarkHeaderDirty();
}

}  // namespace

void InstallIndexFiles() {
  TSideFileFactories &factories = SideFileFactories();
  factories.OpenIndex = [](TDataTable &table, const std::string &fileName, bool &rebuilt) {
    auto file = std::make_unique<TIndexFile>(&table);
    const bool readOnly = table.DataFile().IsReadOnly();
    try {
      file->OpenIndexFile(fileName, table.InMemory(), table.Exclusive(), readOnly, table.Temporary());
    } catch (const EKuraEngineError &e) {
      if (e.ErrorCode() != KURA_OSENOENT) throw;
      // The index definitions (primary key, secondary indexes) lived in the missing file, so
      // making it again loses them. That is done only for a user who has the table alone and
      // may write it: made again while others have the table open, their caches would go on
      // from the lost file; and a reader that cannot write it would see no records at all.
      // Everyone else is told which file is missing.
      if (!table.Exclusive() || readOnly || table.DataFile().IsReadOnlyByAttribute()) {
        ErrorTexts texts;
        texts.Table = table.Name();
        texts.Message = fileName;
        if (table.Directory()) texts.Database = table.Directory()->DatabaseName();
        RaiseEngineError(KURA_INDEXMISSING, texts);
      }
      // A missing index file is made again, empty; the table's records are then re-indexed
      // by the system record index alone.
      // Made as an ordinary file: a temporary one would be deleted by this close. The open
      // below marks it temporary, so it still goes with the table's last close.
      file->CreateIndexFile(fileName, table.InMemory(), false);
      file->CloseFile(false);
      file->OpenIndexFile(fileName, table.InMemory(), table.Exclusive(), readOnly, table.Temporary());
      rebuilt = true;
    }
    return std::unique_ptr<TTableSideFile>(std::move(file));
  };
  factories.CreateIndex = [](TDataTable &table, const std::string &fileName,
                             const std::vector<TIndexDefinition> &indexes) {
    auto file = std::make_unique<TIndexFile>(&table);
    // Created as an ordinary file like the data file: the table closes it right after
    // creating and reopens it (as temporary, for a temporary table) when it opens its files.
    file->CreateIndexFile(fileName, table.InMemory(), false);
    try {
      DefineIndexes(*file, table, indexes);
    } catch (...) {
      file->CloseFile(true);
      TFileHandler::DeleteFile(fileName, table.InMemory(), table.Name());
      throw;
    }
    return std::unique_ptr<TTableSideFile>(std::move(file));
  };
}

}  // namespace kura
