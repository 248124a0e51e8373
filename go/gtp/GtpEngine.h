#pragma once
// TEngine: the operations a game needs of a GTP engine, over a TClient. Every answer is
// checked: a vertex that names no point of the board, or a list with such a vertex, is
// reported as nonsense (TMoveAnswer::Nonsense) instead of being passed on.
#include <functional>
#include <string>
#include <vector>

#include "go/gtp/GtpClient.h"
#include "go/gtp/GtpVertex.h"

namespace go::gtp {

// What an engine said to a move request.
struct TMoveAnswer {
  TReply Reply;            // the raw reply
  bool Nonsense = false;   // answered "=", but not with a vertex of this board
  TVertex Move;            // valid when Reply.Ok() and not Nonsense
  bool Ok() const { return Reply.Ok() && !Nonsense; }
};

struct TPointsAnswer {
  TReply Reply;
  bool Nonsense = false;
  std::vector<int> Points;
  bool Ok() const { return Reply.Ok() && !Nonsense; }
};

class TEngine {
 public:
  using TDone = std::function<void(const TReply &)>;

  TEngine(TClient &client, int size) : FClient(client), FSize(size) {}
  int Size() const { return FSize; }
  TClient &Client() { return FClient; }

  // "boardsize N" then "clear_board".
  void NewGame(TDone done);
  // "komi 6.5" (one decimal).
  void Komi(double komi, TDone done);
  // "level N".
  void Level(int level, TDone done);
  // "fixed_handicap N": the engine places the stones and names them.
  void FixedHandicap(int stones, std::function<void(const TPointsAnswer &)> done);
  // "set_free_handicap V V …": the stones the program placed.
  void SetFreeHandicap(const std::vector<int> &points, TDone done);
  // "play black D4" (point 0 passes).
  void Play(int color, int point, TDone done);
  // "genmove black" / "reg_genmove black" (the engine's choice without playing it).
  void GenMove(int color, std::function<void(const TMoveAnswer &)> done, int timeoutMs);
  void RegGenMove(int color, std::function<void(const TMoveAnswer &)> done, int timeoutMs);
  // "undo".
  void Undo(TDone done);
  // "final_status_list dead": the stones the engine thinks dead.
  void DeadStones(std::function<void(const TPointsAnswer &)> done, int timeoutMs);
  // "final_score": the engine's "B+3.5" / "W+0.5" / "0".
  void FinalScore(TDone done, int timeoutMs);

 private:
  TClient &FClient;
  int FSize;

  void Move(const std::string &command, std::function<void(const TMoveAnswer &)> done, int timeoutMs);
  void PointList(const std::string &command, std::function<void(const TPointsAnswer &)> done, int timeoutMs);
};

// The points of a list of vertices on a board of `size` lines, nullopt if any word is not a
// vertex of a point (a "pass" in a list of stones is nonsense too).
std::optional<std::vector<int>> ParsePointList(int size, std::string_view text);

// Arguments for starting an engine: `command` split at spaces (double quotes keep spaces in
// an argument). The first word is the program.
std::vector<std::string> SplitCommand(const std::string &command);

}  // namespace go::gtp
