// Data file: creation, every field encoding, slots and free list, cache, limits, reopen.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "engine/data/Bcd.h"
#include "engine/data/DataFile.h"
#include "engine/data/DateTimeCodec.h"
#include "engine/data/FieldCodec.h"
#include "engine/errors/EngineError.h"
#include "engine/locale/Collation.h"
#include "engine/util/Bytes.h"
#include "tests/engine/DataTestSupport.h"
#include "tests/engine/TestSupport.h"

using namespace kura;
using namespace kura::test;
using T = EngineFieldType;

namespace {

// Fills record k of the every-type table with values derived from k.
void FillEveryType(TDataFile &file, uint8_t *image, int k) {
  auto F = [&](const char *name) -> const TFieldDescriptor & { return file.Field(file.FieldNumberByName(name)); };
  SetStringField(F("Name"), image, "name " + std::to_string(k) + "   ", 0);
  int32_t day;
  DateToDayNumber(1990 + k % 30, 1 + k % 12, 1 + k % 28, day);
  SetIntegerField(F("Born"), image, day);
  SetBytesField(F("Notes"), image, {1, 0, 0, 0, static_cast<uint8_t>(k), 0, 0, 0});
  SetIntegerField(F("Active"), image, k % 2 ? 7 : 0);
  SetIntegerField(F("Small"), image, -k * 10);
  SetIntegerField(F("Count"), image, k * 100000);
  SetFloatField(F("Ratio"), image, k / 3.0);
  SetFloatField(F("Price"), image, k * 1.25);
  TBcd amount;
  StringToBcd("-" + std::to_string(k) + ".75", 2, amount);
  SetBcdField(F("Amount"), image, amount);
  SetBytesField(F("Raw"), image, {0xDE, 0xAD, static_cast<uint8_t>(k)});
  SetIntegerField(F("AtTime"), image, (k * 61 + 5) * 1000);
  SetFloatField(F("Stamp"), image, EncodeTimeStamp(day, 3600000 + k));
  SetIntegerField(F("W"), image, 65535 - k);
  SetIntegerField(F("LW"), image, 4000000000LL + k);
  SetFloatField(F("Ext"), image, 1.0 / (k + 1));
  SetBytesField(F("VB"), image, {static_cast<uint8_t>(k), 1, 2});
  SetIntegerField(F("Big"), image, -9000000000000LL * k);
  SetStringField(F("Fixed"), image, "abcdefgh", 0);
}

void CheckEveryType(const TDataFile &file, const uint8_t *image, int k) {
  auto F = [&](const char *name) -> const TFieldDescriptor & { return file.Field(file.FieldNumberByName(name)); };
  EXPECT_EQ(GetStringField(F("Name"), image), "name " + std::to_string(k));
  int32_t day;
  DateToDayNumber(1990 + k % 30, 1 + k % 12, 1 + k % 28, day);
  EXPECT_EQ(GetIntegerField(F("Born"), image), day);
  EXPECT_EQ(GetBytesField(F("Notes"), image)[4], static_cast<uint8_t>(k));
  EXPECT_EQ(GetIntegerField(F("Active"), image), k % 2 ? 1 : 0);
  EXPECT_FALSE(FieldIsNull(F("Active"), image));
  EXPECT_EQ(GetIntegerField(F("Small"), image), -k * 10);
  EXPECT_EQ(GetIntegerField(F("Count"), image), k * 100000);
  EXPECT_DOUBLE_EQ(GetFloatField(F("Ratio"), image), k / 3.0);
  EXPECT_DOUBLE_EQ(GetFloatField(F("Price"), image), k * 1.25);
  std::string amount;
  ASSERT_TRUE(BcdToString(GetBcdField(F("Amount"), image), amount));
  EXPECT_EQ(amount, "-" + std::to_string(k) + ".75");
  std::vector<uint8_t> raw = GetBytesField(F("Raw"), image);
  EXPECT_EQ(raw, (std::vector<uint8_t>{0xDE, 0xAD, static_cast<uint8_t>(k), 0, 0, 0}));
  EXPECT_EQ(GetIntegerField(F("AtTime"), image), (k * 61 + 5) * 1000);
  EXPECT_DOUBLE_EQ(GetFloatField(F("Stamp"), image), EncodeTimeStamp(day, 3600000 + k));
  EXPECT_EQ(GetIntegerField(F("W"), image), 65535 - k);
  EXPECT_EQ(GetIntegerField(F("LW"), image), 4000000000LL + k);
  EXPECT_DOUBLE_EQ(GetFloatField(F("Ext"), image), 1.0 / (k + 1));
  EXPECT_EQ(GetBytesField(F("VB"), image), (std::vector<uint8_t>{static_cast<uint8_t>(k), 1, 2, 0, 0}));
  EXPECT_EQ(GetIntegerField(F("Big"), image), -9000000000000LL * k);
  EXPECT_EQ(GetStringField(F("Fixed"), image), "abcd");
}

}  // namespace

