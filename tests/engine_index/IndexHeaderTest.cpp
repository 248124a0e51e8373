// The index header on disk, the index definitions and their checks.
#include <functional>
#include <random>

#include "IndexTestSupport.h"

using namespace kura;
using namespace kura::indextest;

namespace {

TIndexDefinition IntDefinition(const std::string &name, int fields = 1, EngineFieldType type = EngineFieldType::Integer) {
  TIndexDefinition d;
  d.Name = name;
  for (int i = 0; i < fields; ++i) {
    TIndexDefinitionField f;
    f.FieldNumber = static_cast<uint16_t>(i + 1);
    f.FieldName = "F" + std::to_string(i + 1);
    f.Type = type;
    f.StoredSize = type == EngineFieldType::BCD ? 34 : 4;
    d.Fields.push_back(f);
  }
  return d;
}

std::vector<uint8_t> Encoded(const TIndexHeader &h) {
  std::vector<uint8_t> page(kIndexPageSize);
  h.Encode(page.data());
  return page;
}

}  // namespace

TEST(IndexHeader, NewHeaderHasTheSystemDescriptorsInPlace) {
  TIndexHeader h = TIndexHeader::CreateEmpty();
  std::vector<uint8_t> page = Encoded(h);
  EXPECT_EQ(page[4], 5);
  EXPECT_EQ(indexbytes::GetI32LE(page.data() + 5), 1);
  EXPECT_EQ(page[9], 0);
  EXPECT_EQ(page[3730], 11);
  EXPECT_EQ(std::string(reinterpret_cast<const char *>(page.data() + 3731), 11), "Sys Deleted");
  EXPECT_EQ(indexbytes::GetI16LE(page.data() + 3730 + 31), 5);
  EXPECT_EQ(page[3730 + 36], 0);
  EXPECT_EQ(page[3850], 8);
  EXPECT_EQ(std::string(reinterpret_cast<const char *>(page.data() + 3851), 8), "Sys Text");
  EXPECT_EQ(indexbytes::GetI16LE(page.data() + 3850 + 31), 68);
  EXPECT_EQ(page[3850 + 36], 3);
  TIndexHeader back = TIndexHeader::Decode(page.data(), {});
  EXPECT_EQ(back.Descriptors[kSystemRecordIndex].Name, "Sys Deleted");
  EXPECT_EQ(back.Descriptors[kFullTextIndex].Name, "Sys Text");
}

TEST(IndexHeader, EveryFieldSurvivesEncodeAndDecode) {
  TIndexHeader h = TIndexHeader::CreateEmpty();
  TIndexDefinition def = IntDefinition("ByTwo", 2);
  def.Fields[1].Descending = true;
  def.Descending = true;
  def.CaseInsensitive = true;
  def.Compression = KeyCompression::Full;
  DefinePrimaryIndex(h, IntDefinition(""), {});
  int n = AddSecondaryIndex(h, def, {});
  h.NextPage = 40;
  h.Descriptors[n].RootPage = 12;
  h.Descriptors[n].FirstFreePage = 39;
  h.LiveRecordCount = 1234;
  h.ChangeCounter = 77;
  TIndexHeader back = TIndexHeader::Decode(Encoded(h).data(), {});
  EXPECT_EQ(back.ChangeCounter, 77);
  EXPECT_EQ(back.NextPage, 40);
  EXPECT_EQ(back.SecondaryCount, 1);
  EXPECT_EQ(back.LiveRecordCount, 1234);
  EXPECT_FALSE(back.NoPrimaryKey);
  const TIndexDescriptor &d = back.Descriptors[n];
  EXPECT_EQ(d.Name, "ByTwo");
  EXPECT_EQ(d.KeyLength, 14);
  EXPECT_TRUE(d.Descending);
  EXPECT_TRUE(d.CaseInsensitive);
  EXPECT_FALSE(d.Unique);
  EXPECT_EQ(d.Compression, KeyCompression::Full);
  EXPECT_EQ(d.FieldCount, 2);
  EXPECT_EQ(d.FieldNumbers[1], 2);
  EXPECT_EQ(d.FieldDescending[1], 1);
  EXPECT_EQ(d.RootPage, 12);
  EXPECT_EQ(d.FirstFreePage, 39);
  EXPECT_TRUE(back.Descriptors[0].Unique);
  EXPECT_EQ(back.Descriptors[0].KeyLength, 5);
}

