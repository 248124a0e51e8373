#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <thread>
#include <vector>

#include "engine/locale/Collation.h"

using namespace kura;

namespace {

const uint16_t kAnsi = 0, kEnglish = 1033, kGerman = 1031, kSwedish = 1053, kTurkish = 1055,
               kSpanishModern = 3082, kSpanishCastilian = 1034;

TEST(LanguageNamesTest, NinetyNineNamesInFixedOrder) {
  const auto &names = LanguageNames();
  ASSERT_EQ(names.size(), 99u);
  EXPECT_EQ(names.front().Name, "ANSI Standard");
  EXPECT_EQ(names.front().LanguageId, 0);
  EXPECT_EQ(names.back().Name, "Vietnamese");
  // The German entries are positions 49 to 53 counted from 1.
  EXPECT_EQ(names[48].Name, "German (Standard)");
  EXPECT_EQ(names[52].Name, "German (Liechtenstein)");
  std::set<uint16_t> ids;
  std::set<std::string> seen;
  for (const auto &n : names) {
    ids.insert(n.LanguageId);
    seen.insert(n.Name);
  }
  EXPECT_EQ(ids.size(), 99u) << "every name has its own identifier";
  EXPECT_EQ(seen.size(), 99u);
}

TEST(LanguageNamesTest, KnownIdentifiers) {
  struct { const char *Name; uint16_t Id; } cases[] = {
      {"English (USA)", 1033},         {"German (Standard)", 1031},
      {"Spanish (Modern)", 3082},      {"Portuguese (Standard)", 2070},
      {"Serbian (Cyrillic)", 3098},    {"Vietnamese", 1066},
      {"English (UK)", 2057},          {"French (Standard)", 1036},
      {"Arabic (Qatar)", 16385},       {"Spanish (Puerto Rico)", 20490},
      {"Portuguese (Brazilian)", 1046}, {"Serbian (Latin)", 2074},
      {"Norwegian (Nynorsk)", 2068},   {"Swedish (Finland)", 2077},
  };
  for (const auto &c : cases) {
    uint16_t id = 0xFFFF;
    ASSERT_TRUE(LanguageIdFromName(c.Name, id)) << c.Name;
    EXPECT_EQ(id, c.Id) << c.Name;
    EXPECT_EQ(LanguageNameFromId(c.Id), c.Name);
  }
}

TEST(LanguageNamesTest, LookupsIgnoreCase) {
  uint16_t id = 0;
  EXPECT_TRUE(LanguageIdFromName("german (standard)", id));
  EXPECT_EQ(id, 1031);
  EXPECT_TRUE(LanguageNameExists("ANSI STANDARD"));
  EXPECT_FALSE(LanguageNameExists("Klingon"));
  EXPECT_FALSE(LanguageIdFromName("", id));
  EXPECT_EQ(LanguageNameFromId(0x7777), "");
}

TEST(LanguageNamesTest, SortNames) {
  EXPECT_EQ(SortNames(kEnglish), std::vector<std::string>{"Default Order"});
  EXPECT_EQ(SortNames(kAnsi), std::vector<std::string>{"Default Order"});
  for (uint16_t german : {1031, 2055, 3079, 4103, 5127}) {
    auto names = SortNames(german);
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[1], "German Phone Book Order");
    uint16_t sort = 0;
    EXPECT_TRUE(SortIdFromName(german, "german phone book order", sort));
    EXPECT_EQ(sort, 1);
    EXPECT_EQ(SortNameFromId(german, 1), "German Phone Book Order");
  }
  uint16_t sort = 9;
  EXPECT_FALSE(SortIdFromName(kEnglish, "German Phone Book Order", sort));
  EXPECT_TRUE(SortIdFromName(kEnglish, "Default Order", sort));
  EXPECT_EQ(sort, 0);
  EXPECT_EQ(SortNameFromId(kEnglish, 1), "");
}

TEST(LocaleTest, EveryListedLanguageIsValid) {
  for (const auto &n : LanguageNames()) {
    EXPECT_TRUE(LocaleIsValid(n.LanguageId, 0)) << n.Name;
    // Each language compares and maps case without failing.
    EXPECT_EQ(CompareStrings(n.LanguageId, 0, "abc", "abc"), 0) << n.Name;
    EXPECT_FALSE(UpperCase(n.LanguageId, "abc").empty());
  }
  EXPECT_TRUE(LocaleIsValid(kGerman, 1));
  EXPECT_FALSE(LocaleIsValid(kEnglish, 1));
  EXPECT_FALSE(LocaleIsValid(0x7777, 0));
  EXPECT_TRUE(LocaleIsValid(kAnsi, 0));
}