TEST(DataFile, CreateWritesHeaderAndDescriptorsAsLaidOut) {
  TempDir dir;
  TDataFile file;
  file.CreateDataFile(dir.File("every.DAT"), false, false, EveryTypeDefinition());
  EXPECT_EQ(file.FieldCount(), 19);
  EXPECT_EQ(file.BlobFieldCount(), 1);
  EXPECT_EQ(file.Field(1).Offset, kAutoIncOffset);
  EXPECT_EQ(file.Field(2).Offset, 9);
  EXPECT_EQ(file.Field(2).DataSize, 21);
  EXPECT_EQ(file.Field(3).Offset, 9 + 22);
  EXPECT_EQ(file.Field(10).DataSize, 34);
  EXPECT_EQ(file.Field(10).DataScale, 2);
  EXPECT_EQ(file.Field(16).DataSize, 10);
  file.CloseDataFile();
  std::vector<uint8_t> bytes = ReadWholeFile(dir.File("every.DAT"));
  ASSERT_EQ(bytes.size(), 127u + 19 * 768);
  EXPECT_EQ(GetI32(&bytes[0]), 0);     // change counter after creation
  EXPECT_EQ(bytes[8], 5);              // version
  EXPECT_EQ(GetI32(&bytes[13]), 1);    // next record number
  EXPECT_EQ(GetU16(&bytes[23]), 19);   // field count
  EXPECT_EQ(GetI64(&bytes[116]), 33000);
  EXPECT_EQ(GetU16(&bytes[107]), 3);
  EXPECT_EQ(GetShortString(&bytes[35], 50), "every type");
  const uint8_t *second = &bytes[127 + 768];
  EXPECT_EQ(GetI16(second), 2);
  EXPECT_EQ(GetShortString(second + 2, 30), "Name");
  EXPECT_EQ(second[84], 1);
  EXPECT_EQ(second[86], 20);
  EXPECT_EQ(second[88], 21);
  EXPECT_EQ(GetU16(second + 90), 9);
  for (size_t i = 248; i < 768; ++i) ASSERT_EQ(second[i], 0);
}

// The record size is 9 + the sum of (stored size + 1): the String of declared size 10 stores
// 11 data bytes (text and terminating zero) after its indicator byte, so 9 + 12 = 21.
TEST(DataFile, RecordSizeOfAutoIncAndTenCharacterString) {
  TDataFileDefinition def;
  def.Fields = {MakeField("ID", T::Integer, 0, FieldSubType::AutoInc), MakeField("S", T::String, 10)};
  TDataFile file;
  file.CreateDataFile("mem-size20.DAT", true, true, def);
  EXPECT_EQ(file.RecordSize(), 21);
  EXPECT_EQ(file.ReadAheadCount(), 8192 / 21);
  // An empty file validates with NextRecordNumber 1 and FreeListHead 0.
  EXPECT_NO_THROW(file.Validate());
  EXPECT_EQ(file.SlotCount(), 0);
}

