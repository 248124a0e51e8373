#pragma once
// TKuraBlobStream: a byte stream over one blob field of a dataset's active record, read and
// written through the blob operations of the dataset's cursor.
//
// In browse state the stream reads the value of the current record (a private copy of the
// record holds the open blob, so moving the dataset does not disturb the stream). In edit and
// insert state it works on the record being edited: writes change the value in the cursor's
// memory, Post stores it in the blob file and Cancel drops it. Writing outside edit and insert
// state fails with "Table is not in edit or insert mode."; writing a read-only field with
// "Field %s cannot be modified.".
//
// The stream lets go of its blob when the dataset closes, or, for a stream on the record being
// edited, when the edit ends by Post or Cancel; later reads and writes then fail.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "query/dataset/DataSetObserver.h"

namespace kura {

class TField;
class TKuraDataSet;

enum class TBlobStreamMode {
  bmRead,       // read only
  bmWrite,      // the value starts empty
  bmReadWrite,  // read and write the existing value
};

enum class TBlobSeekOrigin { soBeginning, soCurrent, soEnd };

class TKuraBlobStream : private TDataSetObserver {
 public:
  // The field must be a Blob field (memo, graphic, ...) of an open dataset.
  TKuraBlobStream(TField &field, TBlobStreamMode mode);
  ~TKuraBlobStream() override;
  TKuraBlobStream(const TKuraBlobStream &) = delete;
  TKuraBlobStream &operator=(const TKuraBlobStream &) = delete;

  // Copies up to count bytes from the position on; returns how many (0 at the end).
  size_t Read(void *buffer, size_t count);
  // Writes count bytes at the position, growing the value; a position past the end is
  // reached by zero bytes first. Returns count.
  size_t Write(const void *buffer, size_t count);
  // The new position; a negative result fails.
  int64_t Seek(int64_t offset, TBlobSeekOrigin origin);
  int64_t Position() const { return FPosition; }
  void SetPosition(int64_t position) { Seek(position, TBlobSeekOrigin::soBeginning); }
  int64_t Size();
  // Cuts the value (or extends it with zero bytes) to `size`.
  void SetSize(int64_t size);
  // Cuts the value at the position.
  void Truncate();

  // The whole value, and replacing the whole value.
  std::vector<uint8_t> ReadAll();
  std::string ReadText();
  void WriteText(const std::string &text);

  bool Modified() const { return FModified; }

 private:
  void DataSetClosed(TKuraDataSet &) override { Detach(false); }
  void DataSetDestroying(TKuraDataSet &) override { Detach(false); }
  void StateChanged(TKuraDataSet &dataSet) override;
  void CheckAttached() const;
  void CheckWritable() const;
  uint8_t *Record();
  // Gives the blob back to the cursor (when it still exists) and forgets the dataset.
  void Detach(bool cursorAlive);

  TKuraDataSet *FDataSet = nullptr;
  TField *FField = nullptr;
  TBlobStreamMode FMode;
  int FFieldNumber = 0;
  bool FOnEditRecord = false;     // the blob is open in the record being edited
  bool FOpened = false;           // the cursor has the blob open for this stream
  std::vector<uint8_t> FRecord;   // browse state: the private copy of the record
  std::vector<uint8_t> FHandleRecord;  // a record image holding only this stream's blob handle
  int64_t FPosition = 0;
  bool FModified = false;
};

}  // namespace kura
