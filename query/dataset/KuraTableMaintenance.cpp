// Table maintenance through a table component: adding and deleting indexes and restructuring.
// The engine needs the table open alone, so the component must have been opened with Exclusive;
// afterwards the component opens again, since its fields and indexes may have changed.
#include "engine/cursor/DataCursor.h"
#include "query/change/AlterStructure.h"
#include "query/dataset/KuraTable.h"
#include "query/dataset/TextCompare.h"

namespace kura {

TDataCursor &TKuraTable::MaintenanceCursor() {
  CheckActive();
  CheckBrowseMode();
  TDataCursor &cursor = *FTableCursor;
  cursor.ProgressCallback = [this](int percent) {
    if (OnMaintenanceProgress) OnMaintenanceProgress(*this, percent);
  };
  cursor.DataLossCallback = [this](TDataLossCause cause, const std::string &context, bool &go, bool &stop) {
    if (OnDataLost) OnDataLost(*this, cause, context, go, stop);
  };
  return cursor;
}

void TKuraTable::ReopenAfterMaintenance() {
  if (FTableCursor) {
    FTableCursor->ProgressCallback = nullptr;
    FTableCursor->DataLossCallback = nullptr;
  }
  // An index the component was ordered by may be gone.
  if (!FIndexName.empty() && FTableCursor) {
    bool known = false;
    for (const std::string &name : FTableCursor->IndexNames()) known = known || SameText(name, FIndexName);
    if (!known) FIndexName.clear();
  }
  FIndexFieldNames.clear();
  Close();
  Open();
}

void TKuraTable::AddIndex(const std::string &name, const std::string &fieldNames, bool unique, bool descending,
                          bool caseInsensitive) {
  TDataCursor &cursor = MaintenanceCursor();
  TIndexDefinition definition;
  definition.Name = TrimText(name);
  definition.Unique = unique;
  definition.Descending = descending;
  definition.CaseInsensitive = caseInsensitive;
  for (const std::string &field : SplitFieldList(fieldNames)) {
    TIndexDefinitionField f;
    f.FieldNumber = static_cast<uint16_t>(cursor.FieldNumber(field));
    f.FieldName = field;
    definition.Fields.push_back(f);
  }
  try {
    cursor.AddSecondaryIndex(definition);
  } catch (...) {
    ReopenAfterMaintenance();
    throw;
  }
  ReopenAfterMaintenance();
}

void TKuraTable::DeleteIndex(const std::string &name) {
  TDataCursor &cursor = MaintenanceCursor();
  const std::string index = SameText(TrimText(name), "PRIMARY") ? std::string() : name;
  try {
    cursor.DeleteIndex(index);
  } catch (...) {
    ReopenAfterMaintenance();
    throw;
  }
  ReopenAfterMaintenance();
}

TRestructureDefinition TKuraTable::CurrentStructure() {
  CheckActive();
  return TAlterStructure(*FTableCursor).Definition();
}

bool TKuraTable::RestructureTable(const TRestructureDefinition &definition) {
  TDataCursor &cursor = MaintenanceCursor();
  bool done = false;
  try {
    done = cursor.RestructureTable(definition);
  } catch (...) {
    ReopenAfterMaintenance();
    throw;
  }
  ReopenAfterMaintenance();
  return done;
}

}  // namespace kura
