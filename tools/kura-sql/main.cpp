// kura-sql: runs SQL statements against Kura tables from -c texts, script files, standard
// input or an interactive prompt.
#include <poll.h>
#include <unistd.h>

#include <fstream>
#include <iostream>
#include <sstream>

#include "ShellOptions.h"
#include "ShellSession.h"
#include "ShellSplitter.h"

#ifdef KURA_SQL_HAVE_READLINE
#include <cstdio>
#include <cstdlib>

#include <editline/readline.h>
#endif

namespace {

using kura::shell::TShellSession;
using kura::shell::TStatementSplitter;

// Whether reading standard input would wait: nothing is ready on it (end of input counts as
// ready). A line already buffered by the stream may be missed, which only costs a reopen.
bool InputWouldWait() {
  pollfd fd{STDIN_FILENO, POLLIN, 0};
  return ::poll(&fd, 1, 0) == 0;
}

// Runs the statements of a stream; false when the run must stop (an error without
// --keep-going, or .quit). Before waiting on standard input the shell lets go of the tables it
// keeps open.
bool RunStream(std::istream &in, TShellSession &session, bool keepGoing) {
  TStatementSplitter splitter;
  std::string line;
  auto run = [&](const std::string &statement) {
    if (!session.Run(statement) && !keepGoing) return false;
    return !session.QuitRequested();
  };
  const bool standardInput = &in == &std::cin;
  for (;;) {
    if (standardInput && InputWouldWait()) session.ReleaseIdle();
    if (!std::getline(in, line)) break;
    // A dot command stands alone on its line.
    if (!splitter.Pending() && !line.empty() && line[0] == '.') {
      if (!run(line)) return false;
      continue;
    }
    for (const std::string &statement : splitter.AddLine(line))
      if (!run(statement)) return false;
  }
  const std::string rest = splitter.Finish();
  return rest.empty() || run(rest);
}

bool RunInteractive(TShellSession &session) {
#ifdef KURA_SQL_HAVE_READLINE
  TStatementSplitter splitter;
  for (;;) {
    session.ReleaseIdle();
    char *raw = readline(splitter.Pending() ? "   ...> " : "kura> ");
    if (!raw) break;
    std::string line = raw;
    std::free(raw);
    if (!line.empty()) add_history(line.c_str());
    if (!splitter.Pending() && !line.empty() && line[0] == '.') {
      session.Run(line);
      if (session.QuitRequested()) break;
      continue;
    }
    for (const std::string &statement : splitter.AddLine(line)) session.Run(statement);
    if (session.QuitRequested()) break;
  }
  std::cout << "\n";
  return true;
#else
  TStatementSplitter splitter;
  std::string line;
  for (;;) {
    session.ReleaseIdle();
    std::cout << (splitter.Pending() ? "   ...> " : "kura> ") << std::flush;
    if (!std::getline(std::cin, line)) break;
    if (!splitter.Pending() && !line.empty() && line[0] == '.') {
      session.Run(line);
      if (session.QuitRequested()) break;
      continue;
    }
    for (const std::string &statement : splitter.AddLine(line)) session.Run(statement);
    if (session.QuitRequested()) break;
  }
  std::cout << "\n";
  return true;
#endif
}

}  // namespace

int main(int argc, char **argv) {
  kura::shell::TShellOptions options;
  std::string error;
  if (!kura::shell::ParseShellOptions(argc, argv, options, error)) {
    std::cerr << "kura-sql: " << error << "\n" << kura::shell::ShellUsage();
    return 2;
  }
  if (options.Help) {
    std::cout << kura::shell::ShellUsage();
    return 0;
  }
  if (options.Version) {
    std::cout << kura::shell::ShellVersion();
    return 0;
  }
  const bool terminalIn = ::isatty(STDIN_FILENO) != 0;
  try {
    // An aligned table for a person at a terminal; otherwise (and with --tsv) tab-separated
    // lines that programs can read.
    const bool tableOutput = options.Table || (!options.Tsv && ::isatty(STDOUT_FILENO) != 0);
    TShellSession session(options, std::cout, std::cerr, tableOutput);
    bool going = true;
    for (const std::string &text : options.Commands) {
      if (!going) break;
      std::istringstream in(text);
      going = RunStream(in, session, options.KeepGoing);
    }
    for (const std::string &file : options.Files) {
      if (!going) break;
      if (file == "-") {
        going = RunStream(std::cin, session, options.KeepGoing);
        continue;
      }
      std::ifstream in(file);
      if (!in) {
        std::cerr << "kura-sql: cannot open " << file << "\n";
        return 1;
      }
      going = RunStream(in, session, options.KeepGoing);
    }
    if (options.Commands.empty() && options.Files.empty()) {
      if (terminalIn) {
        // At the prompt each error has been seen as it happened; leaving is no failure.
        RunInteractive(session);
        return 0;
      }
      RunStream(std::cin, session, options.KeepGoing);
    }
    return session.Failures() > 0 ? 1 : 0;
  } catch (const std::exception &e) {
    std::cerr << e.what() << "\n";
    return 1;
  }
}