TEST(CompareStringsTest, LanguageZeroIsByteOrder) {
  EXPECT_EQ(CompareStrings(kAnsi, 0, "B", "a"), -1);  // 'B' (66) before 'a' (97)
  EXPECT_EQ(CompareStrings(kAnsi, 0, "a", "ab"), -1);
  EXPECT_EQ(CompareStrings(kAnsi, 0, "ab", "a"), 1);
  EXPECT_EQ(CompareStrings(kAnsi, 0, "", ""), 0);
  EXPECT_EQ(CompareStrings(kAnsi, 0, "\xC3\xA9", "f"), 1);  // é after every ASCII byte
  EXPECT_EQ(CompareStrings(kAnsi, 0, "abc", "ABC", true), 0);
  EXPECT_EQ(CompareStrings(kAnsi, 0, "abc", "ABD", true), -1);
  EXPECT_EQ(CompareStrings(kAnsi, 0, "\xC3\xA9", "\xC3\x89", true), 0);  // é, É
  EXPECT_NE(CompareStrings(kAnsi, 0, "abc", "ABC"), 0);
}

TEST(CompareStringsTest, LocaleOrder) {
  EXPECT_EQ(CompareStrings(kEnglish, 0, "a", "B"), -1);  // alphabet, not byte order
  EXPECT_EQ(CompareStrings(kEnglish, 0, "B", "a"), 1);
  EXPECT_EQ(CompareStrings(kEnglish, 0, "a", "A"), -1);  // lower case first
  EXPECT_EQ(CompareStrings(kEnglish, 0, "a", "A", true), 0);
  EXPECT_EQ(CompareStrings(kEnglish, 0, "Apple", "apple", true), 0);
  EXPECT_EQ(CompareStrings(kEnglish, 0, "abc", "abd", true), -1);
  // Non-spacing marks are ignored: e and é compare equal.
  EXPECT_EQ(CompareStrings(kEnglish, 0, "resume", "r\xC3\xA9sum\xC3\xA9"), 0);
  // Punctuation counts as a character.
  EXPECT_NE(CompareStrings(kEnglish, 0, "a-b", "ab"), 0);
  // Swedish ä sorts after z, English does not.
  EXPECT_EQ(CompareStrings(kSwedish, 0, "\xC3\xA4", "z"), 1);
  EXPECT_EQ(CompareStrings(kEnglish, 0, "\xC3\xA4", "z"), -1);
}

TEST(CompareStringsTest, GermanPhoneBookOrder) {
  // In the phone book ü sorts as ue, so "Müller" equals "Mueller" and follows "Muell".
  EXPECT_EQ(CompareStrings(kGerman, 1, "M\xC3\xBCller", "Muell"), 1);
  EXPECT_EQ(CompareStrings(kGerman, 1, "M\xC3\xBC" "ller", "Mueller"), 0);
  EXPECT_EQ(CompareStrings(kGerman, 1, "\xC3\xA4", "af"), -1);  // ä = ae < af
  // The default order only drops the mark: ä = a < ae.
  EXPECT_EQ(CompareStrings(kGerman, 0, "\xC3\xA4", "ae"), -1);
  EXPECT_EQ(CompareStrings(kGerman, 0, "\xC3\xA4", "a"), 0);
}

TEST(CompareStringsTest, TraditionalSpanishTreatsChAsLetter) {
  // Traditional: ch after c-anything; modern: plain letters.
  EXPECT_EQ(CompareStrings(kSpanishCastilian, 0, "chico", "cuna"), 1);
  EXPECT_EQ(CompareStrings(kSpanishModern, 0, "chico", "cuna"), -1);
}

TEST(CompareStringsTest, PrefixLengthInCharacters) {
  EXPECT_EQ(CompareStrings(kEnglish, 0, "abcX", "abcY", false, 3), 0);
  EXPECT_EQ(CompareStrings(kEnglish, 0, "abcX", "abcY", false, 4), -1);
  EXPECT_EQ(CompareStrings(kAnsi, 0, "abcX", "abcY", false, 3), 0);
  EXPECT_EQ(CompareStrings(kAnsi, 0, "ab", "abc", false, 3), -1);
  // é is two bytes but one character.
  EXPECT_EQ(CompareStrings(kAnsi, 0, "\xC3\xA9xA", "\xC3\xA9xB", false, 2), 0);
  EXPECT_EQ(CompareStrings(kAnsi, 0, "ABx", "aby", true, 2), 0);
}

