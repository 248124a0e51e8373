#include "query/select/SelectQuery.h"

#include <algorithm>
#include <chrono>

#include "engine/errors/EngineError.h"
#include "engine/index/IndexDefinition.h"
#include "engine/index/IndexFile.h"
#include "engine/table/DataSession.h"
#include "query/change/StatementTableFiles.h"
#include "query/select/ResultTableShelf.h"
#include "query/select/ResultTableStore.h"
#include "query/select/SelectBlobs.h"
#include "query/select/SelectExecution.h"
#include "query/select/SelectLiveCursor.h"
#include "query/select/SelectValues.h"

namespace kura {

TSelectQuery::TSelectQuery(TDataSession &session, std::string databaseName)
    : FSession(session), FDatabaseName(std::move(databaseName)) {
  FStatement.SetValidator([this](TQueryStatement &, TDataQuery &query) { Validate(query); });
}

TSelectQuery::~TSelectQuery() {
  try {
    Close();
  } catch (...) {
    // Closing never reports: the files are gone with the process at worst.
  }
}

TSelectPlan *TSelectQuery::PlanOf(const TDataQuery *query) const {
  auto it = FPlans.find(query);
  return it == FPlans.end() ? nullptr : it->second.get();
}

template <class TPrepare>
void TSelectQuery::PrepareBy(TPrepare &&prepare) {
  Close();
  try {
    prepare();
  } catch (...) {
    FPlans.clear();
    CloseSources();
    throw;
  }
  FParameterValues.assign(FStatement.ParameterCount(), TParameterValue());
}

void TSelectQuery::Prepare(std::string_view sql) {
  PrepareBy([&] { FStatement.Prepare(sql); });
}

void TSelectQuery::PrepareParsed(TQueryStatement &parsed) {
  PrepareBy([&] { FStatement.AdoptParsed(parsed); });
}

void TSelectQuery::PrepareNext() {
  ClearResult();
  FPlans.clear();
  CloseSources();
  try {
    FStatement.PrepareNext();
  } catch (...) {
    FPlans.clear();
    CloseSources();
    throw;
  }
  FParameterValues.assign(FStatement.ParameterCount(), TParameterValue());
}

void TSelectQuery::SetParameter(size_t index, const TTypeInfo &type, const TExpValue &value) {
  if (index >= FParameterValues.size()) RaiseSqlError("Parameter " + std::to_string(index + 1) + " does not exist");
  FParameterValues[index].Given = true;
  FParameterValues[index].Type = type;
  FParameterValues[index].Value = value;
}

void TSelectQuery::SetParameterInt(size_t index, int64_t value) {
  SetParameter(index, TTypeInfo{TDataType::LargeInt, FieldSubType::None, 8, 0}, TExpValue::OfInt(value));
}

void TSelectQuery::SetParameterText(size_t index, const std::string &value) {
  SetParameter(index, TTypeInfo{TDataType::String, FieldSubType::None, static_cast<uint32_t>(value.size() + 1), 0},
               TExpValue::OfStr(value));
}

void TSelectQuery::SetParameterNull(size_t index) {
  SetParameter(index, TTypeInfo{TDataType::String, FieldSubType::None, 1, 0}, TExpValue());
}

bool TSelectQuery::Live() const {
  const TSelectPlan *plan = PlanOf(FStatement.Master());
  return plan && plan->Live;
}

void TSelectQuery::ClearResult() {
  FResultUnfinished = false;
  FRowBlock.Clear();
  FLiveCursor.reset();
  FLiveRecords.clear();
  FResultSlots.clear();
  FSubSelectValues.clear();
  bool hadResult = FResultTable != nullptr;
  // A finished in-memory result nobody else has seen through a cursor waits, emptied, for
  // the next SELECT of the same layout.
  if (FShelf && hadResult && FExecuted && !FResultCursor && FResultTemporary && FResultInMemory &&
      FMovedResults.empty() && !FResultLayout.empty() && FResultTable->InMemory()) {
    try {
      if (FShelf->Keep(*FResultDirectory, FResultTable, FResultLayout)) {
        FResultTable = nullptr;
        hadResult = false;
      }
    } catch (...) {
      // Not kept: deleted below as any other result.
    }
  }
  FResultLayout.clear();
  if (FResultCursor) {
    FResultCursor.reset();  // the cursor held the table
  } else if (FResultTable) {
    // A result of the statement's own is deleted right after the close: what it has cached
    // needs no writing first (closed as a temporary table, it is dropped).
    if (FResultTemporary && FResultTable->OpenCount() == 1 && !FResultTable->InTransaction())
      FResultTable->SetOpenFlags(true, false, true);
    FResultDirectory->CloseTable(FResultTable);
  }
  FResultTable = nullptr;
  if (hadResult && FResultTemporary) FResultDirectory->DeleteTable(FResultName, FResultInMemory);
  FMovedResults.clear();
  if (FResultDirectory) {
    FSession.CloseDataDirectory(FResultDirectory);
    FResultDirectory = nullptr;
  }
  FExecuted = false;
}

void TSelectQuery::CloseSources() {
  for (auto it = FOpenedTables.rbegin(); it != FOpenedTables.rend(); ++it) it->first->CloseTable(it->second);
  FOpenedTables.clear();
  for (auto it = FOpenedDirectories.rbegin(); it != FOpenedDirectories.rend(); ++it)
    FSession.CloseDataDirectory(*it);
  FOpenedDirectories.clear();
}

void TSelectQuery::Close() {
  ClearResult();
  FStatement.Unprepare();
  FPlans.clear();
  CloseSources();
}

namespace {

// Closes and deletes a temporary table by name, in memory or in files.
void DropTable(TDataDirectory &directory, const std::string &name, bool memory) {
  if (TDataTable *table = directory.FindTable(name, memory)) directory.CloseTable(table);
  if (directory.TableExists(name, memory)) directory.DeleteTable(name, memory);
}

}  // namespace

void TSelectQuery::DropTemporaryTable(TDataDirectory &directory, const std::string &name) {
  DropTable(directory, name, true);
  auto moved = FMovedResults.find(name);
  if (moved == FMovedResults.end()) return;
  const std::string inFiles = moved->second;
  FMovedResults.erase(moved);
  DropTable(directory, inFiles, false);
}

void TSelectQuery::SetSpill(TSelectExecution &run, TDataDirectory &directory) {
  run.MemoryLimit = FResultMemoryLimit;
  run.OnSpill = [this, &directory](TDataTable &table) -> TDataTable * {
    const std::string name = table.Name();
    const bool main = FResultTable == &table;
    try {
      TDataTable *moved = MoveResultTableToFiles(directory, &table);
      FMovedResults[name] = moved->Name();
      if (main) {
        FResultTable = moved;
        FResultInMemory = false;
        FResultName = moved->Name();
      }
      return moved;
    } catch (...) {
      if (main) FResultTable = directory.FindTable(name, true);
      throw;
    }
  };
}

const std::vector<TExpValue> &TSelectQuery::SubSelectValues(const TDataQuery *query) {
  auto found = FSubSelectValues.find(query);
  if (found != FSubSelectValues.end()) return found->second;
  std::vector<TExpValue> &values = FSubSelectValues[query];
  TSelectPlan *plan = PlanOf(query);
  if (!plan) return values;
  TDataDirectory *directory = FSession.OpenDataDirectory("", FSession.PrivateDir());
  const std::string name = directory->UniqueTableName(true);
  try {
    TDataTable *table = CreateResultTable(*directory, name, *plan, true);
    TSelectExecution run(*this, *plan);
    SetSpill(run, *directory);
    run.FillResultTable(*table, -1, false);
    table = run.Target();
    TDataFile &file = table->DataFile();
    for (int32_t n = 1; n <= file.SlotCount(); ++n) {
      TRecord *record = file.GetRecord(n);
      if (!record) continue;
      TExpValue v;
      if (record->Image[0] == 0) ReadFieldValue(file.Field(1), record->Image.data(), v);
      file.ReleaseRecord(record);
      values.push_back(std::move(v));
    }
  } catch (...) {
    DropTemporaryTable(*directory, name);
    FSession.CloseDataDirectory(directory);
    FSubSelectValues.erase(query);
    throw;
  }
  DropTemporaryTable(*directory, name);
  FSession.CloseDataDirectory(directory);
  return values;
}

void TSelectQuery::Execute() {
  if (!FStatement.Prepared()) RaiseSqlError("The statement is not prepared");
  ClearResult();
  const auto started = std::chrono::steady_clock::now();
  // Parameters: each value converted to the type its place was checked with.
  const auto &markers = FStatement.Parameters();
  for (size_t i = 0; i < markers.size(); ++i) {
    TExpToken &marker = *markers[i];
    const TParameterValue &given = FParameterValues[i];
    TExpValue converted;
    if (given.Given && !given.Value.Null) {
      const TTypeInfo target{marker.DataType, marker.SubType, marker.Size, marker.Scale};
      if (target.Type == TDataType::Unknown || target.Type == given.Type.Type) converted = given.Value;
      else if (!ConvertValue(given.Type, given.Value, target, converted)) converted.Clear();
    }
    marker.Value = converted;
  }

  TDataQuery *master = FStatement.Master();
  TSelectPlan &plan = *PlanOf(master);
  // Every source is held against changes by others while rows are produced (WITH LOCKS asks
  // for it; without it the same holds): rows are read slot by slot from the data files, and a
  // writer of another process slipping in between two reads would leave some rows from before
  // and some from after its change, or drop the record whose read found the change. Tables are
  // locked in the order of their file names, the same in every process. Taking the read lock
  // also runs the change check, which drops what others changed since the last statement.
  std::vector<TDataTable *> locked;
  auto unlock = [&]() {
    for (auto it = locked.rbegin(); it != locked.rend(); ++it) (*it)->ReadUnlock();
    locked.clear();
  };
  try {
    std::vector<TDataTable *> sources;
    for (auto &entry : FPlans)
      for (auto &s : entry.second->Sources)
        if (std::find(sources.begin(), sources.end(), s->Table) == sources.end()) sources.push_back(s->Table);
    std::sort(sources.begin(), sources.end(),
              [](TDataTable *a, TDataTable *b) { return a->DataFileName() < b->DataFileName(); });
    for (TDataTable *t : sources) {
      t->ReadLock();
      locked.push_back(t);
    }
    if (plan.Live) {
      FLiveCursor = OpenLiveCursor(*this, plan);
      std::vector<uint8_t> buffer = FLiveCursor->NewRecordBuffer();
      FLiveCursor->SetToBegin();
      while (FLiveCursor->GetNextRecord(buffer.data()) == KURA_NONE)
        FLiveRecords.push_back(FLiveCursor->CurrentRecordNumber());
      FLiveCursor->SetToBegin();
    } else {
      // Where the result table goes.
      FResultInMemory = false;
      FResultTemporary = true;
      if (master->Into.Given) {
        FResultTemporary = false;
        FResultInMemory = master->Into.InMemory;
        // The result table's directory follows the rule of every table name: a path is a
        // directory and a file name, "db\name" names another database, a plain name is in
        // the statement's database.
        std::string where = FDatabaseName;
        if (!master->Into.Directory.empty()) where = master->Into.Directory;
        else if (!master->Into.Database.empty()) where = master->Into.Database;
        std::string wherePath = where;
        if (!master->Into.Directory.empty() && wherePath.back() != '/') wherePath += '/';
        FResultDirectory = FResultInMemory ? FSession.OpenDataDirectory(kMemoryDatabaseName, "")
                                           : FSession.OpenDataDirectory(where, wherePath);
        std::string name = master->Into.TableName;
        if (!master->Into.Database.empty()) name = name.substr(master->Into.Database.size() + 1);
        if (name.empty()) name = FResultDirectory->UniqueTableName(FResultInMemory);
        CheckNewTableName(*FResultDirectory, name);
        // Replacing a table needs the rights that dropping it needs.
        if (FResultDirectory->TableExists(name, FResultInMemory))
          DeleteTableOpenedAlone(*FResultDirectory, name, FResultInMemory);
        FResultName = name;
      } else {
        // A result of the statement's own starts in memory and moves to files when it grows.
        FResultInMemory = true;
        FResultDirectory = FSession.OpenDataDirectory("", FSession.PrivateDir());
      }
      const TDataFileDefinition definition = ResultTableDefinition(*FResultDirectory, plan);
      if (FResultTemporary && FShelf && !definition.Encrypted) {
        FResultLayout = TResultTableShelf::LayoutKey(definition);
        FResultTable = FShelf->Take(*FResultDirectory, FResultLayout, FResultName);
      }
      if (!FResultTable) {
        if (FResultTemporary) FResultName = FResultDirectory->UniqueTableName(true);
        FResultTable = CreateResultTable(*FResultDirectory, FResultName, definition, FResultInMemory);
      }
      TSelectExecution run(*this, plan);
      if (FResultTemporary) SetSpill(run, *FResultDirectory);
      const bool aborted = run.FillResultTable(*FResultTable, FStatement.MaxRowCount(), !master->HasUnion());
      FResultTable = run.Target();
      if (master->HasUnion() && !aborted) {
        bool distinct = false;
        std::vector<TDataQuery *> parts;
        for (TDataQuery *q = master; q->UnionNext; q = q->UnionNext) {
          parts.push_back(q->UnionNext);
          if (!q->UnionAll) distinct = true;
        }
        // The parts' rows go into the result table, which moves to files as it would while
        // being filled.
        int64_t blobBytes = 0;
        auto spillIfLarge = [&]() {
          if (!run.OnSpill || !FResultTable->InMemory()) return;
          const TDataFile &file = FResultTable->DataFile();
          if (static_cast<int64_t>(file.SlotCount()) * static_cast<int64_t>(file.RecordSize()) + blobBytes >
              FResultMemoryLimit)
            FResultTable = run.OnSpill(*FResultTable);
        };
        for (auto it = parts.rbegin(); it != parts.rend(); ++it) {
          TSelectPlan &partPlan = *PlanOf(*it);
          const std::string partName = FResultDirectory->UniqueTableName(true);
          try {
            TDataTable *partTable = CreateResultTable(*FResultDirectory, partName, partPlan, true);
            TSelectExecution part(*this, partPlan);
            SetSpill(part, *FResultDirectory);
            part.FillResultTable(*partTable, FStatement.MaxRowCount(), true);
            partTable = part.Target();
            TDataFile &file = partTable->DataFile();
            for (int32_t n = 1; n <= file.SlotCount(); ++n) {
              TRecord *source = file.GetRecord(n);
              if (!source) continue;
              if (source->Image[0] == 0) {
                TDataFile &target = FResultTable->DataFile();
                TRecord *record = target.AllocateRecord(FResultTable->NoPrimaryKey());
                for (size_t c = 0; c < plan.VisibleCount; ++c) {
                  TExpValue v;
                  const TFieldDescriptor &field = file.Field(static_cast<int>(c) + 1);
                  if (field.Type == TDataType::Blob) {
                    ReadBlobValue(*partTable, field, source->Image.data(), v);
                    if (!v.Null) blobBytes += static_cast<int64_t>(v.Str.size());
                    WriteBlobValue(*FResultTable, plan.ResultFields[c], record->Image.data(), v);
                  } else {
                    ReadFieldValue(field, source->Image.data(), v);
                    WriteFieldValue(plan.ResultFields[c], record->Image.data(), v, plan.LanguageId);
                  }
                }
                target.MarkRecordDirty(record);
                target.ReleaseRecord(record);
              }
              file.ReleaseRecord(source);
              spillIfLarge();
            }
          } catch (...) {
            DropTemporaryTable(*FResultDirectory, partName);
            throw;
          }
          DropTemporaryTable(*FResultDirectory, partName);
        }
        run.FinishUnion(*FResultTable, distinct);
      }
    }
  } catch (...) {
    unlock();
    throw;
  }
  unlock();
  FExecutionTime = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  if (FResultTable) {
    // The live records of the result table, in order, for reading rows by position.
    FResultSlots = LiveResultSlots(*FResultTable);
    FResultUnfinished = true;
    // A table of the database is finished at once: others may open it as soon as the
    // statement is done.
    if (!FResultTemporary) FinishResultTable();
  }
  FExecuted = true;
}

void TSelectQuery::FinishResultTable() {
  if (!FResultUnfinished || !FResultTable) return;
  FResultUnfinished = false;
  FRowBlock.Clear();
  // Rows were written straight into the data file (and reordered there by the record sort);
  // the system record index that cursors walk must list them. It is built once, here, and
  // only for a result that is read through a table or cursor: rows read by position do
  // without it.
  if (TIndexFile *index = TableIndexFile(*FResultTable)) RebuildSystemRecordIndex(*index, FResultTable->DataFile());
  TDataTable *table = FResultTable;
  FResultTable = nullptr;
  FResultCursor = OpenResultCursor(*FResultDirectory, table, FResultName, FResultInMemory);
  FResultTable = FResultCursor->Table();
}

TDataTable *TSelectQuery::ResultTable() {
  FinishResultTable();
  return FResultTable;
}

TDataCursor *TSelectQuery::ResultCursor() {
  FinishResultTable();
  return FResultCursor.get();
}

size_t TSelectQuery::ColumnCount() const {
  const TSelectPlan *plan = PlanOf(FStatement.Master());
  return plan ? plan->VisibleCount : 0;
}

TResultColumnInfo TSelectQuery::Column(size_t index) const {
  const TSelectPlan &plan = *PlanOf(FStatement.Master());
  const TSelectColumn &c = plan.Columns.at(index);
  TResultColumnInfo info;
  info.Name = c.Field.Name;
  info.Type = FieldTypeInfo(c.Field);
  if (c.Kind == TColumnKind::Plain && c.Source)
    info.Origin = c.Source->Parsed->TableName + "." + c.Source->Table->DataFile().Field(c.SourceField).Name;
  return info;
}

int64_t TSelectQuery::RowCount() const {
  if (!FExecuted) return 0;
  return static_cast<int64_t>(FResultTable ? FResultSlots.size() : FLiveRecords.size());
}

std::vector<TExpValue> TSelectQuery::Row(int64_t index) {
  std::vector<TExpValue> values;
  if (!FExecuted || !PlanOf(FStatement.Master())) return values;
  TSelectPlan &plan = *PlanOf(FStatement.Master());
  values.reserve(plan.VisibleCount);
  if (FResultTable) {
    if (index < 0 || index >= static_cast<int64_t>(FResultSlots.size())) return values;
    TDataFile &file = FResultTable->DataFile();
    std::vector<uint8_t> image;
    const uint8_t *data = nullptr;
    if (FResultUnfinished) {
      // Nobody but this query has had the table since its records were written: rows are read
      // in blocks of records, past the record cache (the block stays as it is while this row's
      // values are read).
      data = FRowBlock.Record(file, FResultSlots[index]);
    } else {
      TRecord *record = file.GetRecord(FResultSlots[index]);
      if (!record) return values;
      image.assign(record->Image.begin(), record->Image.end());
      file.ReleaseRecord(record);
      data = image.data();
    }
    for (size_t c = 0; c < plan.VisibleCount; ++c) {
      TExpValue v;
      const TFieldDescriptor &field = file.Field(static_cast<int>(c) + 1);
      if (field.Type == TDataType::Blob) ReadBlobValue(*FResultTable, field, data, v);
      else ReadFieldValue(field, data, v);
      values.push_back(std::move(v));
    }
    return values;
  }
  if (index < 0 || index >= static_cast<int64_t>(FLiveRecords.size())) return values;
  TSelectSource &source = *plan.Sources[0];
  TDataFile &file = source.Table->DataFile();
  // Under the read lock the read always gets there (without it, a change by another process
  // found on the way would come back as no record).
  source.Table->ReadLock();
  TRecord *record = nullptr;
  try {
    record = file.GetRecord(FLiveRecords[index]);
    if (record) {
      source.Image.assign(record->Image.begin(), record->Image.end());
      file.ReleaseRecord(record);
    }
  } catch (...) {
    source.Table->ReadUnlock();
    throw;
  }
  source.Table->ReadUnlock();
  if (!record) return values;
  source.Row.Record = source.Image.data();
  source.Row.NullRow = false;
  TRowEvalContext context(*this);
  context.SetPlan(&plan);
  TEvaluator evaluator(&context, plan.LanguageId, plan.SortId);
  for (size_t c = 0; c < plan.VisibleCount; ++c) {
    const TSelectColumn &column = plan.Columns[c];
    TExpValue v;
    if (column.Kind == TColumnKind::Plain) {
      const TFieldDescriptor &field = file.Field(column.SourceField);
      if (field.Type == TDataType::Blob) ReadBlobValue(*source.Table, field, source.Image.data(), v);
      else ReadFieldValue(field, source.Image.data(), v);
    } else if (column.Expression) {
      TExpValue raw;
      evaluator.Eval(*column.Expression, raw);
      const TTypeInfo from{column.Expression->DataType, column.Expression->SubType, column.Expression->Size,
                           column.Expression->Scale};
      if (!raw.Null && !ConvertValue(from, raw, FieldTypeInfo(column.Field), v)) v.Clear();
    }
    values.push_back(std::move(v));
  }
  return values;
}

}  // namespace kura
