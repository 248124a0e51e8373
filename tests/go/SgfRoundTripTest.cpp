// What the writer writes reads back to the same tree, and stays readable.
#include <gtest/gtest.h>

#include <sstream>

#include "SgfTestTrees.h"
#include "go/SgfReader.h"
#include "go/SgfWriter.h"

namespace go {
namespace {

TEST(SgfRoundTripTest, GeneratedTreesComeBackTheSame) {
  for (std::uint32_t seed = 1; seed <= 300; ++seed) {
    const TGameTree tree = test::RandomTree(seed, 1 + static_cast<int>(seed % 120));
    const std::string text = WriteSgf(tree);
    const TSgfRecord back = ReadSgf(text);
    ASSERT_EQ(back.Trees.size(), 1u) << seed;
    EXPECT_EQ(back.Charset, "UTF-8");
    EXPECT_TRUE(back.Trees.front() == tree) << "seed " << seed << "\n" << text;
    // Writing again gives the very same text.
    EXPECT_EQ(WriteSgf(back.Trees.front()), text) << seed;
  }
}

TEST(SgfRoundTripTest, LinesStayReadable) {
  const std::string text = WriteSgf(test::RandomTree(7, 400)) + test::ServerStyleRecord(300, 10);
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    int columns = 0;
    for (unsigned char c : line)
      if ((c & 0xC0) != 0x80) columns += c >= 0xE0 ? 2 : 1;
    EXPECT_LE(columns, LineWidth + 2) << line;
  }
  EXPECT_EQ(text.rfind("(;FF[4]GM[1]CA[UTF-8]", 0), 0u);
}

TEST(SgfRoundTripTest, CollectionsAndCopies) {
  std::vector<TGameTree> trees{test::RandomTree(11, 30), test::RandomTree(12, 5)};
  const TSgfRecord back = ReadSgf(WriteSgf(trees));
  ASSERT_EQ(back.Trees.size(), 2u);
  EXPECT_TRUE(back.Trees[0] == trees[0]);
  EXPECT_TRUE(back.Trees[1] == trees[1]);
  TGameTree copy = trees[0];
  EXPECT_TRUE(copy == trees[0]);
  copy.Root()->Children.front()->Comment += "!";
  EXPECT_FALSE(copy == trees[0]);
}

}  // namespace
}  // namespace go
