// Restructuring by copying: every record goes into a new table of the new structure, its values
// converted field by field (fields matched by field number), and the new table's files then
// take the place of the old ones. Until that last step the old table is not touched, and the
// step itself is all or nothing.
#include <algorithm>
#include <climits>
#include <cstring>

#include "engine/cursor/DataCursor.h"
#include "engine/cursor/RestructureReports.h"
#include "engine/data/FieldCodec.h"
#include "engine/data/ValueConversion.h"
#include "engine/file/FileNames.h"
#include "engine/table/DataDirectory.h"
#include "engine/table/DataSession.h"
#include "engine/table/DataTable.h"
#include "engine/table/TableFileMoves.h"
#include "engine/table/TableFileSwapPlan.h"
#include "engine/file/FileHandler.h"
#include "engine/table/PostJournal.h"
#include "engine/util/Bytes.h"

namespace kura {

namespace {

std::string WithoutExtension(const std::string &name) {
  const size_t dot = name.find_last_of('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

// Where the new table is built, and what is given back when the work ends: the directory
// opened for it and a password added for it.
class TBuildPlace {
 public:
  TBuildPlace(TDataDirectory *tableDirectory, bool memory, const TRestructureDefinition &def)
      : FSession(tableDirectory->Session()) {
    if (memory) {
      // An in-memory table is rebuilt in the in-memory database beside it.
      FDirectory = tableDirectory;
    } else {
      const std::string path = WithTrailingSeparator(FSession->PrivateDir());
      FDirectory = FSession->OpenDataDirectory(path, path);
      FOwnsDirectory = true;
    }
    if (def.Encrypted && !FSession->HasPassword(def.Password)) {
      FSession->AddPassword(def.Password);
      FPassword = def.Password;
    }
  }
  ~TBuildPlace() {
    if (!FPassword.empty()) FSession->RemovePassword(FPassword);
    if (FOwnsDirectory) FSession->CloseDataDirectory(FDirectory);
  }
  TBuildPlace(const TBuildPlace &) = delete;
  TBuildPlace &operator=(const TBuildPlace &) = delete;
  TDataDirectory *Directory() const { return FDirectory; }

 private:
  TDataSession *FSession;
  TDataDirectory *FDirectory = nullptr;
  bool FOwnsDirectory = false;
  std::string FPassword;
};

}  // namespace

bool TDataCursor::CopyIntoNewTable(const TRestructureDefinition &def, TLossReporter &losses) {
  const bool memory = FTable->InMemory();
  const std::string tableName = FTable->Name();
  TBuildPlace place(FDirectory, memory, def);
  TDataDirectory *buildDirectory = place.Directory();
  const std::string freshName = WithoutExtension(buildDirectory->UniqueTableName(memory));

  // 1. The new table, opened alone, in natural order, keeping the auto-increment values given.
  TDataFileDefinition definition;
  definition.Fields = def.Fields;
  definition.IndexDefinitionCount = static_cast<int>(def.Indexes.size());
  definition.LanguageId = def.LanguageId;
  definition.SortId = def.SortId;
  definition.BlobBlockSize = def.BlobBlockSize;
  definition.Description = def.Description;
  definition.Encrypted = def.Encrypted;
  definition.Password = def.Password;
  definition.UserMajorVersion = def.UserMajorVersion;
  definition.UserMinorVersion = def.UserMinorVersion;
  TDataCursor fresh(buildDirectory, freshName);
  TCursorOptions options;
  options.Exclusive = true;
  options.InMemory = memory;
  options.NaturalOrder = true;
  options.SuppressAutoInc = true;
  fresh.SetOptions(options);
  fresh.CreateTable(definition, def.Indexes);

  auto dropFresh = [&]() noexcept {
    try {
      fresh.CloseCursor();
    } catch (...) {
    }
    try {
      fresh.DeleteTable();
    } catch (...) {
    }
  };

  // 2. Every live record, in slot order.
  bool cancelled = false;
  try {
    fresh.OpenCursor();
    const std::vector<TFieldDescriptor> &oldFields = FTableFields;
    const std::vector<TFieldDescriptor> &newFields = fresh.Fields();
    const uint16_t newLanguage = fresh.LanguageId();
    // For each old field, the position of the new field with its number (-1: dropped).
    std::vector<int> target(oldFields.size(), -1);
    bool autoIncMapped = false;
    for (size_t j = 0; j < oldFields.size(); ++j) {
      for (size_t k = 0; k < def.Fields.size(); ++k) {
        if (def.Fields[k].FieldNumber == oldFields[j].FieldNumber) {
          target[j] = static_cast<int>(k);
          if (newFields[k].IsAutoInc()) autoIncMapped = true;
        }
      }
    }
    TDataFile &oldData = FTable->DataFile();
    const int32_t slots = oldData.SlotCount();
    int lastReported = 0;
    std::vector<uint8_t> stored, oldBuffer(FBufferSize, 0), record = fresh.NewRecordBuffer(), blob, value;
    for (int32_t n = 1; n <= slots && !cancelled; ++n) {
      if (!ReadStored(n, stored, ReadForward, 0)) {
        ReportProgress(lastReported, n, slots);
        continue;
      }
      fresh.InitRecord(record.data());
      for (size_t j = 0; j < oldFields.size() && !cancelled; ++j) {
        const TFieldDescriptor &of = oldFields[j];
        if (target[j] < 0) {
          cancelled = !losses.Report(TDataLossCause::LossFieldDropped, of.Name);
          continue;
        }
        const TFieldDescriptor &nf = newFields[static_cast<size_t>(target[j])];
        if (kura::FieldIsNull(of, stored.data())) {
          // A value that was not there stays absent: the new default only fills a field that
          // became required.
          if (!(nf.Required && !nf.DefaultValue.empty())) kura::SetFieldNull(nf, record.data());
          continue;
        }
        if (of.Type == EngineFieldType::Blob) {
          if (nf.Type != EngineFieldType::Blob) {
            kura::SetFieldNull(nf, record.data());
            cancelled = !losses.Report(TDataLossCause::LossConversion, nf.Name);
            continue;
          }
          std::memcpy(oldBuffer.data(), stored.data(), FStoredSize);
          const uint32_t size = OpenBlob(oldBuffer.data(), static_cast<int>(j + 1));
          blob.assign(size, 0);
          try {
            if (size > 0) GetBlob(oldBuffer.data(), static_cast<int>(j + 1), 0, size, blob.data());
          } catch (...) {
            FreeBlob(oldBuffer.data(), static_cast<int>(j + 1));
            throw;
          }
          FreeBlob(oldBuffer.data(), static_cast<int>(j + 1));
          kura::SetFieldNull(nf, record.data());
          if (size > 0) {
            // Written through the new table's blob operations; the blob goes to its file
            // with the record.
            fresh.OpenBlob(record.data(), target[j] + 1);
            fresh.PutBlob(record.data(), target[j] + 1, 0, size, blob.data());
            fresh.FreeBlob(record.data(), target[j] + 1);
          }
          continue;
        }
        const size_t oldSize = of.IsAutoInc() ? 4 : of.DataSize;
        const size_t newSize = nf.IsAutoInc() ? 4 : nf.DataSize;
        value.assign(newSize, 0);
        const bool converted = ConvertFieldValue(of.Type, oldSize, FieldData(of, stored.data()), nf.Type, newSize,
                                                 nf.DataScale, value.data());
        if (nf.Type == EngineFieldType::String) {
          // Written as any string is: trailing blanks, character case, empty text as NULL.
          SetStringField(nf, record.data(), ZeroTerminatedText(value.data(), value.size()), newLanguage);
        } else {
          std::memcpy(FieldData(nf, record.data()), value.data(), newSize);
          if (!nf.IsAutoInc()) record[nf.Offset] = 1;
        }
        if (!converted) cancelled = !losses.Report(TDataLossCause::LossConversion, nf.Name);
      }
      if (cancelled) {
        fresh.CancelRecord(record.data());
        break;
      }
      if (!autoIncMapped) PutI32(record.data() + kAutoIncOffset, GetI32(stored.data() + kAutoIncOffset));
      try {
        fresh.AppendRecord(record.data(), false);
      } catch (const EKuraEngineError &e) {
        fresh.CancelRecord(record.data());
        const uint16_t code = e.ErrorCode();
        if (IsFileFailure(code)) throw;
        if (code == KURA_KEYVIOL) {
          const std::string &index = e.Context().Index;
          cancelled = !losses.Report(TDataLossCause::LossKeyViolation, index.empty() ? std::string("PRIMARY") : index);
        } else if (code == KURA_REQDERR || code == KURA_MINVALERR || code == KURA_MAXVALERR) {
          cancelled = !losses.Report(TDataLossCause::LossValidity, e.Context().Field);
        } else {
          cancelled = !losses.Report(TDataLossCause::LossUnknown, std::string());
        }
      }
      ReportProgress(lastReported, n, slots);
    }
    if (cancelled) {
      dropFresh();
      return false;
    }
    if (ProgressCallback) ProgressCallback(100);

    // 3. The last auto-increment value: at least the one given and the old table's. Values
    // handed out stay handed out, so a restructure never makes one be given again.
    TDataFile &freshData = fresh.Table()->DataFile();
    const int64_t wantedLast = std::max<int64_t>(def.LastAutoIncValue, oldData.LastAutoIncValue());
    const int32_t last = static_cast<int32_t>(std::min<int64_t>(wantedLast, INT32_MAX));
    if (freshData.LastAutoIncValue() < last) freshData.SetLastAutoIncValue(last);
    fresh.CloseCursor();
  } catch (...) {
    dropFresh();
    throw;
  }

  // 4. The files change places. The new table is first brought into the old table's
  // directory (copied when it lies on another device), so the old table is touched only by
  // renames within its directory; any failure puts back what was moved.
  ReleaseEverything();
  const std::string path = FDirectory->Path();
  TTableFileSet freshSet{buildDirectory->Path(), freshName, memory, false};
  TTableFileSet staged = freshSet;  // where the new table's files are
  // The new table's journal (all it wrote is on its files) stays behind.
  try {
    const std::string freshJournal = TableFileName(buildDirectory->Path(), freshName, kJournalExtension);
    if (TFileHandler::Exists(freshJournal, memory)) TFileHandler::DeleteFile(freshJournal, memory, tableName);
  } catch (...) {
  }
  TFileSwapPlan plan(path, tableName, memory, !memory && FDirectory->Session()->Settings.ForceBufferFlush);
  bool decided = false;
  try {
    if (!SameFileName(buildDirectory->Path(), path)) {
      const TTableFileSet beside{path, WithoutExtension(FDirectory->UniqueTableName(memory)), memory, false};
      if (!memory) plan.WriteStaging(beside.Files(), tableName);
      TFileMoves staging;
      staging.MoveSet(freshSet, beside, tableName);
      staging.Commit();
      staged = beside;
    }
    const TTableFileSet current{path, tableName, memory, false};
    const bool keepBackups = !memory && !def.NoBackup;
    // Where the old files go: the backup names, or (without backups) a temporary name from
    // which they are deleted once the new files are in place.
    const TTableFileSet replaced = keepBackups ? TTableFileSet{path, tableName, memory, true}
                                               : TTableFileSet{path, WithoutExtension(FDirectory->UniqueTableName(memory)),
                                                               memory, false};
    // Older backups are set aside before the table's files become the backups, and removed
    // once everything is in place.
    const TTableFileSet olderBackups{path, WithoutExtension(FDirectory->UniqueTableName(memory)), memory, true};
    const TTableFileSet &discarded = keepBackups ? olderBackups : replaced;
    if (memory) {
      TFileMoves moves;
      moves.MoveSet(current, replaced, tableName);
      moves.MoveSet(staged, current, tableName);
      moves.Commit();
      try {
        DeleteFileSet(discarded, tableName);
      } catch (...) {
      }
    } else {
      // On disk the swap is planned first, so that a process dying half-way leaves a plan the
      // next open of the table finishes.
      const std::vector<std::string> cur = current.Files(), rep = replaced.Files(), old = olderBackups.Files(),
                                     stg = staged.Files(), gone = discarded.Files();
      for (size_t i = 0; i < cur.size(); ++i)
        if (keepBackups && TFileHandler::Exists(rep[i], memory)) plan.AddMove(rep[i], old[i]);
      for (size_t i = 0; i < cur.size(); ++i)
        if (TFileHandler::Exists(cur[i], memory)) plan.AddMove(cur[i], rep[i]);
      for (size_t i = 0; i < cur.size(); ++i)
        if (TFileHandler::Exists(stg[i], memory)) plan.AddMove(stg[i], cur[i]);
      for (const std::string &file : gone) plan.AddDelete(file);
      // The old files' post journal: nothing was pending (the table is open alone), and it
      // describes files that are now backups.
      plan.AddDelete(TableFileName(path, tableName, kJournalExtension));
      decided = true;
      plan.Carry(tableName);
    }
  } catch (...) {
    if (decided) {
      try {
        TFileSwapPlan::CompleteInterrupted(path, tableName, memory);
      } catch (...) {
      }
    } else {
      try {
        DeleteFileSet(staged, tableName);
        TFileSwapPlan::CompleteInterrupted(path, tableName, memory);
      } catch (...) {
      }
    }
    try {
      OpenCursor();
    } catch (...) {
    }
    throw;
  }
  OpenCursor();
  return true;
}

}  // namespace kura
