#pragma once
// A test that runs in a scratch directory of its own: the lesson directory "kyozai" resolves
// relative to the working directory, and the session's result tables go there too.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "query/dataset/KuraSession.h"

class TScratchDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "miretoka-lessondb-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    FDir = pattern;
    FOldDir = std::filesystem::current_path();
    std::filesystem::current_path(FDir);
    kura::Session().PrivateDir = FDir.string();
  }
  void TearDown() override {
    kura::Session().Close();
    kura::Session().PrivateDir.clear();
    std::filesystem::current_path(FOldDir);
    std::error_code ignored;
    std::filesystem::remove_all(FDir, ignored);
  }
  std::filesystem::path FDir, FOldDir;
};
