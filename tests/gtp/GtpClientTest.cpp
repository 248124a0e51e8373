// TClient over a transport the test drives by hand: order of replies, faults and what
// becomes of the commands still waiting.
#include <gtest/gtest.h>

#include "go/gtp/GtpClient.h"
#include "go/gtp/GtpEngine.h"

namespace go::gtp {
namespace {

struct FakeTransport : TTransport {
  std::vector<std::string> Written;
  int TimerMs = -1;
  bool Killed = false;
  void Write(const std::string &bytes) override { Written.push_back(bytes); }
  void StartTimer(int ms) override { TimerMs = ms; }
  void StopTimer() override { TimerMs = -1; }
  void Kill() override { Killed = true; }
};

struct ClientTest : ::testing::Test {
  FakeTransport Transport;
  TClient Client{Transport};
  std::vector<TReply> Replies;
  std::vector<TFault> Faults;
  void SetUp() override {
    Client.OnFault = [this](TFault f, const std::string &) { Faults.push_back(f); };
  }
  TClient::TDone Keep() {
    return [this](const TReply &r) { Replies.push_back(r); };
  }
};

TEST_F(ClientTest, CommandsGoOutOneAtATimeAndRepliesArriveInOrder) {
  Client.Send("boardsize 9", Keep());
  Client.Send("clear_board", Keep());
  ASSERT_EQ(Transport.Written, std::vector<std::string>{"1 boardsize 9\n"});
  EXPECT_TRUE(Client.Busy());
  Client.Received("=1\n\n=");  // the start of a reply that has no command yet is kept
  ASSERT_EQ(Transport.Written.size(), 2u);
  EXPECT_EQ(Transport.Written[1], "2 clear_board\n");
  Client.Received("2\n\n");
  ASSERT_EQ(Replies.size(), 2u);
  EXPECT_TRUE(Replies[0].Ok());
  EXPECT_TRUE(Replies[1].Ok());
  EXPECT_FALSE(Client.Busy());
  EXPECT_EQ(Transport.TimerMs, -1);
}

TEST_F(ClientTest, AFailureAnswerIsAnOrdinaryReply) {
  Client.Send("play black Z9", Keep());
  Client.Received("?1 invalid coordinate\n\n");
  ASSERT_EQ(Replies.size(), 1u);
  EXPECT_EQ(Replies[0].Fault, TFault::None);
  EXPECT_FALSE(Replies[0].Success);
  EXPECT_EQ(Replies[0].Text, "invalid coordinate");
  EXPECT_FALSE(Client.Broken());
}

TEST_F(ClientTest, FaultsBreakTheEngineAndFailEveryWaitingCommand) {
  struct Case {
    const char *Name;
    std::function<void(TClient &)> Happen;
    TFault Expected;
    bool Killed;
  };
  const std::vector<Case> cases = {
      {"exit", [](TClient &c) { c.Ended(TFault::Exited, "crashed"); }, TFault::Exited, false},
      {"never started", [](TClient &c) { c.Ended(TFault::NotStarted, "no such program"); }, TFault::NotStarted, false},
      {"time-out", [](TClient &c) { c.TimerExpired(); }, TFault::TimedOut, true},
      {"garbage", [](TClient &c) { c.Received("Segmentation fault\n"); }, TFault::Protocol, true},
      {"wrong id", [](TClient &c) { c.Received("=7 C3\n\n"); }, TFault::Protocol, true},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.Name);
    FakeTransport transport;
    TClient client(transport);
    std::vector<TFault> faults, replies;
    client.OnFault = [&](TFault f, const std::string &) { faults.push_back(f); };
    for (const char *command : {"genmove black", "play white C3"})
      client.Send(command, [&](const TReply &r) { replies.push_back(r.Fault); });
    c.Happen(client);
    EXPECT_EQ(replies, (std::vector<TFault>{c.Expected, c.Expected}));
    EXPECT_EQ(faults, std::vector<TFault>{c.Expected});
    EXPECT_EQ(transport.Killed, c.Killed);
    EXPECT_EQ(transport.TimerMs, -1);
    // Later commands fail at once, without writing.
    client.Send("name", [&](const TReply &r) { replies.push_back(r.Fault); });
    EXPECT_EQ(replies.size(), 3u);
    EXPECT_EQ(transport.Written.size(), 1u);
    EXPECT_EQ(faults.size(), 1u);
  }
}

TEST_F(ClientTest, EngineAnswersAreChecked) {
  TEngine engine(Client, 9);
  std::vector<TMoveAnswer> moves;
  auto keep = [&](const TMoveAnswer &a) { moves.push_back(a); };
  engine.GenMove(2, keep, 5000);
  EXPECT_EQ(Transport.Written.back(), "1 genmove white\n");
  EXPECT_EQ(Transport.TimerMs, 5000);
  Client.Received("=1 e5\n\n");
  engine.GenMove(2, keep, 5000);
  Client.Received("=2 resign\n\n");
  engine.RegGenMove(1, keep, 5000);
  EXPECT_EQ(Transport.Written.back(), "3 reg_genmove black\n");
  Client.Received("=3 T19\n\n");  // no point of a 9-line board
  ASSERT_EQ(moves.size(), 3u);
  EXPECT_TRUE(moves[0].Ok());
  EXPECT_EQ(moves[0].Move, (TVertex{TVertexKind::Point, 4 * 9 + 4 + 1}));
  EXPECT_EQ(moves[1].Move.Kind, TVertexKind::Resign);
  EXPECT_TRUE(moves[2].Nonsense);
  EXPECT_FALSE(moves[2].Ok());

  std::vector<TPointsAnswer> lists;
  engine.DeadStones([&](const TPointsAnswer &a) { lists.push_back(a); }, 5000);
  EXPECT_EQ(Transport.Written.back(), "4 final_status_list dead\n");
  Client.Received("=4 A1 B1\nJ9\n\n");
  ASSERT_EQ(lists.size(), 1u);
  EXPECT_EQ(lists[0].Points, (std::vector<int>{9, 18, 73}));

  engine.Play(1, 0, Keep());
  EXPECT_EQ(Transport.Written.back(), "5 play black pass\n");
  engine.Komi(0.5, Keep());
  EXPECT_EQ(Transport.Written.back(), "5 play black pass\n");  // waits for the play
  Client.Received("=5\n\n");
  EXPECT_EQ(Transport.Written.back(), "6 komi 0.5\n");
}

TEST_F(ClientTest, EngineOperationsWriteTheirCommands) {
  TEngine engine(Client, 19);
  struct Case {
    std::function<void()> Send;
    const char *Written;
  };
  std::vector<TPointsAnswer> lists;
  auto keepList = [&](const TPointsAnswer &a) { lists.push_back(a); };
  const std::vector<Case> cases = {
      {[&] { engine.Komi(6.5, nullptr); }, "komi 6.5"},
      {[&] { engine.Komi(-3, nullptr); }, "komi -3.0"},
      {[&] { engine.Level(7, nullptr); }, "level 7"},
      {[&] { engine.FixedHandicap(3, keepList); }, "fixed_handicap 3"},
      {[&] { engine.SetFreeHandicap({4 * 19 - 3, 16 * 19 + 4}, nullptr); }, "set_free_handicap D4 R16"},
      {[&] { engine.Play(2, 1, nullptr); }, "play white A19"},
      {[&] { engine.Undo(nullptr); }, "undo"},
      {[&] { engine.FinalScore(nullptr, 100); }, "final_score"},
  };
  for (const Case &c : cases) {
    c.Send();
    ASSERT_FALSE(Transport.Written.empty());
    const std::string &line = Transport.Written.back();
    EXPECT_EQ(line.substr(line.find(' ') + 1), std::string(c.Written) + "\n");
    Client.Received("=" + line.substr(0, line.find(' ')) + (std::string(c.Written).starts_with("fixed") ? " D4 Q16 D16" : "") + "\n\n");
  }
  ASSERT_EQ(lists.size(), 1u);
  EXPECT_EQ(lists[0].Points, (std::vector<int>{4 * 19 - 3, 15 * 19 + 4, 3 * 19 + 4}));

  // A new game sends the size and clears the board at once, before anything queued later.
  engine.NewGame(Keep());
  engine.Komi(0.5, nullptr);
  ASSERT_GE(Transport.Written.size(), 1u);
  EXPECT_EQ(Transport.Written.back().substr(Transport.Written.back().find(' ') + 1), "boardsize 19\n");
  Client.Received("=9\n\n");
  EXPECT_EQ(Transport.Written.back().substr(Transport.Written.back().find(' ') + 1), "clear_board\n");
}

}  // namespace
}  // namespace go::gtp
