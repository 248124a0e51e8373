// sgf_fuzz [count] [seed]: feeds mutated records to the reader. Every input must either read
// or fail with an ESgfError; anything else (a crash, another exception, a hang noticed by the
// caller's timeout, a sanitizer report) is a fault. What reads is written and read again and
// must give the same tree. A 19-line record is also read as a lesson figure, and that figure
// must go out as SGF and come back as the same rows.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <random>
#include <string>
#include <vector>

#include "FigureSgf.h"
#include "SgfTestTrees.h"
#include "go/SgfReader.h"
#include "go/SgfText.h"
#include "go/SgfWriter.h"

namespace {

std::vector<std::string> Seeds() {
  std::vector<std::string> seeds;
  for (std::uint32_t s = 1; s <= 8; ++s) seeds.push_back(go::WriteSgf(go::test::RandomTree(s, 40)));
  seeds.push_back(go::test::ServerStyleRecord(120, 6));
  seeds.push_back(go::ConvertFromUtf8(go::test::ServerStyleRecord(40, 2), "Shift_JIS"));
  seeds.push_back("\xFF\xFE" + go::ConvertFromUtf8(go::test::ServerStyleRecord(30, 2), "UTF-16LE"));
  seeds.push_back("(;SZ[9]AB[aa:cc]AW[dd][ee]LB[ff:x\\:y]C[soft\\\nbreak];B[];W[tt](;B[ab])(;B[ba]))");
  return seeds;
}

const char *const Pieces[] = {"(", ")", ";", "[", "]", "\\", ":", "(;", "B[", "W[aa]", "AB[aa:ss]", "SZ[9]",
                              "SZ[13]", "SZ[0]", "LB[", "CA[Shift_JIS]", "CA[UTF-16]", "\xEF\xBB\xBF", "\xFF\xFE",
                              "\x81", "\xE3\x81", "\n", "\r", "GM[2]", "tt", "zz", "MN[-1]", "TE[3]"};

std::string Mutate(const std::string &seed, std::mt19937 &rng) {
  std::string s = seed;
  auto pick = [&](size_t n) { return n == 0 ? size_t(0) : static_cast<size_t>(rng() % n); };
  const int edits = 1 + static_cast<int>(rng() % 4);
  for (int e = 0; e < edits; ++e) {
    switch (rng() % 7) {
      case 0:  // flip a byte
        if (!s.empty()) s[pick(s.size())] = static_cast<char>(rng());
        break;
      case 1:  // cut the end off
        s.resize(pick(s.size() + 1));
        break;
      case 2:  // delete a stretch
        if (!s.empty()) {
          const size_t at = pick(s.size());
          s.erase(at, pick(16) + 1);
        }
        break;
      case 3:  // insert a piece of syntax
        s.insert(pick(s.size() + 1), Pieces[pick(sizeof Pieces / sizeof *Pieces)]);
        break;
      case 4:  // duplicate a stretch
        if (!s.empty()) {
          const size_t at = pick(s.size());
          s.insert(pick(s.size() + 1), s.substr(at, pick(64) + 1));
        }
        break;
      case 5:  // nest deeply
        s.insert(pick(s.size() + 1), std::string(pick(1500), '('));
        break;
      default:  // swap two bytes
        if (s.size() > 1) std::swap(s[pick(s.size())], s[pick(s.size())]);
        break;
    }
  }
  return s;
}

}  // namespace

int main(int argc, char **argv) {
  const long count = argc > 1 ? std::atol(argv[1]) : 1000;
  const unsigned seed = argc > 2 ? static_cast<unsigned>(std::atol(argv[2])) : 20261209u;
  std::mt19937 rng(seed);
  const std::vector<std::string> seeds = Seeds();
  long read = 0, refused = 0, figures = 0;
  for (long i = 0; i < count; ++i) {
    const std::string input = Mutate(seeds[static_cast<size_t>(rng() % seeds.size())], rng);
    try {
      go::TSgfRecord r = go::ReadSgf(input);
      ++read;
      const std::string again = go::WriteSgf(r.Trees);
      go::TSgfRecord back = go::ReadSgf(again);
      if (back.Trees.size() != r.Trees.size()) {
        std::fprintf(stderr, "input %ld: %zu trees read back as %zu\n", i, r.Trees.size(), back.Trees.size());
        return 1;
      }
      for (size_t t = 0; t < r.Trees.size(); ++t)
        if (!(back.Trees[t] == r.Trees[t])) {
          std::fprintf(stderr, "input %ld: tree %zu differs after writing and reading again\n", i, t);
          return 1;
        }
      for (const go::TGameTree &t : r.Trees) {
        if (t.Info.Size != 19) continue;
        kyozai::TLessonFigure figure;
        try {
          figure = kyozai::TreeToFigure(t, 5000);
        } catch (const kyozai::EFigureSgfError &) {
          continue;  // refused with a message (too many branches)
        }
        ++figures;
        try {
          kyozai::FigureToTree(figure, 5000);  // checks itself that the rows come back
        } catch (const kyozai::EFigureSgfError &e) {
          std::fprintf(stderr, "input %ld: an imported figure does not go out again: %s\n", i, e.what());
          return 1;
        }
      }
    } catch (const go::ESgfError &e) {
      ++refused;
      if (std::string(e.what()).empty()) {
        std::fprintf(stderr, "input %ld: refused without a message\n", i);
        return 1;
      }
    } catch (const std::exception &e) {
      std::fprintf(stderr, "input %ld: unexpected exception %s\n", i, e.what());
      return 1;
    }
  }
  std::printf("sgf_fuzz: %ld inputs, %ld read (%ld as lesson figures), %ld refused with a message\n", count, read,
              figures, refused);
  return 0;
}
