#include "ShellOptions.h"

namespace kura::shell {

const char *ShellUsage() {
  return "Usage: kura-sql [--db DIR] [-c SQL] [--tsv] [--keep-going] [FILE ...]\n"
         "Runs SQL statements (each ending with \";\") against the Kura tables in DIR\n"
         "(default: the current directory; \"Memory\" for the in-memory database).\n"
         "\n"
         "  --db DIR       database directory\n"
         "  -c SQL         run the statements of SQL (may be repeated)\n"
         "  --tsv          tab-separated output (the default when output is not a terminal)\n"
         "  --keep-going   carry on with the next statement after an error\n"
         "  --help         this text\n"
         "\n"
         "Without -c or FILE the statements come from standard input; on a terminal the\n"
         "shell prompts for them. Commands: .tables, .schema TABLE, .help, .quit\n";
}

bool ParseShellOptions(int argc, const char *const *argv, TShellOptions &options, std::string &error) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::string &out) {
      if (i + 1 >= argc) {
        error = "option " + arg + " needs a value";
        return false;
      }
      out = argv[++i];
      return true;
    };
    if (arg == "--db" || arg == "-d") {
      if (!value(options.Database)) return false;
    } else if (arg.rfind("--db=", 0) == 0) {
      options.Database = arg.substr(5);
    } else if (arg == "-c" || arg == "--command") {
      std::string text;
      if (!value(text)) return false;
      options.Commands.push_back(text);
    } else if (arg == "--tsv") {
      options.Tsv = true;
    } else if (arg == "--keep-going" || arg == "-k") {
      options.KeepGoing = true;
    } else if (arg == "--help" || arg == "-h") {
      options.Help = true;
    } else if (arg == "-") {
      options.Files.push_back(arg);
    } else if (!arg.empty() && arg[0] == '-') {
      error = "unknown option " + arg;
      return false;
    } else {
      options.Files.push_back(arg);
    }
  }
  return true;
}

}  // namespace kura::shell