TEST(DataFile, EveryFieldTypeRoundTripsAndReopensIdenticallyInAFreshProcess) {
  TempDir dir;
  const std::string name = dir.File("every.DAT");
  std::vector<std::vector<uint8_t>> images;
  {
    TDataFile file;
    file.CreateDataFile(name, false, false, EveryTypeDefinition());
    for (int k = 1; k <= 50; ++k) {
      TRecord *r = file.AllocateRecord(false);
      ASSERT_NE(r, nullptr);
      EXPECT_EQ(r->RecordNumber, k);
      EXPECT_EQ(GetI32(r->Image.data() + 5), k);  // auto-increment value
      FillEveryType(file, r->Image.data(), k);
      file.MarkRecordDirty(r);
      images.push_back(r->Image);
      file.ReleaseRecord(r);
    }
    file.CloseDataFile();
  }
  std::vector<uint8_t> before = ReadWholeFile(name);
  ASSERT_EQ(before.size(), 127u + 19 * 768 + 50u * images[0].size());
  Child child([&] {
    TDataFile file;
    file.OpenDataFile(name, false, false, true, false);
    file.Validate();
    int failures = 0;
    for (int k = 50; k >= 1; --k) {  // backwards: read-ahead blocks in the other direction
      TRecord *r = file.GetRecord(k, ReadBackward);
      if (!r || r->Image != images[static_cast<size_t>(k - 1)]) ++failures;
      else CheckEveryType(file, r->Image.data(), k);
      file.ReleaseRecord(r);
    }
    if (::testing::Test::HasFailure()) ++failures;
    if (file.Description() != "every type" || file.UserMinorVersion() != 7) ++failures;
    file.CloseDataFile();
    return failures;
  });
  EXPECT_EQ(child.Wait(), 0);
  EXPECT_EQ(ReadWholeFile(name), before);  // reading never changes the file
}

TEST(DataFile, StringsLoseTrailingBlanksAndEmptyTextIsNull) {
  TDataFileDefinition def;
  def.Fields = {MakeField("S", T::String, 8), MakeField("U", T::String, 8), MakeField("L", T::String, 8)};
  def.Fields[1].CharCase = FieldCharCase::Upper;
  def.Fields[2].CharCase = FieldCharCase::Lower;
  TDataFile file;
  file.CreateDataFile("mem-strings.DAT", true, true, def);
  TRecord *r = file.AllocateRecord(false);
  const TFieldDescriptor &s = file.Field(1);
  SetStringField(s, r->Image.data(), "go  ", 0);
  EXPECT_EQ(GetStringField(s, r->Image.data()), "go");
  EXPECT_EQ(r->Image[s.Offset + 3], 0);
  SetStringField(s, r->Image.data(), "", 0);
  EXPECT_TRUE(FieldIsNull(s, r->Image.data()));
  SetStringField(s, r->Image.data(), "     ", 0);
  EXPECT_TRUE(FieldIsNull(s, r->Image.data()));
  SetStringField(s, r->Image.data(), "longer than eight", 0);
  EXPECT_EQ(GetStringField(s, r->Image.data()), "longer t");
  // A UTF-8 character is never split: "碁" is three bytes.
  SetStringField(s, r->Image.data(), "abc碁碁", 0);
  EXPECT_EQ(GetStringField(s, r->Image.data()), "abc碁");
  SetStringField(s, r->Image.data(), "ab碁碁", 0);
  EXPECT_EQ(GetStringField(s, r->Image.data()), "ab碁碁");
  SetStringField(file.Field(2), r->Image.data(), "Hoshi", 0);
  EXPECT_EQ(GetStringField(file.Field(2), r->Image.data()), "HOSHI");
  SetStringField(file.Field(3), r->Image.data(), "Tengen", 0);
  EXPECT_EQ(GetStringField(file.Field(3), r->Image.data()), "tengen");
  SetFieldNull(file.Field(3), r->Image.data());
  EXPECT_TRUE(FieldIsNull(file.Field(3), r->Image.data()));
  for (int i = 1; i <= 9; ++i) EXPECT_EQ(r->Image[file.Field(3).Offset + i - 1], 0);
  file.ReleaseRecord(r);
}

