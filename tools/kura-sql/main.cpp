// kura-sql: runs SQL statements against Kura tables from -c texts, script files, standard
// input or an interactive prompt.
#include <fcntl.h>
#include <unistd.h>

#include <iostream>

#include "ShellInput.h"
#include "ShellOptions.h"
#include "ShellSession.h"
#include "ShellSplitter.h"

#ifdef KURA_SQL_HAVE_READLINE
#include <cstdio>
#include <cstdlib>

#include <editline/readline.h>
#endif

namespace {

using kura::shell::TShellInput;
using kura::shell::TShellSession;
using kura::shell::TStatementSplitter;

// Runs the statements of an input; false when the run must stop (an error without
// --keep-going, or .quit). The input is read in blocks and passed on in pieces, so that a long
// statement is gathered once, by the splitter.
bool RunStream(TShellInput &in, TShellSession &session, bool keepGoing) {
  TStatementSplitter splitter;
  auto run = [&](const std::string &statement) {
    if (!session.Run(statement) && !keepGoing) return false;
    return !session.QuitRequested();
  };
  std::string_view piece;
  bool lineEnds = false;
  bool lineStart = true;
  while (in.Next(piece, lineEnds)) {
    // A dot command stands alone on its line.
    if (lineStart && !splitter.Pending() && !piece.empty() && piece[0] == '.') {
      std::string command(piece);
      while (!lineEnds && in.Next(piece, lineEnds)) command += piece;
      if (!run(command)) return false;
      continue;
    }
    for (const std::string &statement : splitter.AddText(piece, in.Remaining()))
      if (!run(statement)) return false;
    if (lineEnds)
      for (const std::string &statement : splitter.AddText("\n"))
        if (!run(statement)) return false;
    lineStart = lineEnds;
  }
  const std::string rest = splitter.Finish();
  return rest.empty() || run(rest);
}

// Standard input; before the shell waits on it, it lets go of the tables it keeps open.
bool RunStandardInput(TShellSession &session, bool keepGoing) {
  TShellInput in(STDIN_FILENO, "standard input", [&session] { session.ReleaseIdle(); });
  return RunStream(in, session, keepGoing);
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
      TShellInput in(text);
      going = RunStream(in, session, options.KeepGoing);
    }
    for (const std::string &file : options.Files) {
      if (!going) break;
      if (file == "-") {
        going = RunStandardInput(session, options.KeepGoing);
        continue;
      }
      const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
      if (fd < 0) {
        std::cerr << "kura-sql: cannot open " << file << "\n";
        return 1;
      }
      try {
        TShellInput in(fd, file);
        going = RunStream(in, session, options.KeepGoing);
      } catch (...) {
        ::close(fd);
        throw;
      }
      ::close(fd);
    }
    if (options.Commands.empty() && options.Files.empty()) {
      if (terminalIn) {
        // At the prompt each error has been seen as it happened; leaving is no failure.
        RunInteractive(session);
        return 0;
      }
      RunStandardInput(session, options.KeepGoing);
    }
    return session.Failures() > 0 ? 1 : 0;
  } catch (const std::exception &e) {
    std::cerr << e.what() << "\n";
    return 1;
  }
}
