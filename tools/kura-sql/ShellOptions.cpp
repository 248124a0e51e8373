#include "ShellOptions.h"

#include <filesystem>

#include "query/dataset/KuraSession.h"

namespace kura::shell {

namespace {

bool IsDirectory(const std::string &path) {
  std::error_code ignored;
  return std::filesystem::is_directory(path, ignored);
}

}  // namespace

const char *ShellUsage() {
  return "Usage: kura-sql [DIR] [--db DIR] [-c SQL] [-f FILE] [--csv|--tsv|--table] [--password PW]\n"
         "                [--keep-going] [--sync] [FILE ...]\n"
         "Runs SQL statements (each ending with \";\") against the Kura tables in DIR\n"
         "(default: the current directory; \"Memory\" for the in-memory database).\n"
         "\n"
         "  --db DIR       database directory\n"
         "  DIR            a directory given alone (or \"Memory\") is the database\n"
         "  -c SQL         run the statements of SQL (may be repeated)\n"
         "  -f FILE        run the statements of a script (\"-\": standard input)\n"
         "  --csv, -csv    comma-separated output\n"
         "  --password PW  a password for encrypted tables (may be repeated). Encryption\n"
         "                 only scrambles the table files: it is no protection of secrets.\n"
         "  --tsv          tab-separated output with a header line, NULL as NULL, tab,\n"
         "                 newline and backslash as \\t, \\n, \\\\ (the default when\n"
         "                 standard output is not a terminal)\n"
         "  --table        an aligned table (the default on a terminal)\n"
         "  --keep-going   carry on with the next statement after an error\n"
         "  --sync         every commit is on the disk before it is reported done\n"
         "                 (survives a power loss): each statement outside a\n"
         "                 transaction, each COMMIT, CREATE, ALTER and DROP\n"
         "  --help         this text\n"
         "  --version      the program's name and version\n"
         "\n"
         "Without -c or FILE the statements come from standard input; on a terminal the\n"
         "shell prompts for them. Commands: .tables, .schema [TABLE], .mode, .nullvalue,\n"
         ".changes, .password, .sync, .help, .quit. Errors go to standard error; the exit\n"
         "status is 1 when any statement failed.\n";
}

std::string ShellVersion() {
  return std::string("kura-sql ") + KURA_SQL_VERSION + " (Kura engine " + TKuraSession::EngineVersion() + ")\n";
}

bool ParseShellOptions(int argc, const char *const *argv, TShellOptions &options, std::string &error) {
  bool databaseGiven = false;
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
      databaseGiven = true;
    } else if (arg.rfind("--db=", 0) == 0) {
      options.Database = arg.substr(5);
    } else if (arg == "-c" || arg == "--command") {
      std::string text;
      if (!value(text)) return false;
      options.Commands.push_back(text);
    } else if (arg == "-f" || arg == "--file") {
      std::string file;
      if (!value(file)) return false;
      options.Files.push_back(file);
    } else if (arg == "--csv" || arg == "-csv") {
      options.Csv = true;
    } else if (arg == "--password" || arg == "-p") {
      std::string password;
      if (!value(password)) return false;
      options.Passwords.push_back(password);
    } else if (arg == "--tsv") {
      options.Tsv = true;
      options.Table = false;
    } else if (arg == "--table") {
      options.Table = true;
      options.Tsv = false;
    } else if (arg == "--keep-going" || arg == "-k") {
      options.KeepGoing = true;
    } else if (arg == "--sync") {
      options.Sync = true;
    } else if (arg == "--help" || arg == "-h") {
      options.Help = true;
    } else if (arg == "--version" || arg == "-V") {
      options.Version = true;
    } else if (arg == "-") {
      options.Files.push_back(arg);
    } else if (!arg.empty() && arg[0] == '-') {
      error = "unknown option " + arg;
      return false;
    } else if (!databaseGiven && (IsDirectory(arg) || arg == "Memory" || arg == "MEMORY" || arg == "memory")) {
      // A directory given alone names the database, as in "kura-sql DIR".
      options.Database = arg;
      databaseGiven = true;
    } else {
      options.Files.push_back(arg);
    }
  }
  return true;
}

}  // namespace kura::shell
