// A tiny GTP engine for the tests of the game window, deterministic and able to fail on
// purpose. It keeps no rules: it remembers which points were played (captures are not
// removed) and answers genmove with the next of its --moves, then with the first free point
// in point order (A9, A8, … on a 9-line board), or as told:
//   --moves V,V,…          the first answers of genmove
//   --pass                 always pass
//   --crash-at N           the Nth genmove kills the engine (SIGKILL)
//   --hang-at N            the Nth genmove is never answered
//   --nonsense-at N        the Nth genmove answers a vertex of no board ("Z99")
//   --illegal-at N         the Nth genmove answers the point played last (occupied)
//   --garbage-at N         the Nth genmove answers text that is no GTP response
//   --resign-at N          the Nth genmove resigns
//   --dead V,V,…           the answer of final_status_list dead
//   --no-hint              reg_genmove is an unknown command
//   --log FILE             every command received is appended to FILE
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

int Size = 19;
std::vector<std::string> Played;  // vertices in play order (undo pops)

std::string Vertex(int point) {  // point = column × size + row + 1, row 0 at the top
  const int column = (point - 1) / Size, row = (point - 1) % Size;
  const char letter = static_cast<char>('A' + column + (column >= 8 ? 1 : 0));
  return std::string(1, letter) + std::to_string(Size - row);
}

std::string Upper(std::string s) {
  for (char &c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::string FirstFree() {
  const std::set<std::string> taken(Played.begin(), Played.end());
  for (int p = 1; p <= Size * Size; ++p)
    if (!taken.count(Vertex(p))) return Vertex(p);
  return "pass";
}

}  // namespace

int main(int argc, char **argv) {
  bool alwaysPass = false, hint = true;
  int crashAt = 0, hangAt = 0, nonsenseAt = 0, illegalAt = 0, garbageAt = 0, resignAt = 0;
  std::string dead, logFile, moves;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto next = [&] { return i + 1 < argc ? std::string(argv[++i]) : std::string(); };
    if (a == "--pass") alwaysPass = true;
    else if (a == "--no-hint") hint = false;
    else if (a == "--crash-at") crashAt = std::atoi(next().c_str());
    else if (a == "--hang-at") hangAt = std::atoi(next().c_str());
    else if (a == "--nonsense-at") nonsenseAt = std::atoi(next().c_str());
    else if (a == "--illegal-at") illegalAt = std::atoi(next().c_str());
    else if (a == "--garbage-at") garbageAt = std::atoi(next().c_str());
    else if (a == "--resign-at") resignAt = std::atoi(next().c_str());
    else if (a == "--dead") dead = next();
    else if (a == "--log") logFile = next();
    else if (a == "--moves") moves = next();
  }
  for (std::string *list : {&dead, &moves})
    for (char &c : *list)
      if (c == ',') c = ' ';
  std::istringstream planned(moves);

  int genmoves = 0;
  std::string line;
  while (std::getline(std::cin, line)) {
    if (!logFile.empty()) std::ofstream(logFile, std::ios::app) << line << "\n";
    std::istringstream in(line);
    std::string id, command;
    in >> id;
    if (!id.empty() && std::isdigit(static_cast<unsigned char>(id[0]))) {
      in >> command;
    } else {
      command = id;
      id.clear();
    }
    std::vector<std::string> args;
    for (std::string w; in >> w;) args.push_back(w);
    auto answer = [&](bool ok, const std::string &text) {
      std::cout << (ok ? "=" : "?") << id << " " << text << "\n\n" << std::flush;
    };

    if (command == "boardsize") {
      Size = std::atoi(args.at(0).c_str());
      Played.clear();
      answer(true, "");
    } else if (command == "clear_board") {
      Played.clear();
      answer(true, "");
    } else if (command == "play") {
      if (args.size() == 2 && Upper(args[1]) != "PASS") Played.push_back(Upper(args[1]));
      else Played.push_back("PASS");
      answer(true, "");
    } else if (command == "set_free_handicap") {
      for (const std::string &v : args) Played.push_back(Upper(v));
      answer(true, "");
    } else if (command == "undo") {
      if (Played.empty()) {
        answer(false, "cannot undo");
      } else {
        Played.pop_back();
        answer(true, "");
      }
    } else if (command == "genmove") {
      ++genmoves;
      if (genmoves == crashAt) std::raise(SIGKILL);
      if (genmoves == hangAt) {
        for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
      }
      if (genmoves == nonsenseAt) {
        answer(true, "Z99");
      } else if (genmoves == illegalAt) {
        answer(true, Played.empty() ? "A1" : Played.back());
      } else if (genmoves == garbageAt) {
        std::cout << "I am not a GTP engine\n\n" << std::flush;
      } else if (genmoves == resignAt) {
        answer(true, "resign");
      } else {
        std::string move;
        if (!(planned >> move)) move = alwaysPass ? "pass" : FirstFree();
        Played.push_back(Upper(move) == "PASS" ? "PASS" : move);
        answer(true, move);
      }
    } else if (command == "reg_genmove" && hint) {
      answer(true, alwaysPass ? "pass" : FirstFree());
    } else if (command == "final_status_list") {
      answer(true, dead);
    } else if (command == "name") {
      answer(true, "Scripted");
    } else if (command == "komi" || command == "level") {
      answer(true, "");
    } else if (command == "quit") {
      answer(true, "");
      return 0;
    } else {
      answer(false, "unknown command");
    }
  }
  return 0;
}