// Unused slots are left as the page's zero bytes rather than encoded: a slot with any one
// value set must still be written in full.
TEST(IndexHeader, ASlotWithAnyOneValueSetIsWritten) {
  const std::vector<std::pair<const char *, std::function<void(TIndexDescriptor &)>>> cases = {
      {"name", [](TIndexDescriptor &d) { d.Name = "N"; }},
      {"key length", [](TIndexDescriptor &d) { d.KeyLength = 4; }},
      {"descending", [](TIndexDescriptor &d) { d.Descending = true; }},
      {"case insensitive", [](TIndexDescriptor &d) { d.CaseInsensitive = true; }},
      {"unique", [](TIndexDescriptor &d) { d.Unique = true; }},
      {"compression", [](TIndexDescriptor &d) { d.Compression = KeyCompression::TrailingBytes; }},
      {"field count", [](TIndexDescriptor &d) { d.FieldCount = 1; }},
      {"last field descending", [](TIndexDescriptor &d) { d.FieldDescending[kMaxKeyFields - 1] = 1; }},
      {"last field number", [](TIndexDescriptor &d) { d.FieldNumbers[kMaxKeyFields - 1] = 300; }},
      {"root page", [](TIndexDescriptor &d) { d.RootPage = 9; }},
      {"first free page", [](TIndexDescriptor &d) { d.FirstFreePage = 8; }},
      {"full-text page", [](TIndexDescriptor &d) { d.FullTextPage = 7; }},
      {"no counts", [](TIndexDescriptor &d) { d.NoCounts = true; }},
      {"full text", [](TIndexDescriptor &d) { d.FullText = true; }},
  };
  for (const auto &[what, set] : cases) {
    for (int slot : {0, 1, 30}) {
      SCOPED_TRACE(std::string(what) + " in slot " + std::to_string(slot));
      TIndexHeader h = TIndexHeader::CreateEmpty();
      set(h.Descriptors[slot]);
      std::vector<uint8_t> expected(kIndexDescriptorBytes);
      h.Descriptors[slot].Encode(expected.data());
      const std::vector<uint8_t> page = Encoded(h);
      const uint8_t *at = page.data() + 10 + slot * kIndexDescriptorBytes;
      EXPECT_EQ(std::vector<uint8_t>(at, at + kIndexDescriptorBytes), expected);
      EXPECT_NE(expected, std::vector<uint8_t>(kIndexDescriptorBytes, 0));
    }
  }
  // Slots left unused are zero, and the system slots are written as before.
  const std::vector<uint8_t> empty = Encoded(TIndexHeader::CreateEmpty());
  for (int i = 10; i < 10 + 31 * kIndexDescriptorBytes; ++i) ASSERT_EQ(empty[i], 0) << "byte " << i;
  std::vector<uint8_t> system(kIndexDescriptorBytes);
  TIndexHeader::SystemRecordDescriptor().Encode(system.data());
  EXPECT_EQ(std::vector<uint8_t>(empty.begin() + 3730, empty.begin() + 3730 + kIndexDescriptorBytes), system);
}

TEST(IndexHeader, DamagedHeadersAreReportedNotTrusted) {
  TIndexHeader h = TIndexHeader::CreateEmpty();
  AddSecondaryIndex(h, IntDefinition("A"), {});
  h.NextPage = 10;
  std::vector<uint8_t> good = Encoded(h);
  auto decode = [](std::vector<uint8_t> page) { return CodeOf([&] { TIndexHeader::Decode(page.data(), {}); }); };
  EXPECT_EQ(decode(good), 0);
  std::vector<uint8_t> p = good;
  p[4] = 4;
  EXPECT_EQ(decode(p), KURA_OLDVERSION);
  p = good;
  p[9] = 33;
  EXPECT_EQ(decode(p), KURA_HEADERCORRUPT);
  p = good;
  p[9] = 31;  // would make the system index a secondary one
  EXPECT_EQ(decode(p), KURA_HEADERCORRUPT);
  p = good;
  indexbytes::PutI32LE(p.data() + 5, 0);
  EXPECT_EQ(decode(p), KURA_HEADERCORRUPT);
  p = good;
  indexbytes::PutI32LE(p.data() + 10 + 120 + 86, 10);  // root of index 1 past the last page
  EXPECT_EQ(decode(p), KURA_HEADERCORRUPT);
  p = good;
  indexbytes::PutI32LE(p.data() + 10 + 120 + 90, -4);  // free list head
  EXPECT_EQ(decode(p), KURA_HEADERCORRUPT);
  p = good;
  p[10 + 120] = 200;  // name length beyond 30
  EXPECT_EQ(decode(p), KURA_HEADERCORRUPT);
  p = good;
  indexbytes::PutU16LE(p.data() + 10 + 120 + 31, 600);  // key length
  EXPECT_EQ(decode(p), KURA_HEADERCORRUPT);
  p = good;
  p[10 + 120 + 36] = 9;  // compression mode
  EXPECT_EQ(decode(p), KURA_HEADERCORRUPT);
  p = good;
  p[10 + 120 + 37] = 17;  // field count
  EXPECT_EQ(decode(p), KURA_HEADERCORRUPT);
  p = good;
  indexbytes::PutU16LE(p.data() + 3730 + 31, 9);  // the system key is always 5 bytes
  EXPECT_EQ(decode(p), KURA_HEADERCORRUPT);
  p = good;
  indexbytes::PutI32LE(p.data() + 3970, -1);
  EXPECT_EQ(decode(p), KURA_HEADERCORRUPT);
}