TEST(CaseMappingTest, ThroughTheLocale) {
  EXPECT_EQ(UpperCase(kAnsi, "abc xyz"), "ABC XYZ");
  EXPECT_EQ(LowerCase(kAnsi, "ABC"), "abc");
  EXPECT_EQ(UpperCase(kEnglish, "stra\xC3\x9F" "e"), "STRASSE");
  EXPECT_EQ(UpperCase(kGerman, "\xC3\xA4\xC3\xB6\xC3\xBC"), "\xC3\x84\xC3\x96\xC3\x9C");
  EXPECT_EQ(UpperCase(kTurkish, "i"), "\xC4\xB0");  // dotted capital I
  EXPECT_EQ(UpperCase(kEnglish, "i"), "I");
  EXPECT_EQ(LowerCase(kTurkish, "I"), "\xC4\xB1");  // dotless small i
  EXPECT_EQ(UpperCase(kEnglish, ""), "");
}

TEST(CharacterOrderMapTest, IdentityForLanguageZero) {
  const auto &map = CharacterOrderMap(kAnsi, 0);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(map[i], i);
}

TEST(CharacterOrderMapTest, PermutationInCollationOrder) {
  const auto &map = CharacterOrderMap(kEnglish, 0);
  std::set<int> values(map.begin(), map.end());
  EXPECT_EQ(values.size(), 256u);
  auto pos = [&](uint8_t b) { return std::find(map.begin(), map.end(), b) - map.begin(); };
  EXPECT_LT(pos('a'), pos('B'));
  EXPECT_LT(pos('B'), pos('c'));
  EXPECT_LT(pos('1'), pos('a'));
  // The same map object is returned each time.
  EXPECT_EQ(&CharacterOrderMap(kEnglish, 0), &map);
}

TEST(CharacterOrderMapTest, BuiltOnceUnderConcurrentUse) {
  std::vector<const std::array<uint8_t, 256> *> seen(4);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] { seen[t] = &CharacterOrderMap(kGerman, 1); });
  for (auto &th : threads) th.join();
  for (int t = 1; t < 4; ++t) EXPECT_EQ(seen[t], seen[0]);
}

}  // namespace

#include "engine/locale/LanguageStringList.h"

namespace {

TEST(LanguageStringListTest, SortedByCollationWithPrefixSearch) {
  TLanguageStringList list(1033, 0);
  for (const char *w : {"delta", "Alpha", "charlie", "bravo", "alpha"}) list.Add(w);
  EXPECT_FALSE(list.Add("bravo"));  // no duplicates
  ASSERT_EQ(list.Count(), 5u);
  EXPECT_EQ(list[0], "alpha");  // lower case first among equal letters
  EXPECT_EQ(list[1], "Alpha");
  EXPECT_EQ(list[2], "bravo");
  EXPECT_EQ(list[4], "delta");
  size_t at = 0;
  EXPECT_TRUE(list.Find("charlie", at));
  EXPECT_EQ(at, 3u);
  EXPECT_FALSE(list.Find("cat", at));
  EXPECT_EQ(at, 3u);  // where it would go
  EXPECT_TRUE(list.Find("chx", at, 2));
  EXPECT_EQ(list[at], "charlie");
  list.Delete(at);
  EXPECT_EQ(list.Count(), 4u);
}

TEST(LanguageStringListTest, DuplicatesFindTheFirst) {
  TLanguageStringList list(0, 0, true, true);
  list.Add("b");
  list.Add("A");
  list.Add("a");
  list.Add("B");
  ASSERT_EQ(list.Count(), 4u);
  size_t at = 9;
  EXPECT_TRUE(list.Find("a", at));
  EXPECT_EQ(at, 0u);
  EXPECT_EQ(list[0], "A");  // equal entries keep their insertion order
  EXPECT_EQ(list[1], "a");
  EXPECT_TRUE(list.Find("B", at));
  EXPECT_EQ(at, 2u);
}

}  // namespace
