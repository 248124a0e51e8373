// Damaged data files: each validation check rejects its kind of damage, and thousands of
// randomly damaged files never crash the reader.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "engine/data/Bcd.h"
#include "engine/data/DataFile.h"
#include "engine/data/FieldCodec.h"
#include "engine/errors/EngineError.h"
#include "engine/util/Bytes.h"
#include "tests/engine/DataTestSupport.h"
#include "tests/engine/TestSupport.h"

using namespace kura;
using namespace kura::test;
using T = EngineFieldType;

namespace {

constexpr size_t kD = 768;
constexpr size_t kFirst = 127;  // first descriptor

// A small valid table: AutoInc, String(10), SmallInt, BCD, Date; 12 records, 2 deleted.
std::vector<uint8_t> BaseFile(const TempDir &dir) {
  TDataFileDefinition def;
  def.Fields = {MakeField("ID", T::Integer, 0, FieldSubType::AutoInc), MakeField("Name", T::String, 10),
                MakeField("N", T::SmallInt), MakeField("Amount", T::BCD, 0, FieldSubType::None, 2),
                MakeField("Day", T::Date)};
  def.Fields[2].MinValue = "-5";
  def.Fields[2].DefaultValue = "3";
  std::string name = dir.File("base.DAT");
  TDataFile file;
  file.CreateDataFile(name, false, false, def);
  for (int k = 1; k <= 12; ++k) {
    TRecord *r = file.AllocateRecord(false);
    SetStringField(file.Field(2), r->Image.data(), "row" + std::to_string(k), 0);
    SetIntegerField(file.Field(3), r->Image.data(), k);
    TBcd amount;
    StringToBcd(std::to_string(k) + ".5", 2, amount);
    SetBcdField(file.Field(4), r->Image.data(), amount);
    SetIntegerField(file.Field(5), r->Image.data(), 730000 + k);
    file.ReleaseRecord(r);
  }
  file.FreeRecord(4, false);
  file.FreeRecord(9, false);
  file.CloseDataFile();
  return ReadWholeFile(name);
}

// Opens and validates damaged bytes; the raised code, 0 when accepted.
unsigned OpenAndValidate(const TempDir &dir, const std::vector<uint8_t> &bytes) {
  std::string name = dir.File("damaged.DAT");
  WriteWholeFile(name, bytes);
  return CodeOf([&] {
    TDataFile file;
    file.OpenDataFile(name, false, false, false, false);
    file.Validate();
  });
}

}  // namespace