TEST(DataFile, NullRulesForBooleanBlobAndAutoInc) {
  TDataFileDefinition def;
  def.Fields = {MakeField("ID", T::Integer, 0, FieldSubType::AutoInc), MakeField("B", T::Boolean),
                MakeField("M", T::Blob, 0, FieldSubType::Memo)};
  TDataFile file;
  file.CreateDataFile("mem-nulls.DAT", true, true, def);
  TRecord *r = file.AllocateRecord(false);
  uint8_t *image = r->Image.data();
  SetIntegerField(file.Field(2), image, 0);
  EXPECT_FALSE(FieldIsNull(file.Field(2), image));
  EXPECT_EQ(GetIntegerField(file.Field(2), image), 0);
  SetBytesField(file.Field(3), image, {1, 2, 3, 4, 5, 6, 7, 8});
  SetFieldNull(file.Field(3), image);
  std::vector<uint8_t> blob = GetBytesField(file.Field(3), image);
  EXPECT_EQ(blob, (std::vector<uint8_t>{0, 0, 0, 0, 5, 6, 7, 8}));  // only the first four bytes
  int64_t before = GetIntegerField(file.Field(1), image);
  SetFieldNull(file.Field(1), image);
  EXPECT_FALSE(FieldIsNull(file.Field(1), image));
  EXPECT_EQ(GetIntegerField(file.Field(1), image), before);
  file.ReleaseRecord(r);
}

TEST(DataFile, FreeListReusesSevenThenThreeOnlyWithAPrimaryKey) {
  TDataFileDefinition def;
  def.Fields = {MakeField("ID", T::Integer, 0, FieldSubType::AutoInc), MakeField("S", T::String, 10)};
  for (bool noPrimaryKey : {false, true}) {
    TDataFile file;
    file.CreateDataFile("mem-free.DAT", true, true, def);
    for (int k = 1; k <= 10; ++k) file.ReleaseRecord(file.AllocateRecord(noPrimaryKey));
    file.FreeRecord(3, noPrimaryKey);
    file.FreeRecord(7, noPrimaryKey);
    EXPECT_EQ(file.Header().FreeListHead(), 7);
    TRecord *seven = file.GetRecord(7);
    TRecord *three = file.GetRecord(3);
    EXPECT_EQ(seven->Image[0], 1);
    EXPECT_EQ(GetI32(seven->Image.data() + 1), noPrimaryKey ? 0 : 3);
    EXPECT_EQ(GetI32(three->Image.data() + 1), 0);
    file.ReleaseRecord(seven);
    file.ReleaseRecord(three);
    // A slot freed twice is damage (the free list would loop), not another user's change.
    EXPECT_EQ(CodeOf([&] { file.FreeRecord(7, noPrimaryKey); }), KURA_FILECORRUPT);
    TRecord *a = file.AllocateRecord(noPrimaryKey);
    TRecord *b = file.AllocateRecord(noPrimaryKey);
    if (noPrimaryKey) {
      EXPECT_EQ(a->RecordNumber, 11);
      EXPECT_EQ(b->RecordNumber, 12);
    } else {
      EXPECT_EQ(a->RecordNumber, 7);
      EXPECT_EQ(b->RecordNumber, 3);
      EXPECT_EQ(file.Header().FreeListHead(), 0);
      EXPECT_EQ(a->Image[0], 0);
      EXPECT_EQ(GetI32(a->Image.data() + 1), 7);
      EXPECT_EQ(GetI32(a->Image.data() + 5), 11);
    }
    file.ReleaseRecord(a);
    file.ReleaseRecord(b);
    file.CloseDataFile();  // temporary: the memory file goes with it
  }
}

