#pragma once
// One run of the shell: the engine started on a database directory, statements run one at a
// time with their results written out, errors reported with the engine's message.
#include <iosfwd>
#include <string>

#include "ShellOptions.h"

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

 private:
  bool RunCommand(const std::string &command);
  void ListTables();
  void DescribeTable(const std::string &name);

  TShellOptions FOptions;
  std::ostream &FOut;
  std::ostream &FErr;
  bool FTableOutput;
  std::string FDatabasePath;
  std::string FPrivateDir;
  bool FQuit = false;
  int FFailures = 0;
};

}  // namespace kura::shell