TEST(IndexHeader, RandomlyDamagedHeadersNeverCrash) {
  TIndexHeader h = TIndexHeader::CreateEmpty();
  AddSecondaryIndex(h, IntDefinition("A"), {});
  h.NextPage = 10;
  std::vector<uint8_t> good = Encoded(h);
  std::mt19937 rng(3);
  int refused = 0;
  for (int i = 0; i < 3000; ++i) {
    std::vector<uint8_t> p = good;
    for (int k = 0; k < 4; ++k) p[rng() % 3980] = static_cast<uint8_t>(rng());
    uint16_t code = CodeOf([&] { TIndexHeader::Decode(p.data(), {}); });
    EXPECT_TRUE(code == 0 || code == KURA_HEADERCORRUPT || code == KURA_OLDVERSION) << code;
    refused += code != 0;
  }
  EXPECT_GT(refused, 0);
}

TEST(IndexDefinitions, PrimaryIndexChecks) {
  TIndexHeader h = TIndexHeader::CreateEmpty();
  EXPECT_EQ(CodeOf([&] { DefinePrimaryIndex(h, IntDefinition("", 17), {}); }), KURA_INDEXLIMIT);
  TIndexDefinition blob = IntDefinition("", 2);
  blob.Fields[1].Type = EngineFieldType::Blob;
  ErrorTexts texts;
  texts.Table = "figure";
  EXPECT_EQ(CodeOf([&] { DefinePrimaryIndex(h, blob, texts); }), KURA_SEARCHCOLREQD);
  EXPECT_EQ(LastErrorContext().Field, "F2");
  EXPECT_EQ(LastErrorContext().Table, "figure");
  // No fields: no primary key.
  DefinePrimaryIndex(h, TIndexDefinition{}, {});
  EXPECT_TRUE(h.NoPrimaryKey);
  EXPECT_FALSE(h.IndexInUse(kPrimaryIndex));
  TIndexDefinition nonUnique = IntDefinition("", 1);
  nonUnique.Unique = false;
  DefinePrimaryIndex(h, nonUnique, {});
  EXPECT_FALSE(h.NoPrimaryKey);
  EXPECT_TRUE(h.Descriptors[0].Unique);
  EXPECT_EQ(h.Descriptors[0].KeyLength, 5);
  EXPECT_EQ(CodeOf([&] { DefinePrimaryIndex(h, IntDefinition("", 1), {}); }), KURA_PRIMARYKEYREDEFINE);
  // BCD keys take 8 bytes.
  TIndexHeader h2 = TIndexHeader::CreateEmpty();
  DefinePrimaryIndex(h2, IntDefinition("", 1, EngineFieldType::BCD), {});
  EXPECT_EQ(h2.Descriptors[0].KeyLength, 9);
}

