#include "go/gtp/GtpEngine.h"

#include <cstdio>
#include <memory>

namespace go::gtp {

std::optional<std::vector<int>> ParsePointList(int size, std::string_view text) {
  std::vector<int> points;
  for (const std::string &w : Words(text)) {
    std::optional<TVertex> v = ParseVertex(size, w);
    if (!v || v->Kind != TVertexKind::Point) return std::nullopt;
    points.push_back(v->Point);
  }
  return points;
}

std::vector<std::string> SplitCommand(const std::string &command) {
  std::vector<std::string> args;
  std::string word;
  bool quoted = false, any = false;
  for (char c : command) {
    if (c == '"') {
      quoted = !quoted;
      any = true;
    } else if (c == ' ' && !quoted) {
      if (any) args.push_back(word);
      word.clear();
      any = false;
    } else {
      word += c;
      any = true;
    }
  }
  if (any) args.push_back(word);
  return args;
}

void TEngine::NewGame(TDone done) {
  // Both go out at once, so that whatever is sent next follows the cleared board.
  auto sizeFailed = std::make_shared<bool>(false);
  FClient.Send("boardsize " + std::to_string(FSize), [sizeFailed, done](const TReply &r) {
    if (r.Ok()) return;
    *sizeFailed = true;
    if (done) done(r);
  });
  FClient.Send("clear_board", [sizeFailed, done](const TReply &r) {
    if (!*sizeFailed && done) done(r);
  });
}

void TEngine::Komi(double komi, TDone done) {
  char text[32];
  std::snprintf(text, sizeof text, "komi %.1f", komi);
  FClient.Send(text, std::move(done));
}

void TEngine::Level(int level, TDone done) { FClient.Send("level " + std::to_string(level), std::move(done)); }

void TEngine::FixedHandicap(int stones, std::function<void(const TPointsAnswer &)> done) {
  PointList("fixed_handicap " + std::to_string(stones), std::move(done), 10000);
}

void TEngine::SetFreeHandicap(const std::vector<int> &points, TDone done) {
  std::string command = "set_free_handicap";
  for (int p : points) command += " " + VertexText(FSize, p);
  FClient.Send(command, std::move(done));
}

void TEngine::Play(int color, int point, TDone done) {
  FClient.Send(std::string("play ") + ColorText(color) + " " + VertexText(FSize, point), std::move(done));
}

void TEngine::GenMove(int color, std::function<void(const TMoveAnswer &)> done, int timeoutMs) {
  Move(std::string("genmove ") + ColorText(color), std::move(done), timeoutMs);
}

void TEngine::RegGenMove(int color, std::function<void(const TMoveAnswer &)> done, int timeoutMs) {
  Move(std::string("reg_genmove ") + ColorText(color), std::move(done), timeoutMs);
}

void TEngine::Undo(TDone done) { FClient.Send("undo", std::move(done)); }

void TEngine::DeadStones(std::function<void(const TPointsAnswer &)> done, int timeoutMs) {
  PointList("final_status_list dead", std::move(done), timeoutMs);
}

void TEngine::FinalScore(TDone done, int timeoutMs) { FClient.Send("final_score", std::move(done), timeoutMs); }

void TEngine::Move(const std::string &command, std::function<void(const TMoveAnswer &)> done, int timeoutMs) {
  FClient.Send(command,
               [this, done](const TReply &r) {
                 TMoveAnswer a;
                 a.Reply = r;
                 if (r.Ok()) {
                   std::optional<TVertex> v = ParseVertex(FSize, r.Text, true);
                   if (v)
                     a.Move = *v;
                   else
                     a.Nonsense = true;
                 }
                 if (done) done(a);
               },
               timeoutMs);
}

void TEngine::PointList(const std::string &command, std::function<void(const TPointsAnswer &)> done,
                        int timeoutMs) {
  FClient.Send(command,
               [this, done](const TReply &r) {
                 TPointsAnswer a;
                 a.Reply = r;
                 if (r.Ok()) {
                   std::optional<std::vector<int>> points = ParsePointList(FSize, r.Text);
                   if (points)
                     a.Points = std::move(*points);
                   else
                     a.Nonsense = true;
                 }
                 if (done) done(a);
               },
               timeoutMs);
}

}  // namespace go::gtp
