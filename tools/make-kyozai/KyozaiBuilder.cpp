#include "KyozaiBuilder.h"

#include <stdlib.h>

#include <filesystem>

#include "engine/table/DataSession.h"
#include "engine/table/Engine.h"
#include "query/run/SqlRunner.h"

namespace kyozai {

namespace fs = std::filesystem;

namespace {

std::string Quoted(const std::string &text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') out += '\'';
    out += c;
  }
  return out + "'";
}

void CheckLength(const std::string &text, int limit, const std::string &what) {
  if (text.size() > static_cast<size_t>(limit))
    throw ELessonSourceError(what + " is " + std::to_string(text.size()) + " bytes long, the column holds " +
                             std::to_string(limit) + ": '" + text + "'");
}

// Ends the builder's own engine session however the build ends.
struct TSessionGuard {
  kura::TDataSession *Session;
  ~TSessionGuard() { kura::DestroySession(Session); }
};

}  // namespace

std::vector<std::string> KyozaiStatements(const TLessonSource &source) {
  std::vector<std::string> s;
  s.push_back("CREATE TABLE mokuji (MNB INTEGER, ITEM VARCHAR(" + std::to_string(ItemBytes) +
              "), PRB INTEGER, PRIMARY KEY (MNB))");
  s.push_back("CREATE TABLE figure (MNB INTEGER, TES INTEGER, COL INTEGER, PST INTEGER, BFR INTEGER, "
              "BTO INTEGER, DTX INTEGER, CMT VARCHAR(" + std::to_string(CommentBytes) + "))");
  for (const TContentsRow &r : source.Contents) {
    CheckLength(r.ITEM, ItemBytes, "the title of contents row " + std::to_string(r.MNB));
    s.push_back("INSERT INTO mokuji (MNB, ITEM, PRB) VALUES (" + std::to_string(r.MNB) + ", " + Quoted(r.ITEM) +
                ", " + std::to_string(r.PRB) + ")");
  }
  for (const TFigureRow &r : source.Figures) {
    CheckLength(r.CMT, CommentBytes, "a comment of figure " + std::to_string(r.MNB));
    std::string values;
    for (int v : {r.MNB, r.TES, r.COL, r.PST, r.BFR, r.BTO, r.DTX}) values += std::to_string(v) + ", ";
    s.push_back("INSERT INTO figure (MNB, TES, COL, PST, BFR, BTO, DTX, CMT) VALUES (" + values + Quoted(r.CMT) +
                ")");
  }
  return s;
}

void BuildKyozai(const TLessonSource &source, const std::string &outputDir) {
  // Every statement is made (and every text checked) before anything is written.
  const std::vector<std::string> statements = KyozaiStatements(source);

  fs::path target = fs::absolute(fs::path(outputDir).lexically_normal());
  if (target.filename().empty()) target = target.parent_path();
  fs::create_directories(target.parent_path());
  // Scratch directories of earlier builds that were killed half way are of no use.
  const std::string scratchPrefix = target.filename().string() + ".building-";
  for (const auto &entry : fs::directory_iterator(target.parent_path())) {
    if (entry.path().filename().string().rfind(scratchPrefix, 0) != 0) continue;
    std::error_code ignored;
    fs::remove_all(entry.path(), ignored);
  }
  std::string pattern = (target.parent_path() / (target.filename().string() + ".building-XXXXXX")).string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot create a scratch directory beside " + outputDir);
  const fs::path scratch = pattern;
  try {
    kura::StartEngine();
    {
      TSessionGuard guard{&kura::CreateSession()};
      guard.Session->SetPrivateDir(scratch.string());
      kura::TSqlRunner runner(*guard.Session, scratch.string() + "/");
      for (const std::string &statement : statements) runner.Run(statement);
    }
    // The tables are closed; swap the finished directory in.
    std::error_code ignored;
    fs::remove_all(target, ignored);
    fs::rename(scratch, target);
  } catch (...) {
    std::error_code ignored;
    fs::remove_all(scratch, ignored);
    throw;
  }
}

}  // namespace kyozai
