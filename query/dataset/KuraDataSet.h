#pragma once
// TKuraDataSet: the common base of the table and query components. It holds the engine
// cursor while open and turns the dataset operations (navigation, field access, editing,
// filtering, Locate) into cursor calls.
//
// Position: the dataset stands on the cursor's current record. Bof is true after First (and
// after a Prior that found nothing before), Eof after Last (and after a Next that found
// nothing after); both are true on an empty dataset.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "query/dataset/DataSetObserver.h"
#include "query/dataset/KuraField.h"
#include "query/dataset/KuraValue.h"

namespace kura {

class TDataCursor;
class TCursorFilter;

enum class TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert, dsFilter };

struct TFilterOptions {
  bool CaseInsensitive = false;
  bool NoPartialCompare = false;
};

struct TLocateOptions {
  bool CaseInsensitive = false;
  bool PartialKey = false;
};

class TKuraDataSet : public TFieldBufferOwner {
 public:
  using TDataSetEvent = std::function<void(TKuraDataSet &)>;

  TKuraDataSet();
  ~TKuraDataSet() override;
  TKuraDataSet(const TKuraDataSet &) = delete;
  TKuraDataSet &operator=(const TKuraDataSet &) = delete;

  // ---- Open and close ----------------------------------------------------------------------
  void Open();
  void Close();
  bool Active() const { return FState != TDataSetState::dsInactive; }
  void SetActive(bool active) { active ? Open() : Close(); }
  TDataSetState State() const { return FState; }

  bool AutoCalcFields = true;
  bool AutoDisplayLabels = false;
  bool CopyOnAppend = false;

  // ---- Navigation --------------------------------------------------------------------------
  void First();
  void Last();
  void Next();
  void Prior();
  // Moves up to `distance` records (negative: backwards); returns how many were moved.
  int MoveBy(int distance);
  bool Eof() const { return FEof; }
  bool Bof() const { return FBof; }
  bool IsEmpty() const { return Active() && !FHasRecord && FState != TDataSetState::dsInsert; }
  int64_t RecordCount();
  // 1-based position of the current record (0 without one).
  int64_t RecNo();
  void SetRecNo(int64_t position);
  void Refresh();
  // Reads the row at a 1-based position without moving the dataset and without events: while
  // `reader` runs, Fields(i) show that row. False (reader not called) when there is no such
  // row. For views that show many rows (a grid model).
  bool PeekRow(int64_t position, const std::function<void()> &reader);
  // The display texts of the row at a position (empty when there is no such row).
  std::vector<std::string> RowTexts(int64_t position);
  // Bookmarks of the cursor's current record.
  std::vector<uint8_t> GetBookmark() const;
  void GotoBookmark(const std::vector<uint8_t> &bookmark);

  // ---- Fields ------------------------------------------------------------------------------
  int FieldCount() const { return static_cast<int>(FFields.size()); }
  TField &Fields(int index);
  TField *FindField(const std::string &name);
  // "項目 '%s' が見つかりません" for an unknown name.
  TField &FieldByName(const std::string &name);
  std::vector<std::string> FieldNames() const;

  // ---- Editing -----------------------------------------------------------------------------
  bool CanModify() const;
  void Edit();
  void Append();
  void Insert();
  void Post();
  void Cancel();
  void Delete();
  // Posts a pending edit or insert.
  void CheckBrowseMode();

  // ---- Filters -----------------------------------------------------------------------------
  const std::string &Filter() const { return FFilterText; }
  void SetFilter(const std::string &text);
  bool Filtered() const { return FFiltered; }
  void SetFiltered(bool filtered);
  const TFilterOptions &FilterOptions() const { return FFilterOptions; }
  void SetFilterOptions(const TFilterOptions &options);
  // Asked for every candidate record while Filtered; Accept starts true. An exception thrown
  // inside goes to the application's handler and does not stop the scan.
  std::function<void(TKuraDataSet &, bool &accept)> OnFilterRecord;
  void SetOnFilterRecord(std::function<void(TKuraDataSet &, bool &accept)> handler);

  // ---- Searching ---------------------------------------------------------------------------
  // keyFields: names separated by ";" ("TES;PST;DTX"); one value per field.
  bool Locate(const std::string &keyFields, const std::vector<TKuraValue> &values,
              const TLocateOptions &options = {});
  bool Locate(const std::string &keyFields, const TKuraValue &value, const TLocateOptions &options = {});
  // The result fields (names separated by ";") of the first record matching, without moving;
  // an empty list when nothing matches.
  std::vector<TKuraValue> Lookup(const std::string &keyFields, const std::vector<TKuraValue> &values,
                                 const std::string &resultFields);

