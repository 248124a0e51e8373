// The dataset base: open and close, navigation, fields and editing over the engine cursor.
#include "query/dataset/KuraDataSet.h"

#include <algorithm>

#include "engine/cursor/DataCursor.h"
#include "query/dataset/DataSetErrors.h"
#include "query/dataset/FieldNames.h"
#include "query/dataset/TextCompare.h"
#include "query/select/SelectValues.h"

namespace kura {

std::function<void(const std::exception &)> TKuraDataSet::ApplicationExceptionHandler;

TKuraDataSet::TKuraDataSet() = default;

TKuraDataSet::~TKuraDataSet() {
  // Subclasses close before their members go (their destructors call Close); this only
  // tells the observers.
  for (TDataSetObserver *o : std::vector<TDataSetObserver *>(FObservers)) o->DataSetDestroying(*this);
}

void TKuraDataSet::CheckActive() const {
  if (!Active()) RaiseDatabaseError(dsmsg::DataSetClosed);
}

void TKuraDataSet::CheckInactive() const {
  if (Active()) RaiseDatabaseError(dsmsg::DataSetOpen);
}

void TKuraDataSet::AddObserver(TDataSetObserver *observer) {
  if (observer && std::find(FObservers.begin(), FObservers.end(), observer) == FObservers.end())
    FObservers.push_back(observer);
}

void TKuraDataSet::RemoveObserver(TDataSetObserver *observer) {
  FObservers.erase(std::remove(FObservers.begin(), FObservers.end(), observer), FObservers.end());
}

void TKuraDataSet::Notify(void (TDataSetObserver::*what)(TKuraDataSet &)) {
  for (TDataSetObserver *o : std::vector<TDataSetObserver *>(FObservers)) (o->*what)(*this);
}

void TKuraDataSet::SetState(TDataSetState state) {
  if (state == FState) return;
  FState = state;
  Notify(&TDataSetObserver::StateChanged);
}

// ---- Open and close -------------------------------------------------------------------------

void TKuraDataSet::Open() {
  if (Active()) return;
  if (BeforeOpen) BeforeOpen(*this);
  FCursor = CreateCursor();
  try {
    BuildFields();
    InstallFilters();
  } catch (...) {
    FFields.clear();
    FTextFilter = FEventFilter = nullptr;
    DestroyCursor();
    FCursor = nullptr;
    AfterCursorClosed();
    throw;
  }
  FState = TDataSetState::dsBrowse;
  FCursor->SetToBegin();
  FCurrent.assign(FCursor->RecordBufferSize(), 0);
  FHasRecord = FCursor->GetNextRecord(FCurrent.data()) == KURA_NONE;
  FBof = true;
  FEof = !FHasRecord;
  Notify(&TDataSetObserver::StateChanged);
  Notify(&TDataSetObserver::DataSetOpened);
  if (AfterOpen) AfterOpen(*this);
  if (AfterScroll) AfterScroll(*this);
}

void TKuraDataSet::Close() {
  if (!Active()) return;
  if (BeforeClose) BeforeClose(*this);
  if (FState == TDataSetState::dsEdit || FState == TDataSetState::dsInsert) {
    try {
      FCursor->CancelRecord(FEditBuffer.data());
    } catch (...) {
      // The cursor is closed next, which releases its locks anyway.
    }
  }
  FTextFilter = FEventFilter = nullptr;
  FFields.clear();
  FEditBuffer.clear();
  FCurrent.clear();
  FHasRecord = false;
  FBof = FEof = true;
  FState = TDataSetState::dsInactive;
  DestroyCursor();
  FCursor = nullptr;
  AfterCursorClosed();
  Notify(&TDataSetObserver::StateChanged);
  Notify(&TDataSetObserver::DataSetClosed);
  if (AfterClose) AfterClose(*this);
}

void TKuraDataSet::BuildFields() {
  FFields.clear();
  std::vector<TFieldDescriptor> descriptors = FCursor->Fields();
  if (descriptors.size() > VisibleFieldCount()) descriptors.resize(VisibleFieldCount());
  std::vector<std::string> names;
  names.reserve(descriptors.size());
  for (const TFieldDescriptor &d : descriptors) names.push_back(d.Name);
  names = UniqueFieldNames(names);
  const std::vector<TCatalogueEntry> &catalogue = FCursor->Catalogue();
  for (size_t i = 0; i < descriptors.size(); ++i) {
    auto field = std::make_unique<TField>(this, descriptors[i], names[i], static_cast<int>(i));
    if (i < catalogue.size()) field->Origin = catalogue[i].Origin;
    if (AutoDisplayLabels) field->DisplayLabel = descriptors[i].Description;
    FFields.push_back(std::move(field));
  }
}

// ---- Fields ---------------------------------------------------------------------------------

TField &TKuraDataSet::Fields(int index) {
  if (index < 0 || index >= FieldCount())
    throw EKuraDatabaseError("List index out of bounds (" + std::to_string(index) + ")");
  return *FFields[static_cast<size_t>(index)];
}

TField *TKuraDataSet::FindField(const std::string &name) {
  const std::string trimmed = TrimText(name);
  for (auto &f : FFields)
    if (SameText(f->FieldName(), trimmed)) return f.get();
  return nullptr;
}

TField &TKuraDataSet::FieldByName(const std::string &name) {
  TField *f = FindField(name);
  if (!f) RaiseDatabaseError(dsmsg::FieldNotFound, name);
  return *f;
}

std::vector<std::string> TKuraDataSet::FieldNames() const {
  std::vector<std::string> names;
  for (const auto &f : FFields) names.push_back(f->FieldName());
  return names;
}

const uint8_t *TKuraDataSet::FieldReadBuffer() const {
  if (FPeekRecord) return FPeekRecord;
  switch (FState) {
    case TDataSetState::dsFilter: return FFilterRecord;
    case TDataSetState::dsEdit:
    case TDataSetState::dsInsert: return FEditBuffer.data();
    case TDataSetState::dsBrowse: return FHasRecord ? FCurrent.data() : nullptr;
    default: return nullptr;
  }
}

uint8_t *TKuraDataSet::FieldWriteBuffer() {
  if (FState != TDataSetState::dsEdit && FState != TDataSetState::dsInsert) RaiseDatabaseError(dsmsg::NotEditing);
  return FEditBuffer.data();
}

void TKuraDataSet::FieldChanged(TField &) { Notify(&TDataSetObserver::RecordChanged); }

uint16_t TKuraDataSet::FieldLanguageId() const { return FCursor ? FCursor->LanguageId() : 0; }

// ---- Navigation -----------------------------------------------------------------------------

void TKuraDataSet::DoScrolled() {
  Notify(&TDataSetObserver::DataSetScrolled);
  if (AfterScroll) AfterScroll(*this);
}

void TKuraDataSet::First() {
  CheckActive();
  CheckBrowseMode();
  if (BeforeScroll) BeforeScroll(*this);
  FCursor->SetToBegin();
  FHasRecord = FCursor->GetNextRecord(FCurrent.data()) == KURA_NONE;
  FBof = true;
  FEof = !FHasRecord;
  DoScrolled();
}

void TKuraDataSet::Last() {
  CheckActive();
  CheckBrowseMode();
  if (BeforeScroll) BeforeScroll(*this);
  FCursor->SetToEnd();
  FHasRecord = FCursor->GetPriorRecord(FCurrent.data()) == KURA_NONE;
  FEof = true;
  FBof = !FHasRecord;
  DoScrolled();
}

void TKuraDataSet::Next() {
  CheckActive();
  CheckBrowseMode();
  if (FEof || !FHasRecord) {
    FEof = true;
    return;
  }
  if (BeforeScroll) BeforeScroll(*this);
  std::vector<uint8_t> record(FCursor->RecordBufferSize(), 0);
  const uint16_t code = FCursor->GetNextRecord(record.data());
  if (code == KURA_NONE) {
    FCurrent.swap(record);
    FBof = false;
    DoScrolled();
    return;
  }
  if (code != KURA_EOF) FCursor->Raise(code);
  // Past the end: the dataset stays on its last record.
  FEof = true;
  FHasRecord = FCursor->GetPriorRecord(FCurrent.data()) == KURA_NONE;
  if (!FHasRecord) FBof = true;
}

void TKuraDataSet::Prior() {
  CheckActive();
  CheckBrowseMode();
  if (FBof || !FHasRecord) {
    FBof = true;
    return;
  }
  if (BeforeScroll) BeforeScroll(*this);
  std::vector<uint8_t> record(FCursor->RecordBufferSize(), 0);
  const uint16_t code = FCursor->GetPriorRecord(record.data());
  if (code == KURA_NONE) {
    FCurrent.swap(record);
    FEof = false;
    DoScrolled();
    return;
  }
  if (code != KURA_BOF) FCursor->Raise(code);
  FBof = true;
  FHasRecord = FCursor->GetNextRecord(FCurrent.data()) == KURA_NONE;
  if (!FHasRecord) FEof = true;
}

int TKuraDataSet::MoveBy(int distance) {
  int moved = 0;
  while (distance > 0 && !Eof()) {
    Next();
    if (Eof()) break;
    ++moved;
    --distance;
  }
  while (distance < 0 && !Bof()) {
    Prior();
    if (Bof()) break;
    --moved;
    ++distance;
  }
  return moved;
}

int64_t TKuraDataSet::RecordCount() {
  CheckActive();
  return FCursor->RecordCount();
}

int64_t TKuraDataSet::RecNo() {
  CheckActive();
  if (FState == TDataSetState::dsInsert || !FHasRecord) return 0;
  return FCursor->SequenceNumber();
}

void TKuraDataSet::SetRecNo(int64_t position) {
  CheckActive();
  CheckBrowseMode();
  if (!FHasRecord) return;
  std::vector<uint8_t> saved = FCursor->GetBookmark();
  if (BeforeScroll) BeforeScroll(*this);
  if (FCursor->SetToRecNo(position) && FCursor->GetCurRecord(FCurrent.data()) == KURA_NONE) {
    FBof = FEof = false;
    DoScrolled();
    return;
  }
  FCursor->SetToBookmark(saved);
  ReadCurrent();
}

bool TKuraDataSet::ReadCurrent() {
  if (FCurrent.size() != FCursor->RecordBufferSize()) FCurrent.assign(FCursor->RecordBufferSize(), 0);
  FHasRecord = FCursor->GetCurRecord(FCurrent.data()) == KURA_NONE;
  return FHasRecord;
}

void TKuraDataSet::SyncFromCursor() {
  if (ReadCurrent() || FCursor->GetNextRecord(FCurrent.data()) == KURA_NONE ||
      FCursor->GetPriorRecord(FCurrent.data()) == KURA_NONE) {
    FHasRecord = true;
    FBof = FEof = false;
    return;
  }
  FHasRecord = false;
  FBof = FEof = true;
}

void TKuraDataSet::TakeRecord(bool found) {
  if (!found) return;
  ReadCurrent();
  FBof = FEof = false;
}

void TKuraDataSet::Refresh() {
  CheckActive();
  CheckBrowseMode();
  FCursor->Refresh();
  SyncFromCursor();
  Notify(&TDataSetObserver::DataSetChanged);
}

bool TKuraDataSet::PeekRow(int64_t position, const std::function<void()> &reader) {
  CheckActive();
  if (!FHasRecord || position < 1 || FPeekRecord) return false;
  const int64_t current = FState == TDataSetState::dsInsert ? 0 : FCursor->SequenceNumber();
  if (position == current) {
    // The current row as the dataset shows it (with the values being edited).
    reader();
    return true;
  }
  const std::vector<uint8_t> saved = FCursor->GetBookmark();
  std::vector<uint8_t> record(FCursor->RecordBufferSize(), 0);
  bool found = false;
  try {
    found = FCursor->SetToRecNo(position) && FCursor->GetCurRecord(record.data()) == KURA_NONE;
  } catch (...) {
    FCursor->SetToBookmark(saved);
    throw;
  }
  FCursor->SetToBookmark(saved);
  if (!found) return false;
  FPeekRecord = record.data();
  try {
    reader();
  } catch (...) {
    FPeekRecord = nullptr;
    throw;
  }
  FPeekRecord = nullptr;
  return true;
}

std::vector<std::string> TKuraDataSet::RowTexts(int64_t position) {
  std::vector<std::string> texts;
  PeekRow(position, [&] {
    for (const auto &f : FFields) texts.push_back(f->AsString());
  });
  return texts;
}

std::vector<uint8_t> TKuraDataSet::GetBookmark() const {
  CheckActive();
  return FCursor->GetBookmark();
}

void TKuraDataSet::GotoBookmark(const std::vector<uint8_t> &bookmark) {
  CheckActive();
  CheckBrowseMode();
  if (BeforeScroll) BeforeScroll(*this);
  FCursor->SetToBookmark(bookmark);
  SyncFromCursor();
  DoScrolled();
}

// ---- Editing --------------------------------------------------------------------------------

bool TKuraDataSet::CanModify() const { return FCursor && !FCursor->Options().ReadOnly && !FReadOnly; }

void TKuraDataSet::CheckBrowseMode() {
  CheckActive();
  if (FState == TDataSetState::dsEdit || FState == TDataSetState::dsInsert) Post();
}

void TKuraDataSet::Edit() {
  CheckActive();
  if (FState == TDataSetState::dsEdit || FState == TDataSetState::dsInsert) return;
  if (!FHasRecord) {
    Append();
    return;
  }
  if (!CanModify()) RaiseDatabaseError(dsmsg::DataSetReadOnly);
  if (BeforeEdit) BeforeEdit(*this);
  try {
    const uint16_t code = FCursor->GetCurRecord(FCurrent.data(), true);
    if (code != KURA_NONE) FCursor->Raise(code);
  } catch (const std::exception &e) {
    if (OnEditError) OnEditError(*this, e);
    throw;
  }
  FEditBuffer = FCurrent;
  SetState(TDataSetState::dsEdit);
  if (AfterEdit) AfterEdit(*this);
}

void TKuraDataSet::Append() {
  CheckActive();
  CheckBrowseMode();
  if (!CanModify()) RaiseDatabaseError(dsmsg::DataSetReadOnly);
  if (BeforeInsert) BeforeInsert(*this);
  FEditBuffer.assign(FCursor->RecordBufferSize(), 0);
  FCursor->InitRecord(FEditBuffer.data());
  if (CopyOnAppend && FHasRecord) {
    // The new row starts as a copy of the current one; blob references are not shared
    // between records and auto-increment values are the engine's.
    TExpValue value;
    for (const TFieldDescriptor &f : FCursor->Fields()) {
      if (f.Calculated != 0 || f.IsAutoInc() || f.Type == EngineFieldType::Blob) continue;
      ReadFieldValue(f, FCurrent.data(), value);
      WriteFieldValue(f, FEditBuffer.data(), value, FCursor->LanguageId());
    }
  }
  SetState(TDataSetState::dsInsert);
  if (OnNewRecord) OnNewRecord(*this);
  Notify(&TDataSetObserver::RecordChanged);
  if (AfterInsert) AfterInsert(*this);
}

void TKuraDataSet::Insert() {
  // The engine decides where a new record stands (its key, or the end in natural order).
  Append();
}

void TKuraDataSet::Post() {
  CheckActive();
  if (FState != TDataSetState::dsEdit && FState != TDataSetState::dsInsert) return;
  if (BeforePost) BeforePost(*this);
  try {
    if (FState == TDataSetState::dsEdit)
      FCursor->ModifyRecord(FEditBuffer.data(), true, true);
    else
      FCursor->AppendRecord(FEditBuffer.data(), true);
  } catch (const std::exception &e) {
    // The dataset stays in its state so that the values can be corrected or the change
    // cancelled.
    if (OnPostError) OnPostError(*this, e);
    throw;
  }
  FEditBuffer.clear();
  FState = TDataSetState::dsBrowse;
  SyncFromCursor();
  Notify(&TDataSetObserver::StateChanged);
  Notify(&TDataSetObserver::DataSetChanged);
  Notify(&TDataSetObserver::DataSetScrolled);
  if (AfterPost) AfterPost(*this);
}

void TKuraDataSet::Cancel() {
  CheckActive();
  if (FState != TDataSetState::dsEdit && FState != TDataSetState::dsInsert) return;
  if (BeforeCancel) BeforeCancel(*this);
  // The blobs changed in the record are given back unchanged (an insert holds no lock, only
  // its blobs).
  FCursor->CancelRecord(FEditBuffer.data());
  FEditBuffer.clear();
  SetState(TDataSetState::dsBrowse);
  // The record as read stays current.
  Notify(&TDataSetObserver::RecordChanged);
  if (AfterCancel) AfterCancel(*this);
}

void TKuraDataSet::Delete() {
  CheckActive();
  if (FState == TDataSetState::dsInsert) {
    Cancel();
    return;
  }
  if (FState == TDataSetState::dsEdit) Cancel();
  if (!FHasRecord) RaiseDatabaseError(dsmsg::DataSetEmpty);
  if (!CanModify()) RaiseDatabaseError(dsmsg::DataSetReadOnly);
  if (BeforeDelete) BeforeDelete(*this);
  try {
    FCursor->DeleteRecord(FCurrent.data(), true);
  } catch (const std::exception &e) {
    if (OnDeleteError) OnDeleteError(*this, e);
    throw;
  }
  SyncFromCursor();
  Notify(&TDataSetObserver::DataSetChanged);
  DoScrolled();
  if (AfterDelete) AfterDelete(*this);
}

}  // namespace kura