TEST(DataFileValidation, EveryCheckRejectsItsDamage) {
  TempDir dir;
  const std::vector<uint8_t> base = BaseFile(dir);
  ASSERT_EQ(OpenAndValidate(dir, base), 0u);
  const size_t recordSize = GetU16(&base[21]);
  struct Case {
    const char *what;
    std::function<void(std::vector<uint8_t> &)> damage;
    unsigned code;
  };
  const Case cases[] = {
      {"version", [](auto &b) { b[8] = 4; }, KURA_OLDVERSION},
      {"language not installed", [](auto &b) { PutU16(&b[103], 0x03FF); }, KURA_CANNOTLOADLDDRV},
      {"field count above 1024", [](auto &b) { PutU16(&b[23], 1025); }, KURA_HEADERCORRUPT},
      {"field count zero", [](auto &b) { PutU16(&b[23], 0); }, KURA_HEADERCORRUPT},
      {"stored size", [](auto &b) { b[kFirst + kD + 88] = 12; }, KURA_HEADERCORRUPT},
      {"stored scale", [](auto &b) { b[kFirst + 3 * kD + 89] = 3; }, KURA_HEADERCORRUPT},
      {"empty name", [](auto &b) { b[kFirst + kD + 2] = 0; }, KURA_HEADERCORRUPT},
      {"name starting with a digit", [](auto &b) { b[kFirst + kD + 3] = '9'; }, KURA_HEADERCORRUPT},
      {"name longer than 30", [](auto &b) { b[kFirst + kD + 2] = 31; }, KURA_HEADERCORRUPT},
      {"names differing only in case",
       [](auto &b) {
         PutShortString(&b[kFirst + 2 * kD + 2], 30, "NAME");
       },
       KURA_HEADERCORRUPT},
      {"duplicate field number", [](auto &b) { PutI16(&b[kFirst + 2 * kD], 2); }, KURA_HEADERCORRUPT},
      {"declared size 251",
       [](auto &b) {
         b[kFirst + kD + 86] = 251;
         b[kFirst + kD + 88] = 252;
       },
       KURA_HEADERCORRUPT},
      {"declared size on an integer", [](auto &b) { b[kFirst + 2 * kD + 86] = 2; }, KURA_HEADERCORRUPT},
      {"invalid default", [](auto &b) { PutShortString(&b[kFirst + 2 * kD + 196], 50, "three"); },
       KURA_HEADERCORRUPT},
      {"invalid minimum", [](auto &b) { PutShortString(&b[kFirst + 2 * kD + 94], 50, "99999"); },
       KURA_HEADERCORRUPT},
      {"invalid maximum", [](auto &b) { PutShortString(&b[kFirst + 4 * kD + 145], 50, "2001-13-01"); },
       KURA_HEADERCORRUPT},
      {"scale on a non-BCD field",
       [](auto &b) {
         b[kFirst + 2 * kD + 87] = 1;
         b[kFirst + 2 * kD + 89] = 1;
       },
       KURA_HEADERCORRUPT},
      {"auto-increment offset", [](auto &b) { PutU16(&b[kFirst + 90], 9); }, KURA_HEADERCORRUPT},
      {"running offset", [](auto &b) { PutU16(&b[kFirst + 2 * kD + 90], 30); }, KURA_HEADERCORRUPT},
      {"unknown type", [](auto &b) { b[kFirst + 2 * kD + 84] = 16; }, KURA_HEADERCORRUPT},
      {"record size", [](auto &b) { PutU16(&b[21], static_cast<uint16_t>(GetU16(&b[21]) + 1)); },
       KURA_HEADERCORRUPT},
      {"blob count", [](auto &b) { PutU16(&b[25], 1); }, KURA_HEADERCORRUPT},
      {"partial record at the end", [](auto &b) { b.push_back(0); }, KURA_HEADERCORRUPT},
      {"record missing at the end", [&](auto &b) { b.resize(b.size() - recordSize); }, KURA_HEADERCORRUPT},
      {"next record number", [](auto &b) { PutI32(&b[13], 14); }, KURA_HEADERCORRUPT},
      {"free list head beyond the records", [](auto &b) { PutI32(&b[9], 13); }, KURA_HEADERCORRUPT},
      {"negative free list head", [](auto &b) { PutI32(&b[9], -1); }, KURA_HEADERCORRUPT},
      {"file shorter than the descriptors", [](auto &b) { b.resize(127 + 768 * 2); }, KURA_READERR},
      {"file shorter than the header", [](auto &b) { b.resize(100); }, KURA_READERR},
  };
  for (const Case &c : cases) {
    std::vector<uint8_t> bytes = base;
    c.damage(bytes);
    EXPECT_EQ(OpenAndValidate(dir, bytes), c.code) << c.what;
  }
}

TEST(DataFileValidation, DamagedFreeListIsCaughtWhenItIsUsed) {
  TempDir dir;
  std::vector<uint8_t> bytes = BaseFile(dir);
  const size_t recordSize = GetU16(&bytes[21]);
  const size_t slots = 127 + 5 * kD;
  // Head 9 links to 4; make slot 9 live instead of deleted, then a link out of range.
  std::vector<uint8_t> live = bytes;
  live[slots + 8 * recordSize] = 0;
  std::string name = dir.File("freelist.DAT");
  WriteWholeFile(name, live);
  TDataFile file;
  file.OpenDataFile(name, false, false, false, false);
  EXPECT_EQ(CodeOf([&] { file.AllocateRecord(false); }), KURA_FILECORRUPT);
  EXPECT_EQ(file.Header().FreeListHead(), 9);
  file.CloseDataFile(true);
  std::vector<uint8_t> link = bytes;
  PutI32(&link[slots + 8 * recordSize + 1], 500);
  WriteWholeFile(name, link);
  file.OpenDataFile(name, false, false, false, false);
  EXPECT_EQ(CodeOf([&] { file.AllocateRecord(false); }), KURA_FILECORRUPT);
  file.CloseDataFile(true);
  // A header promising more slots than the file holds: the read is short.
  std::vector<uint8_t> promise = bytes;
  PutI32(&promise[13], 40);
  WriteWholeFile(name, promise);
  file.OpenDataFile(name, false, false, false, false);
  EXPECT_EQ(CodeOf([&] { file.GetRecord(30); }), KURA_READERR);
  EXPECT_EQ(CodeOf([&] { file.GetRecord(41); }), KURA_FILECORRUPT);
}