TEST(DataFile, AutoIncrementWrapsAndSuppressionRaisesTheLastValue) {
  TDataFileDefinition def;
  def.Fields = {MakeField("ID", T::Integer, 0, FieldSubType::AutoInc)};
  TDataFile file;
  file.CreateDataFile("mem-autoinc.DAT", true, true, def);
  file.SetLastAutoIncValue(2147483647);
  EXPECT_EQ(file.NextAutoIncValue(), 1);
  TRecord *r = file.AllocateRecord(false, true, 500);
  EXPECT_EQ(GetI32(r->Image.data() + 5), 500);
  EXPECT_EQ(file.LastAutoIncValue(), 500);
  file.ReleaseRecord(r);
  r = file.AllocateRecord(false, true, 20);
  EXPECT_EQ(file.LastAutoIncValue(), 500);
  file.ReleaseRecord(r);
  r = file.AllocateRecord(false);
  EXPECT_EQ(GetI32(r->Image.data() + 5), 501);
  file.ReleaseRecord(r);
}

TEST(DataFile, AppendingBeyondTheSlotLimitsIsTableFull) {
  TDataFileDefinition def;
  def.Fields = {MakeField("B", T::Boolean)};  // 12-byte records: 200 000 000 slots fit in 4 GB
  TDataFile file;
  file.CreateDataFile("mem-full.DAT", true, true, def);
  file.SetNextRecordNumberForTest(200000001);
  EXPECT_EQ(CodeOf([&] { file.AllocateRecord(true); }), KURA_TABLEFULL);
  EXPECT_EQ(file.Header().NextRecordNumber(), 200000001);  // unchanged by the failure
  file.SetNextRecordNumberForTest(200000000);
  TRecord *last = nullptr;
  EXPECT_EQ(CodeOf([&] { last = file.AllocateRecord(true); }), 0u);
  EXPECT_EQ(last->RecordNumber, 200000000);
  file.DropCache();
  file.ReleaseRecord(last);
  // The 4 000 000 000-byte limit comes first for long records.
  TDataFileDefinition wide;
  for (int i = 0; i < 200; ++i) wide.Fields.push_back(MakeField("F" + std::to_string(i), T::String, 250));
  TDataFile big;
  big.CreateDataFile("mem-wide.DAT", true, true, wide);
  int32_t fits = static_cast<int32_t>((4000000000LL - 127 - 200 * 768) / big.RecordSize());
  big.SetNextRecordNumberForTest(fits + 1);
  EXPECT_EQ(CodeOf([&] { big.AllocateRecord(true); }), KURA_TABLEFULL);
  EXPECT_EQ(CodeOf([&] { big.GetRecord(0); }), KURA_FILECORRUPT);
}