  // ---- Events ------------------------------------------------------------------------------
  TDataSetEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
  TDataSetEvent BeforeEdit, AfterEdit, BeforeInsert, AfterInsert, BeforePost, AfterPost;
  TDataSetEvent BeforeCancel, AfterCancel, BeforeDelete, AfterDelete, BeforeScroll, AfterScroll;
  TDataSetEvent OnNewRecord, OnCalcFields;
  // Failures of Post, Edit and Delete are reported here before they propagate.
  std::function<void(TKuraDataSet &, const std::exception &)> OnPostError, OnEditError, OnDeleteError;

  void AddObserver(TDataSetObserver *observer);
  void RemoveObserver(TDataSetObserver *observer);

  // Exceptions inside OnFilterRecord go here (the application's handler); the default
  // ignores them.
  static std::function<void(const std::exception &)> ApplicationExceptionHandler;

  // The engine cursor while open.
  TDataCursor *Cursor() const { return FCursor; }
  // The record being edited or inserted (null in any other state); blob streams open their
  // blobs in it.
  uint8_t *EditRecordBuffer() {
    const bool editing = FState == TDataSetState::dsEdit || FState == TDataSetState::dsInsert;
    return editing && !FEditBuffer.empty() ? FEditBuffer.data() : nullptr;
  }

  // TFieldBufferOwner.
  const uint8_t *FieldReadBuffer() const override;
  uint8_t *FieldWriteBuffer() override;
  void FieldChanged(TField &field) override;
  uint16_t FieldLanguageId() const override;

 protected:
  // Opens and returns the cursor (owned by the subclass); throws on failure.
  virtual TDataCursor *CreateCursor() = 0;
  // Frees the cursor made by CreateCursor.
  virtual void DestroyCursor() = 0;
  // Called after the cursor is gone.
  virtual void AfterCursorClosed() {}
  // The Locate key search on another index of the table (table components); true when it
  // searched (result in found).
  virtual bool LocateOnOtherIndex(const std::vector<int> &fieldNumbers, const std::vector<TKuraValue> &values,
                                  const TLocateOptions &options, bool &found);
  virtual bool IsQuery() const { return false; }
  // How many of the cursor's fields the dataset shows (result tables carry hidden helper
  // columns after the visible ones).
  virtual size_t VisibleFieldCount() const { return SIZE_MAX; }

  void CheckActive() const;
  void CheckInactive() const;
  void Notify(void (TDataSetObserver::*what)(TKuraDataSet &));
  // Writes Locate values into a record buffer of the cursor's layout; false when a value does
  // not convert to its field.
  bool FillKeyBuffer(const std::vector<int> &fieldNumbers, const std::vector<TKuraValue> &values,
                     std::vector<uint8_t> &buffer, const TLocateOptions &options, int &partialLength) const;
  // After the cursor moved by itself: take its current record (or the nearest one).
  void SyncFromCursor();
  bool FReadOnly = false;

 private:
  void BuildFields();
  void SetState(TDataSetState state);
  bool ReadCurrent();
  void TakeRecord(bool found);
  void InstallFilters();
  void RemoveFilters();
  void ReapplyFilters();
  std::vector<int> KeyFieldNumbers(const std::string &keyFields) const;
  bool LocateRecord(const std::vector<int> &fieldNumbers, const std::vector<TKuraValue> &values,
                    const TLocateOptions &options);
  bool LocateByKey(const std::vector<int> &fieldNumbers, const std::vector<TKuraValue> &values,
                   const TLocateOptions &options, bool &found);
  bool LocateByFilter(const std::vector<int> &fieldNumbers, const std::vector<TKuraValue> &values,
                      const TLocateOptions &options);
  void DoScrolled();
  void ResetEditBuffers();

  TDataCursor *FCursor = nullptr;
  TDataSetState FState = TDataSetState::dsInactive;
  std::vector<std::unique_ptr<TField>> FFields;
  std::vector<uint8_t> FCurrent;     // the current record as read
  std::vector<uint8_t> FEditBuffer;  // edit and insert
  bool FHasRecord = false;
  bool FBof = true, FEof = true;
  const uint8_t *FFilterRecord = nullptr;  // the candidate during OnFilterRecord
  const uint8_t *FPeekRecord = nullptr;    // the row PeekRow shows

  std::string FFilterText;
  bool FFiltered = false;
  TFilterOptions FFilterOptions;
  TCursorFilter *FTextFilter = nullptr;
  TCursorFilter *FEventFilter = nullptr;

  std::vector<TDataSetObserver *> FObservers;
};

}  // namespace kura
