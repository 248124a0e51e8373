#pragma once
// A lesson directory built from the shipped lesson source in a scratch folder of its own.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "KyozaiBuilder.h"
#include "LessonSource.h"

class TScratchKyozai : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "miretoka-kyozai-sgf-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    FDir = pattern;
    FSource = kyozai::ReadLessonSource(LESSON_SOURCE_DIR);
    kyozai::BuildKyozai(FSource, (FDir / "kyozai").string());
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(FDir, ignored);
  }
  std::string Kyozai() const { return (FDir / "kyozai").string(); }
  std::filesystem::path FDir;
  kyozai::TLessonSource FSource;
};

inline bool SameRows(const std::vector<kyozai::TFigureRow> &a, const std::vector<kyozai::TFigureRow> &b,
                     std::string &why) {
  if (a.size() != b.size()) {
    why = std::to_string(a.size()) + " rows against " + std::to_string(b.size());
    return false;
  }
  for (size_t i = 0; i < a.size(); ++i) {
    const auto &x = a[i], &y = b[i];
    if (x.MNB != y.MNB || x.TES != y.TES || x.COL != y.COL || x.PST != y.PST || x.BFR != y.BFR || x.BTO != y.BTO ||
        x.DTX != y.DTX || x.CMT != y.CMT) {
      why = "row " + std::to_string(i) + " differs: TES " + std::to_string(x.TES) + "/" + std::to_string(y.TES) +
            " COL " + std::to_string(x.COL) + "/" + std::to_string(y.COL) + " PST " + std::to_string(x.PST) + "/" +
            std::to_string(y.PST) + " BFR " + std::to_string(x.BFR) + "/" + std::to_string(y.BFR) + " BTO " +
            std::to_string(x.BTO) + "/" + std::to_string(y.BTO) + " DTX " + std::to_string(x.DTX) + "/" +
            std::to_string(y.DTX) + " CMT '" + x.CMT + "'/'" + y.CMT + "'";
      return false;
    }
  }
  return true;
}