TEST(DataFile, CreateChecksTheDefinition) {
  auto tryCreate = [](TDataFileDefinition def) {
    return CodeOf([&] {
      TDataFile file;
      file.CreateDataFile("mem-check.DAT", true, true, def);
    });
  };
  TDataFileDefinition ok;
  ok.Fields = {MakeField("A", T::String, 5)};
  EXPECT_EQ(tryCreate(ok), 0u);
  TDataFileDefinition d = ok;
  d.Fields[0].DeclaredSize = 251;
  EXPECT_EQ(tryCreate(d), KURA_INVALIDFLDTYPE);
  d = ok;
  d.Fields[0].DeclaredSize = 0;
  EXPECT_EQ(tryCreate(d), KURA_INVALIDFLDTYPE);
  d = ok;
  d.Fields.push_back(MakeField(" a ", T::Integer));
  EXPECT_EQ(tryCreate(d), KURA_INVALIDFIELDNAME);
  d = ok;
  d.Fields[0].Name = "1st";
  EXPECT_EQ(tryCreate(d), KURA_INVALIDFIELDNAME);
  d.Fields[0].Name = std::string(31, 'x');
  EXPECT_EQ(tryCreate(d), KURA_INVALIDFIELDNAME);
  d = ok;
  d.Fields[0].Type = T::Unknown;
  EXPECT_EQ(tryCreate(d), KURA_INVALIDFLDTYPE);
  d = ok;
  d.Fields.push_back(MakeField("N", T::SmallInt));
  d.Fields[1].MaxValue = "40000";
  EXPECT_EQ(tryCreate(d), KURA_INVALIDVCHKSTRUCT);
  d.Fields[1].MaxValue = "300";
  d.Fields[1].DefaultValue = "x";
  EXPECT_EQ(tryCreate(d), KURA_INVALIDVCHKSTRUCT);
  d = ok;
  d.Fields.push_back(MakeField("D", T::Date));
  d.Fields[1].DefaultValue = "CURRENT_DATE";
  d.Fields[1].MinValue = "2000-01-31";
  EXPECT_EQ(tryCreate(d), 0u);
  d.Fields[1].MinValue = "2000-02-30";
  EXPECT_EQ(tryCreate(d), KURA_INVALIDVCHKSTRUCT);
  d = ok;
  d.Encrypted = true;
  EXPECT_EQ(tryCreate(d), KURA_INVALIDPASSWORD);
  d.Password = "sixteen chars xx";
  EXPECT_EQ(tryCreate(d), KURA_INVALIDPASSWORD);
  d = ok;
  d.LanguageId = 0x03FF;
  EXPECT_EQ(tryCreate(d), KURA_CANNOTLOADLDDRV);
  d = ok;
  d.IndexDefinitionCount = 33;
  EXPECT_EQ(tryCreate(d), KURA_INDEXLIMIT);
  d = ok;
  d.BlobBlockSize = 63;
  EXPECT_EQ(tryCreate(d), KURA_BLOBLIMIT);
  d = ok;
  d.Fields.clear();
  EXPECT_EQ(tryCreate(d), KURA_FLDLIMIT);
  for (int i = 0; i < 1025; ++i) d.Fields.push_back(MakeField("F" + std::to_string(i), T::Integer));
  EXPECT_EQ(tryCreate(d), KURA_FLDLIMIT);
  d.Fields.clear();
  for (int i = 0; i < 129; ++i) d.Fields.push_back(MakeField("B" + std::to_string(i), T::Blob, 0, FieldSubType::Memo));
  EXPECT_EQ(tryCreate(d), KURA_BLOBLIMIT);
  d.Fields.clear();
  for (int i = 0; i < 262; ++i) d.Fields.push_back(MakeField("S" + std::to_string(i), T::String, 250));
  EXPECT_EQ(tryCreate(d), KURA_RECTOOBIG);
}

TEST(DataFile, EncryptedTableScramblesDescriptorsRecordsAndTexts) {
  TempDir dir;
  TDataFileDefinition def;
  def.Fields = {MakeField("Secret", T::String, 12)};
  def.Encrypted = true;
  def.Password = " kuro ";
  def.Description = "hidden";
  {
    TDataFile file;
    file.CreateDataFile(dir.File("enc.DAT"), false, false, def);
    TRecord *r = file.AllocateRecord(false);
    SetStringField(file.Field(1), r->Image.data(), "tengen", 0);
    file.ReleaseRecord(r);
    file.CloseDataFile();
  }
  std::vector<uint8_t> bytes = ReadWholeFile(dir.File("enc.DAT"));
  std::string all(bytes.begin(), bytes.end());
  EXPECT_EQ(all.find("Secret"), std::string::npos);
  EXPECT_EQ(all.find("tengen"), std::string::npos);
  EXPECT_EQ(all.find("hidden"), std::string::npos);
  EXPECT_EQ(bytes[86], 1);
  TDataFile file;
  file.OpenDataFile(dir.File("enc.DAT"), false, false, false, false);
  file.Validate();
  EXPECT_EQ(file.Password(), "kuro");
  EXPECT_EQ(file.Description(), "hidden");
  EXPECT_EQ(file.Field(1).Name, "Secret");
  TRecord *r = file.GetRecord(1);
  EXPECT_EQ(GetStringField(file.Field(1), r->Image.data()), "tengen");
  file.ReleaseRecord(r);
}

