#pragma once
// The lesson source: the two tab-separated files mokuji.tsv and figure.tsv. Reading checks the
// header and the shape of every line (column count, integer cells); the lesson rules
// themselves are the lesson checker's business.
#include <stdexcept>
#include <string>
#include <vector>

namespace kyozai {

struct TContentsRow {
  int MNB = 0;
  std::string ITEM;
  int PRB = 0;
};

struct TFigureRow {
  int MNB = 0, TES = 0, COL = 0, PST = 0, BFR = 0, BTO = 0, DTX = 0;
  std::string CMT;
};

// A line of the source that cannot be read; the message names the file and line.
class ELessonSourceError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TLessonSource {
  std::vector<TContentsRow> Contents;
  std::vector<TFigureRow> Figures;  // in file order
};

// Parses the texts of the two files; `contentsName` / `figureName` are used in messages.
std::vector<TContentsRow> ParseContents(const std::string &text, const std::string &contentsName);
std::vector<TFigureRow> ParseFigures(const std::string &text, const std::string &figureName);
// Reads mokuji.tsv and figure.tsv of a directory.
TLessonSource ReadLessonSource(const std::string &directory);

}  // namespace kyozai
