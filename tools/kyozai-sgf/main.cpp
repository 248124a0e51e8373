// kyozai-sgf: lesson figures out to SGF and SGF records in as lesson figures.
//   kyozai-sgf export DIR MNB FILE.sgf
//   kyozai-sgf import DIR MNB FILE.sgf [--replace]
// DIR is a lesson directory (for example build/bin/kyozai). Export writes figure MNB with its
// contents title; import stores the record's first game as figure MNB (1000 or above) and adds
// its contents row, refusing a figure number in use unless --replace is given.
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "FigureSgf.h"
#include "LessonTables.h"
#include "go/SgfReader.h"
#include "go/SgfWriter.h"

namespace {

int Usage() {
  std::cerr << "usage: kyozai-sgf export DIR MNB FILE.sgf\n"
               "       kyozai-sgf import DIR MNB FILE.sgf [--replace]\n";
  return 2;
}

int Export(const std::string &dir, int mnb, const std::string &file) {
  kyozai::TLessonTables tables(dir);
  kyozai::TLessonFigure figure;
  figure.Rows = tables.Figure(mnb);
  if (figure.Rows.empty()) throw std::runtime_error("図 " + std::to_string(mnb) + " はありません。");
  if (auto contents = tables.Contents(mnb)) {
    figure.Title = contents->ITEM;
    figure.Kind = contents->PRB;
  }
  const std::string text = go::WriteSgf(kyozai::FigureToTree(figure, mnb));
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) throw std::runtime_error(file + " に書けません。");
  std::cout << "kyozai-sgf: 図 " << mnb << " の " << figure.Rows.size() << " 行を " << file << " に書き出しました。\n";
  return 0;
}

int Import(const std::string &dir, int mnb, const std::string &file, bool replace) {
  if (mnb < 1000) throw std::runtime_error("教材の図番号は1000以上です（" + std::to_string(mnb) + "）。");
  const go::TSgfRecord record = go::ReadSgfFile(file);
  if (!record.Warning.empty()) std::cerr << "kyozai-sgf: " << record.Warning << "\n";
  if (record.Trees.size() > 1)
    std::cerr << "kyozai-sgf: " << record.Trees.size() << " 局のうち最初の棋譜だけを読みました。\n";
  kyozai::TLessonFigure figure = kyozai::TreeToFigure(record.Trees.front(), mnb);
  kyozai::TLessonTables tables(dir);
  const auto contents = tables.Contents(mnb);
  if (!replace && (contents || !tables.Figure(mnb).empty()))
    throw std::runtime_error("図 " + std::to_string(mnb) + " はもうあります。置き換えるときは --replace をつけてください。");
  tables.ReplaceFigure(mnb, figure.Rows);
  kyozai::TContentsRow row;
  row.MNB = mnb;
  row.PRB = figure.Kind;
  bool cut = false;
  std::string title = figure.Title.empty() ? (contents ? contents->ITEM : std::filesystem::path(file).stem().string())
                                           : figure.Title;
  if (title.size() > kyozai::TitleLimit) {
    size_t n = kyozai::TitleLimit;
    while (n > 0 && (static_cast<unsigned char>(title[n]) & 0xC0) == 0x80) --n;
    title.resize(n);
    cut = true;
  }
  row.ITEM = title;
  tables.StoreContents(row);
  for (const std::string &w : figure.Warnings) std::cerr << "kyozai-sgf: " << w << "\n";
  if (cut) std::cerr << "kyozai-sgf: 題名を" << kyozai::TitleLimit << "バイトで切りました。\n";
  std::cout << "kyozai-sgf: " << file << " を図 " << mnb << " に読み込みました（" << figure.Rows.size() << " 行）。\n";
  return 0;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 5) return Usage();
  const std::string command = argv[1];
  bool replace = false;
  if (argc == 6) {
    if (command != "import" || std::string(argv[5]) != "--replace") return Usage();
    replace = true;
  } else if (argc != 5) {
    return Usage();
  }
  int mnb = 0;
  try {
    size_t used = 0;
    mnb = std::stoi(argv[3], &used);
    if (used != std::string(argv[3]).size()) throw std::invalid_argument("MNB");
  } catch (const std::exception &) {
    std::cerr << "kyozai-sgf: MNB '" << argv[3] << "' は整数ではありません。\n";
    return 2;
  }
  try {
    if (command == "export") return Export(argv[2], mnb, argv[4]);
    if (command == "import") return Import(argv[2], mnb, argv[4], replace);
    return Usage();
  } catch (const std::exception &e) {
    std::cerr << "kyozai-sgf: " << e.what() << "\n";
    return 1;
  }
}
