#pragma once
// Table-level blob tests: an engine per test, a table with Blob fields, and records posted
// and read the way a cursor does (write lock, record lock, blob values through TCursorBlobs,
// write-through; read lock around reads).
#include <gtest/gtest.h>

#include <span>
#include <string>
#include <vector>

#include "engine/blob/BlobFile.h"
#include "engine/blob/CursorBlobs.h"
#include "engine/data/FieldCodec.h"
#include "engine/index/IndexFile.h"
#include "engine/table/DataDirectory.h"
#include "engine/table/DataSession.h"
#include "engine/table/DataTable.h"
#include "engine/table/Engine.h"
#include "tests/engine/DataTestSupport.h"
#include "tests/engine/TestSupport.h"

namespace blobtable {

using namespace kura;
using namespace kura::test;

inline void StartTestEngine() {
  StartEngine();
  InstallIndexFiles();
  DefaultSession().Settings.LockWaitTime = 10;
  DefaultSession().Settings.LockRetryCount = 3;
}

// ID, Notes (memo), Picture (graphic).
inline TDataFileDefinition BlobDefinition(int32_t blockSize = 512, bool encrypted = false) {
  TDataFileDefinition def;
  def.Fields = {MakeField("ID", EngineFieldType::Integer), MakeField("Notes", EngineFieldType::Blob, 0, FieldSubType::Memo),
                MakeField("Picture", EngineFieldType::Blob, 0, FieldSubType::Graphic)};
  def.BlobBlockSize = blockSize;
  def.Encrypted = encrypted;
  if (encrypted) def.Password = "kagi";
  return def;
}

inline std::vector<uint8_t> Text(const std::string &s) { return std::vector<uint8_t>(s.begin(), s.end()); }

inline std::vector<uint8_t> Pattern(size_t n, uint8_t seed) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(seed + i * 7 + i / 251);
  return v;
}

// Puts the two values into the record image's Blob fields through a cursor's blob list and
// writes them (new change numbers from the data header).
inline void WriteRecordBlobs(TDataTable &t, std::vector<uint8_t> &image, const std::vector<uint8_t> &notes,
                             const std::vector<uint8_t> &picture) {
  TBlobStore *store = BlobStoreOf(t);
  ASSERT_NE(store, nullptr);
  const std::vector<TBlobFieldInfo> fields = BlobFieldsOf(t);
  ASSERT_EQ(fields.size(), 2u);
  TCursorBlobs blobs(store, t.Name());
  std::span<uint8_t> record(image);
  const std::vector<uint8_t> *values[2] = {&notes, &picture};
  for (size_t i = 0; i < 2; ++i) {
    const uint32_t size = blobs.OpenBlob(record, fields[i]);
    blobs.TruncateBlob(record, fields[i], 0);
    (void)size;
    blobs.PutBlob(record, fields[i], 0, static_cast<uint32_t>(values[i]->size()), values[i]->data());
    blobs.FreeBlob(record, fields[i]);
  }
  blobs.WriteBlobs(record, record, fields, [&] { return t.DataFile().NextBlobNumber(); });
  EXPECT_EQ(blobs.OpenBlobCount(), 0u);
}

// Appends a record with the given id and blob values; returns its record number.
inline int32_t PostBlobRecord(TDataTable &t, int32_t id, const std::vector<uint8_t> &notes,
                              const std::vector<uint8_t> &picture) {
  t.WriteLock();
  TDataFile &file = t.DataFile();
  TRecord *r = file.AllocateRecord(t.NoPrimaryKey());
  const int32_t n = r->RecordNumber;
  t.LockRecord(n);
  SetIntegerField(file.Field(1), r->Image.data(), id);
  WriteRecordBlobs(t, r->Image, notes, picture);
  file.MarkRecordDirty(r);
  file.ReleaseRecord(r);
  t.ChangePosted();
  t.UnlockRecord(n);
  t.WriteUnlock();
  return n;
}

// Replaces the blob values of record n.
inline void ModifyBlobRecord(TDataTable &t, int32_t n, const std::vector<uint8_t> &notes,
                             const std::vector<uint8_t> &picture) {
  t.WriteLock();
  t.LockRecord(n);
  TRecord *r = t.DataFile().GetRecord(n);
  ASSERT_NE(r, nullptr);
  WriteRecordBlobs(t, r->Image, notes, picture);
  t.DataFile().MarkRecordDirty(r);
  t.DataFile().ReleaseRecord(r);
  t.ChangePosted();
  t.UnlockRecord(n);
  t.WriteUnlock();
}

struct StoredRecord {
  int32_t Id = 0;
  std::vector<uint8_t> Notes, Picture;
};

// Reads record n and its blob values under the read lock.
inline StoredRecord ReadBlobRecord(TDataTable &t, int32_t n) {
  StoredRecord out;
  t.ReadLock();
  try {
    TRecord *r = t.DataFile().GetRecord(n);
    if (r == nullptr) r = t.DataFile().GetRecord(n);
    if (r == nullptr) throw std::runtime_error("record not readable");
    const std::vector<uint8_t> image = r->Image;
    t.DataFile().ReleaseRecord(r);
    out.Id = static_cast<int32_t>(GetIntegerField(t.DataFile().Field(1), image.data()));
    const std::vector<TBlobFieldInfo> fields = BlobFieldsOf(t);
    TBlobStore &store = *BlobStoreOf(t);
    const TBlobReference notes = ReadBlobReference(image, fields[0]);
    const TBlobReference picture = ReadBlobReference(image, fields[1]);
    out.Notes = store.ReadValue(notes.FirstBlock, notes.ChangeNumber);
    out.Picture = store.ReadValue(picture.FirstBlock, picture.ChangeNumber);
  } catch (...) {
    t.ReadUnlock();
    throw;
  }
  t.ReadUnlock();
  return out;
}

// In a forked child: a fresh engine on the same directory.
inline TDataDirectory *ChildDirectory(const std::string &path) {
  StartTestEngine();
  return DefaultSession().OpenDataDirectory("test", path);
}

}  // namespace blobtable