// Thousands of randomly damaged files: opening, validating and reading every record and field
// either works or raises one of the engine's file errors; nothing else may happen.
TEST(DataFileValidation, RandomlyDamagedFilesNeverCrashTheReader) {
  TempDir dir;
  const std::vector<uint8_t> base = BaseFile(dir);
  std::mt19937 random(20261209);
  int accepted = 0, rejected = 0;
  for (int round = 0; round < 3000; ++round) {
    std::vector<uint8_t> bytes = base;
    int damages = 1 + static_cast<int>(random() % 6);
    for (int d = 0; d < damages; ++d) {
      switch (random() % 5) {
        case 0:  // header
          bytes[random() % 127] = static_cast<uint8_t>(random());
          break;
        case 1:  // descriptor stored bytes
          bytes[127 + (random() % 5) * kD + random() % 248] = static_cast<uint8_t>(random());
          break;
        case 2:  // anywhere
          bytes[random() % bytes.size()] = static_cast<uint8_t>(random());
          break;
        case 3:  // cut
          bytes.resize(random() % bytes.size());
          break;
        default:  // grow with junk
          for (int k = static_cast<int>(random() % 40); k > 0; --k) bytes.push_back(static_cast<uint8_t>(random()));
          break;
      }
      if (bytes.empty()) bytes.push_back(0);
    }
    std::string name = "mem-fuzz.DAT";
    {
      TFileHandler writer;
      writer.Create(name, true, false);
      writer.WriteAt(0, bytes.data(), static_cast<int64_t>(bytes.size()));
      writer.TruncateAt(static_cast<int64_t>(bytes.size()));
    }
    bool validate = round % 2 == 0;
    try {
      TDataFile file;
      file.OpenDataFile(name, true, false, false, false);
      if (validate) file.Validate();
      for (int n = 1; n <= file.SlotCount() && n <= 64; ++n) {
        TRecord *r = file.GetRecord(n, n % 2 ? ReadForward : ReadBackward);
        for (int f = 1; f <= file.FieldCount(); ++f) {
          const TFieldDescriptor &field = file.Field(f);
          if (FieldIsNull(field, r->Image.data())) continue;
          switch (field.Type) {
            case T::String: (void)GetStringField(field, r->Image.data()); break;
            case T::BCD: {
              std::string text;
              BcdToString(GetBcdField(field, r->Image.data()), text);
              break;
            }
            default: (void)GetBytesField(field, r->Image.data()); break;
          }
        }
        file.ReleaseRecord(r);
      }
      if (file.SlotCount() < 1000) {
        TRecord *r = file.AllocateRecord(false);
        if (r) file.ReleaseRecord(r);
        file.WriteChanges(false, false);
      }
      (void)file.ReadHeaderChanged();
      file.CloseDataFile();
      ++accepted;
    } catch (const EKuraEngineError &e) {
      const unsigned code = e.ErrorCode();
      EXPECT_TRUE(code == KURA_HEADERCORRUPT || code == KURA_FILECORRUPT || code == KURA_READERR ||
                  code == KURA_OLDVERSION || code == KURA_CANNOTLOADLDDRV || code == KURA_TABLEFULL ||
                  code == KURA_KEYORRECDELETED)
          << "round " << round << ": " << e.what();
      ++rejected;
    }
    TFileHandler::DeleteFile(name, true, name);
  }
  EXPECT_GT(accepted, 0);
  EXPECT_GT(rejected, 1000);
}
