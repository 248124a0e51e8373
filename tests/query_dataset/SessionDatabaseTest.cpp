// Session list, sessions and database components: defaults, name rules and the resolution of
// a database name to an engine directory.
#include <gtest/gtest.h>

#include "engine/table/DataDirectory.h"
#include "engine/table/DataSession.h"
#include "query/dataset/DataSetErrors.h"
#include "query/dataset/FieldNames.h"
#include "query/dataset/KuraDatabase.h"
#include "query/dataset/KuraSession.h"

namespace kura {
namespace {

std::string MessageOf(const std::function<void()> &f) {
  try {
    f();
  } catch (const std::exception &e) {
    return e.what();
  }
  return "(no error)";
}

TEST(SessionList, DefaultSessionAndDefaults) {
  TKuraSession &s = Session();
  EXPECT_EQ(s.SessionName(), "Default");
  EXPECT_EQ(Sessions().FindSession(""), &s);
  EXPECT_EQ(Sessions().FindSession("default"), &s);
  EXPECT_STREQ(TKuraSession::EngineVersion(), "3.30");
  EXPECT_TRUE(s.KeepConnections);
  EXPECT_EQ(s.LockRetryCount, 15);
  EXPECT_EQ(s.LockWaitTime, 100);
  EXPECT_EQ(s.LockProtocol, TKuraLockProtocol::lpPessimistic);
  EXPECT_EQ(s.ProgressSteps, 20);
  EXPECT_TRUE(s.PrivateDir.empty());
  EXPECT_EQ(s.BufferSizes[0], 16384u);
  EXPECT_EQ(s.BufferSizes[3], 32768u);
  EXPECT_EQ(MessageOf([] { Sessions().GetSession("nosuch"); }), "Session name nosuch is not valid.");
}

TEST(Sessions, NameRules) {
  TKuraSession a("SessA");
  EXPECT_EQ(MessageOf([&] { a.Open(); }), "Session name is missing.");
  EXPECT_FALSE(a.Active());
  a.SetSessionName("Work");
  EXPECT_EQ(Sessions().FindSession("WORK"), &a);
  TKuraSession b("SessB");
  EXPECT_EQ(MessageOf([&] { b.SetSessionName("work"); }), "Session name work already exists.");
  EXPECT_EQ(MessageOf([&] { b.SetSessionName("Default"); }), "Session name Default already exists.");
  a.Open();
  EXPECT_TRUE(a.Active());
  EXPECT_TRUE(Session().Active()) << "the default session starts first";
  EXPECT_EQ(MessageOf([&] { a.SetSessionName("Other"); }), "Cannot perform this operation on an active session.");
  a.Close();
  EXPECT_FALSE(a.Active());
  b.SetAutoSessionName(true);
  EXPECT_EQ(b.SessionName(), "SessB_1");
}

TEST(Sessions, SettingsReachTheEngineSessionAndStartupRuns) {
  TKuraSession s("Tuned");
  s.SetSessionName("Tuned");
  int startups = 0;
  s.OnStartup = [&](TKuraSession &) { ++startups; };
  s.LockRetryCount = 3;
  s.LockWaitTime = 7;
  s.LockProtocol = TKuraLockProtocol::lpOptimistic;
  s.BufferSizes[1] = 99;
  s.RemoteHost = "server";  // accepted and kept
  s.RemotePort = 12005;
  s.AddPassword("secret");
  s.Open();
  ASSERT_NE(s.EngineSession(), nullptr);
  EXPECT_EQ(startups, 1);
  EXPECT_EQ(s.EngineSession()->Settings.LockRetryCount, 3);
  EXPECT_EQ(s.EngineSession()->Settings.LockWaitTime, 7);
  EXPECT_EQ(s.EngineSession()->Settings.LockProtocol, TLockProtocol::Optimistic);
  EXPECT_EQ(s.EngineSession()->Settings.DataBufferCount, 99u);
  EXPECT_TRUE(s.EngineSession()->HasPassword("secret"));
  EXPECT_EQ(s.RemoteHost, "server");
  bool asked = false;
  s.OnPassword = [&](TKuraSession &, bool &cont) {
    asked = true;
    cont = false;
  };
  EXPECT_FALSE(s.EngineSession()->PasswordCallback());
  EXPECT_TRUE(asked);
  s.Close();
}

TEST(Databases, NameResolution) {
  std::string name, path;
  TKuraDatabase::ResolveDirectory("kyozai", "kyozai", name, path);
  EXPECT_EQ(name, "kyozai");
  EXPECT_EQ(path, "kyozai");
  TKuraDatabase::ResolveDirectory("C:\\data", "C:\\data", name, path);
  EXPECT_EQ(name, "");
  EXPECT_EQ(path, "C:\\data");
  TKuraDatabase::ResolveDirectory("memory", "", name, path);
  EXPECT_EQ(name, "memory");
  EXPECT_EQ(path, "");

  // A dataset's name without a database component: the session makes a temporary one.
  TKuraDatabase &kyozai = Session().OpenDatabase("kyozai");
  EXPECT_TRUE(kyozai.Temporary());
  EXPECT_EQ(kyozai.Directory(), "kyozai");
  EXPECT_EQ(&Session().OpenDatabase("KYOZAI"), &kyozai);
  kyozai.Open();
  EXPECT_EQ(kyozai.Handle().Path(), "kyozai/") << "relative to the working directory";
  EXPECT_FALSE(kyozai.Handle().IsMemory());
  EXPECT_EQ(MessageOf([&] { kyozai.SetDirectory("x"); }), "Cannot perform this operation on an open database.");
  EXPECT_EQ(MessageOf([&] { kyozai.SetDatabaseName("x"); }), "Cannot perform this operation on an open database.");
  kyozai.Close();
  EXPECT_EQ(MessageOf([&] { kyozai.Handle(); }), "Cannot perform this operation on a closed database.");

  TKuraDatabase &memory = Session().OpenDatabase("Memory");
  EXPECT_TRUE(memory.Directory().empty());
  memory.Open();
  EXPECT_TRUE(memory.Handle().IsMemory());
  memory.Close();
}

TEST(Databases, NameAndTransactionMessages) {
  TKuraDatabase a;
  EXPECT_EQ(MessageOf([&] { a.Open(); }), "Database name is missing.");
  a.SetDatabaseName("Lessons");
  a.SetDirectory("lessons_dir");
  TKuraDatabase b;
  EXPECT_EQ(MessageOf([&] { b.SetDatabaseName("LESSONS"); }), "Database name LESSONS already exists.");
  EXPECT_EQ(&Session().OpenDatabase("lessons"), &a) << "a component of that name is used";
  EXPECT_EQ(MessageOf([&] { a.StartTransaction(); }), "Cannot perform this operation on a closed database.");
  a.Open();
  EXPECT_EQ(MessageOf([&] { a.Commit(); }), "Database Lessons has no active transaction.");
  EXPECT_EQ(MessageOf([&] { a.Rollback(); }), "Database Lessons has no active transaction.");
  a.StartTransaction();
  EXPECT_EQ(MessageOf([&] { a.StartTransaction(); }), "Database Lessons already has an active transaction.");
  a.Rollback();
  EXPECT_FALSE(a.InTransaction());
  a.Close();
  EXPECT_EQ(MessageOf([] { TKuraDatabase c("nosuch"); }), "Session name nosuch is not valid.");
}

TEST(FieldNames, DuplicatesGetSuffixes) {
  EXPECT_EQ(UniqueFieldNames({"MNB", "TES", "MNB", "mnb", "MNB_1"}),
            (std::vector<std::string>{"MNB", "TES", "MNB_1", "mnb_2", "MNB_1_1"}));
  EXPECT_EQ(UniqueFieldNames({"A", "A_1", "A"}), (std::vector<std::string>{"A", "A_1", "A_2"}));
}

}  // namespace
}  // namespace kura