TEST(DataFile, CacheReadsAheadEvictsAndWritesRunsBack) {
  TempDir dir;
  TDataFileDefinition def;
  def.Fields = {MakeField("ID", T::Integer, 0, FieldSubType::AutoInc), MakeField("V", T::Integer)};
  const std::string name = dir.File("cache.DAT");
  {
    TDataFile file;
    file.CreateDataFile(name, false, false, def);
    for (int k = 1; k <= 3000; ++k) {
      TRecord *r = file.AllocateRecord(false);
      SetIntegerField(file.Field(2), r->Image.data(), k * 3);
      file.ReleaseRecord(r);
    }
    file.CloseDataFile();
  }
  TDataFile file;
  file.SetCacheLimits(16384, 100);  // capacity 100 records of 14 bytes
  file.OpenDataFile(name, false, false, false, false);
  EXPECT_EQ(file.CacheCapacity(), 100u);
  TRecord *r = file.GetRecord(1000);
  EXPECT_EQ(GetIntegerField(file.Field(2), r->Image.data()), 3000);
  EXPECT_EQ(file.CachedRecordCount(), 100u);  // a forward block, capped at capacity
  file.ReleaseRecord(r);
  r = file.GetRecord(1099);
  EXPECT_EQ(GetIntegerField(file.Field(2), r->Image.data()), 3297);
  file.ReleaseRecord(r);
  // Pinned records survive eviction; the cache grows when nothing else can go.
  std::vector<TRecord *> pinned;
  for (int k = 1; k <= 150; ++k) {
    pinned.push_back(file.GetRecord(k * 19, ReadForward, 1));
    SetIntegerField(file.Field(2), pinned.back()->Image.data(), -k);
    file.MarkRecordDirty(pinned.back());
  }
  EXPECT_GE(file.CacheCapacity(), 150u);
  for (TRecord *p : pinned) file.ReleaseRecord(p);
  EXPECT_TRUE(file.WriteChanges(false, true));
  EXPECT_EQ(file.CacheCapacity(), 100u);  // the grown room is given back after the write
  EXPECT_EQ(file.CachedRecordCount(), 100u);
  file.CloseDataFile();
  file.OpenDataFile(name, false, false, false, false);
  for (int k = 1; k <= 150; ++k) {
    TRecord *p = file.GetRecord(k * 19, ReadBackward);
    EXPECT_EQ(GetIntegerField(file.Field(2), p->Image.data()), -k);
    file.ReleaseRecord(p);
  }
  TRecord *untouched = file.GetRecord(20);
  EXPECT_EQ(GetIntegerField(file.Field(2), untouched->Image.data()), 60);
  file.ReleaseRecord(untouched);
}

TEST(DataFile, ChangeDetectionSeesAnotherWriter) {
  TempDir dir;
  TDataFileDefinition def;
  def.Fields = {MakeField("V", T::Integer)};
  const std::string name = dir.File("change.DAT");
  TDataFile writer, reader;
  writer.CreateDataFile(name, false, false, def);
  writer.CloseDataFile();
  writer.OpenDataFile(name, false, false, false, false);
  reader.OpenDataFile(name, false, false, false, false);
  EXPECT_FALSE(reader.ReadHeaderChanged());
  TRecord *r = writer.AllocateRecord(true);
  SetIntegerField(writer.Field(1), r->Image.data(), 42);
  writer.ReleaseRecord(r);
  writer.WriteChanges(false, false);
  EXPECT_TRUE(reader.ReadHeaderChanged());
  EXPECT_EQ(reader.SlotCount(), 1);
  EXPECT_FALSE(reader.ReadHeaderChanged());
}

