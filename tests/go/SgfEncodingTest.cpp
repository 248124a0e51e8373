// Character sets of record files: byte-order marks, CA, and guessing when CA is missing or
// wrong.
#include <gtest/gtest.h>

#include "go/SgfReader.h"
#include "go/SgfText.h"

namespace go {
namespace {

const std::string Comment = "黒番です。ソ連の表は十分。";  // ソ and 表 end in the byte 0x5C in Shift_JIS
const std::string Name = "山田太郎";

std::string Record(const std::string &ca) {
  return "(;FF[4]" + ca + "SZ[19]PB[" + Name + "]C[" + Comment + "];B[pd]C[次は白番]\n;W[dp])";
}

std::string Utf16(const std::string &text, bool littleEndian, bool mark) {
  std::string bytes = ConvertFromUtf8(text, littleEndian ? "UTF-16LE" : "UTF-16BE");
  if (mark) bytes = std::string(littleEndian ? "\xFF\xFE" : "\xFE\xFF") + bytes;
  return bytes;
}

TEST(SgfEncodingTest, EachWayARecordComesIn) {
  struct Case {
    const char *What;
    std::string Bytes;
    const char *Charset;
    bool Warns;
  } cases[] = {
      {"UTF-8 with CA", Record("CA[UTF-8]"), "UTF-8", false},
      {"UTF-8 without CA", Record(""), "UTF-8", false},
      {"UTF-8 with byte-order mark", "\xEF\xBB\xBF" + Record(""), "UTF-8", false},
      {"UTF-16 LE with mark", Utf16(Record(""), true, true), "UTF-16LE", false},
      {"UTF-16 BE with mark", Utf16(Record(""), false, true), "UTF-16BE", false},
      {"UTF-16 LE without mark", Utf16(Record(""), true, false), "UTF-16LE", false},
      {"Shift_JIS with CA", ConvertFromUtf8(Record("CA[Shift_JIS]"), "Shift_JIS"), "Shift_JIS", false},
      {"Shift_JIS without CA", ConvertFromUtf8(Record(""), "Shift_JIS"), "Shift_JIS", false},
      {"Shift_JIS claiming UTF-8", ConvertFromUtf8(Record("CA[UTF-8]"), "Shift_JIS"), "Shift_JIS", true},
      {"EUC-JP with CA", ConvertFromUtf8(Record("CA[EUC-JP]"), "EUC-JP"), "EUC-JP", false},
      {"EUC-JP without CA", ConvertFromUtf8(Record(""), "EUC-JP"), "EUC-JP", false},
      {"CA naming an unknown set", ConvertFromUtf8(Record("CA[X-NO-SUCH]"), "Shift_JIS"), "Shift_JIS", true},
  };
  for (const Case &c : cases) {
    ASSERT_FALSE(c.Bytes.empty()) << c.What;
    const TSgfRecord r = ReadSgf(c.Bytes);
    EXPECT_EQ(r.Charset, c.Charset) << c.What;
    EXPECT_EQ(!r.Warning.empty(), c.Warns) << c.What << ": " << r.Warning;
    const TGameTree &t = r.Trees.front();
    EXPECT_EQ(t.Info.BlackName, Name) << c.What;
    EXPECT_EQ(t.Root()->Comment, Comment) << c.What;
    const auto line = t.MainLine();
    ASSERT_EQ(line.size(), 3u) << c.What;
    EXPECT_EQ(line[1]->Comment, "次は白番") << c.What;
  }
}

TEST(SgfEncodingTest, LatinOneAndCrLfLineEnds) {
  const std::string bytes = "(;CA[ISO-8859-1]PB[Ren\xE9]\r\nC[line one\r\nline two]\r\n;B[aa])";
  const TSgfRecord r = ReadSgf(bytes);
  EXPECT_EQ(r.Trees.front().Info.BlackName, "René");
  EXPECT_EQ(r.Trees.front().Root()->Comment, "line one\nline two");
}

TEST(SgfEncodingTest, BrokenBytesAfterAMarkAreRefused) {
  try {
    ReadSgf("\xEF\xBB\xBF(;C[\xFF\xFE\xFD])");
    ADD_FAILURE() << "accepted";
  } catch (const ESgfError &e) {
    EXPECT_EQ(e.Code, TSgfErrorCode::BadEncoding);
    EXPECT_NE(std::string(e.what()).find("UTF-8"), std::string::npos);
  }
}

}  // namespace
}  // namespace go