TEST(IndexDefinitions, SecondaryIndexChecks) {
  TIndexHeader h = TIndexHeader::CreateEmpty();
  EXPECT_EQ(CodeOf([&] { AddSecondaryIndex(h, IntDefinition(""), {}); }), KURA_INDEXNAMEREQUIRED);
  EXPECT_EQ(CodeOf([&] { AddSecondaryIndex(h, IntDefinition("   "), {}); }), KURA_INDEXNAMEREQUIRED);
  EXPECT_EQ(CodeOf([&] { AddSecondaryIndex(h, IntDefinition("1st"), {}); }), KURA_INVALIDINDEXNAME);
  EXPECT_EQ(CodeOf([&] { AddSecondaryIndex(h, IntDefinition(std::string(31, 'x')), {}); }), KURA_INVALIDINDEXNAME);
  EXPECT_EQ(CodeOf([&] { AddSecondaryIndex(h, IntDefinition("Many", 17), {}); }), KURA_INDEXLIMIT);
  TIndexDefinition blob = IntDefinition("WithBlob");
  blob.Fields[0].Type = EngineFieldType::Blob;
  EXPECT_EQ(CodeOf([&] { AddSecondaryIndex(h, blob, {}); }), KURA_SEARCHCOLREQD);
  EXPECT_EQ(LastErrorContext().Index, "WithBlob");
  TIndexDefinition tooLong;
  tooLong.Name = "Long";
  for (int i = 0; i < 3; ++i) {
    TIndexDefinitionField f;
    f.FieldNumber = static_cast<uint16_t>(i + 1);
    f.Type = EngineFieldType::String;
    f.StoredSize = 251;
    tooLong.Fields.push_back(f);
  }
  EXPECT_EQ(CodeOf([&] { AddSecondaryIndex(h, tooLong, {}); }), KURA_INVALIDKEY);
  EXPECT_EQ(h.SecondaryCount, 0);
  EXPECT_EQ(AddSecondaryIndex(h, IntDefinition("_under"), {}), 1);
  EXPECT_EQ(AddSecondaryIndex(h, IntDefinition("\xE5\x90\x8D"), {}), 2);  // a name in Japanese
  EXPECT_EQ(CodeOf([&] { AddSecondaryIndex(h, IntDefinition(" _UNDER "), {}); }), KURA_INDEXEXISTS);
  EXPECT_EQ(h.Descriptors[1].KeyLength, 9);  // non-unique: the tie-break is added
  EXPECT_EQ(h.Descriptors[1].RootPage, 0);
  for (int i = 3; i <= 30; ++i) EXPECT_EQ(AddSecondaryIndex(h, IntDefinition("I" + std::to_string(i)), {}), i);
  EXPECT_EQ(CodeOf([&] { AddSecondaryIndex(h, IntDefinition("Extra"), {}); }), KURA_INDEXLIMIT);
  EXPECT_EQ(FindIndexByName(h, "i17"), 17);
  EXPECT_EQ(FindIndexByName(h, "nope"), -1);
  EXPECT_EQ(FindIndexByName(h, ""), -1);  // no primary key defined
  TIndexHeader back = TIndexHeader::Decode(Encoded(h).data(), {});
  EXPECT_EQ(back.SecondaryCount, 30);
  EXPECT_EQ(back.Descriptors[30].Name, "I30");
  EXPECT_EQ(back.Descriptors[kSystemRecordIndex].Name, "Sys Deleted");
}

TEST(IndexDefinitions, LongestKeysAreAcceptedAndSurviveTheHeader) {
  TIndexHeader h = TIndexHeader::CreateEmpty();
  // Two String fields of 250 characters (251 stored bytes each) and an Integer: 252 + 252 + 5
  // = 509 bytes; with a further 13-byte Bytes field 522, the most a key may hold.
  TIndexDefinition d;
  d.Name = "Widest";
  auto add = [&](EngineFieldType type, uint16_t size) {
    TIndexDefinitionField f;
    f.FieldNumber = static_cast<uint16_t>(d.Fields.size() + 1);
    f.Type = type;
    f.StoredSize = size;
    d.Fields.push_back(f);
  };
  add(EngineFieldType::String, 251);
  add(EngineFieldType::String, 251);
  add(EngineFieldType::Integer, 4);
  add(EngineFieldType::Bytes, 12);
  int n = AddSecondaryIndex(h, d, {});
  EXPECT_EQ(h.Descriptors[n].KeyLength, 526);  // with the tie-break
  TIndexHeader back = TIndexHeader::Decode(Encoded(h).data(), {});
  EXPECT_EQ(back.Descriptors[n].KeyLength, 526);
  d.Name = "TooWide";
  d.Fields.back().StoredSize = 13;
  EXPECT_EQ(CodeOf([&] { AddSecondaryIndex(h, d, {}); }), KURA_INVALIDKEY);
}