TEST(DataFile, EmptyCutsTheFileAndResetsTheHeader) {
  TempDir dir;
  TDataFileDefinition def;
  def.Fields = {MakeField("ID", T::Integer, 0, FieldSubType::AutoInc)};
  TDataFile file;
  file.CreateDataFile(dir.File("empty.DAT"), false, false, def);
  for (int k = 0; k < 5; ++k) file.ReleaseRecord(file.AllocateRecord(false));
  file.WriteChanges(false, false);
  file.FreeRecord(2, false);
  file.Empty(false);
  EXPECT_EQ(file.SlotCount(), 0);
  EXPECT_EQ(file.LastAutoIncValue(), 0);
  EXPECT_EQ(file.Header().FreeListHead(), 0);
  file.CloseDataFile();
  EXPECT_EQ(ReadWholeFile(dir.File("empty.DAT")).size(), 127u + 768);
}

TEST(DataFile, RecordLocksAndWriteSemaphore) {
  TempDir dir;
  TDataFileDefinition def;
  def.Fields = {MakeField("V", T::Integer)};
  TDataFile a, b;
  a.CreateDataFile(dir.File("locks.DAT"), false, false, def);
  a.CloseDataFile();
  a.OpenDataFile(dir.File("locks.DAT"), false, false, false, false);
  b.OpenDataFile(dir.File("locks.DAT"), false, false, false, false);
  EXPECT_TRUE(a.LockRecord(9));
  EXPECT_FALSE(b.LockRecord(9));  // same file object: the in-process lock list decides
  EXPECT_TRUE(a.LockRecord(10));
  EXPECT_TRUE(a.UnlockAllRecords());
  EXPECT_TRUE(b.LockRecord(9));
  EXPECT_FALSE(a.LockRecord(0));
  EXPECT_TRUE(a.TakeWriteSemaphore());
  EXPECT_TRUE(a.ReleaseWriteSemaphore());
}

TEST(DataFile, StringCaseMappingAndLocaleFollowTheTableLanguage) {
  uint16_t turkish = 0, german = 0, phoneBook = 0;
  ASSERT_TRUE(LanguageIdFromName("Turkish", turkish));
  ASSERT_TRUE(LanguageIdFromName("German (Standard)", german));
  ASSERT_TRUE(SortIdFromName(german, "German Phone Book Order", phoneBook));
  TDataFileDefinition def;
  def.Fields = {MakeField("U", T::String, 20)};
  def.Fields[0].CharCase = FieldCharCase::Upper;
  def.LanguageId = turkish;
  TDataFile file;
  file.CreateDataFile("mem-turkish.DAT", true, true, def);
  EXPECT_NO_THROW(file.Validate());
  TRecord *r = file.AllocateRecord(true);
  SetStringField(file.Field(1), r->Image.data(), "istanbul", file.LanguageId());
  EXPECT_EQ(GetStringField(file.Field(1), r->Image.data()), "İSTANBUL");
  SetStringField(file.Field(1), r->Image.data(), "istanbul", 0);  // language 0: US English
  EXPECT_EQ(GetStringField(file.Field(1), r->Image.data()), "ISTANBUL");
  file.ReleaseRecord(r);
  TDataFileDefinition phone = def;
  phone.LanguageId = german;
  phone.SortId = phoneBook;
  TDataFile book;
  book.CreateDataFile("mem-phonebook.DAT", true, true, phone);
  EXPECT_NO_THROW(book.Validate());
  EXPECT_EQ(book.SortId(), phoneBook);
}
