#pragma once
// One run of the shell: the engine started on a database directory, statements run one at a
// time with their results written out, errors reported with the engine's message.
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "ShellOptions.h"
#include "ShellOutput.h"

namespace kura {
class TSqlRunner;
class TShellPrivateDir;
}

namespace kura::shell {

class TShellSession {
 public:
  TShellSession(const TShellOptions &options, std::ostream &out, std::ostream &err, bool tableOutput);
  ~TShellSession();
  TShellSession(const TShellSession &) = delete;
  TShellSession &operator=(const TShellSession &) = delete;

  // Runs one statement or dot command; false when it failed (the message is written).
  bool Run(const std::string &statement);
  // ".quit" was given.
  bool QuitRequested() const { return FQuit; }
  int Failures() const { return FFailures; }
  // The tables kept open between statements are closed: called whenever the shell is about to
  // wait for input, so that an idle shell never keeps another process from opening a table
  // exclusively.
  void ReleaseIdle();

 private:
  bool RunCommand(const std::string &command);
  void ListTables();
  std::vector<std::string> TableNames();
  void WriteResult(const TResultText &result);
  TSqlRunner &Runner();
  bool SetMode(const std::string &mode);
  void DescribeTable(const std::string &name);

  TShellOptions FOptions;
  std::ostream &FOut;
  std::ostream &FErr;
  enum class TOutputMode { Table, Csv, Tsv };
  TOutputMode FMode = TOutputMode::Table;
  std::string FNullValue;             // NULL in table and CSV output
  std::string FTsvNullValue = "NULL";  // NULL in tab-separated output
  bool FShowChanges = true;           // rows affected after INSERT, UPDATE, DELETE
  std::unique_ptr<TSqlRunner> FRunner;
  std::string FDatabasePath;
  std::unique_ptr<TShellPrivateDir> FPrivateDir;
  bool FQuit = false;
  int FFailures = 0;
};

}  // namespace kura::shell
