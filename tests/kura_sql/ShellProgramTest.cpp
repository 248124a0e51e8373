// The kura-sql program run on a database directory built through the engine API.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/cursor/DataCursor.h"
#include "engine/data/FieldCodec.h"
#include "engine/index/IndexDefinition.h"
#include "engine/index/IndexFile.h"
#include "engine/table/DataDirectory.h"
#include "engine/table/DataSession.h"
#include "engine/table/Engine.h"

namespace kura::shell {
namespace {

struct Outcome {
  int Status = -1;
  std::string Out, Err;
};

class ShellProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kura-sql-test-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    FRoot = pattern;
    std::filesystem::create_directories(FRoot / "db");
    std::filesystem::create_directories(FRoot / "private");
    StartEngine();
    InstallIndexFiles();
    DefaultSession().SetPrivateDir((FRoot / "private").string());
    TDataDirectory *dir = DefaultSession().OpenDataDirectory("ShellDb", (FRoot / "db").string() + "/");
    TDataFileDefinition def;
    auto field = [](const char *name, EngineFieldType type, uint8_t size = 0) {
      TFieldDescriptor f;
      f.Name = name;
      f.Type = type;
      f.DeclaredSize = size;
      return f;
    };
    def.Fields = {field("ID", EngineFieldType::Integer), field("Word", EngineFieldType::String, 20),
                  field("Price", EngineFieldType::Float)};
    std::vector<TFieldDescriptor> laid = def.Fields;
    LayoutFields(laid);
    TIndexDefinition primary;
    TIndexDefinitionField key;
    key.FieldNumber = 1;
    key.FieldName = "ID";
    key.Type = EngineFieldType::Integer;
    key.StoredSize = laid[0].DataSize;
    primary.Fields.push_back(key);
    TDataCursor cursor(dir, "items");
    cursor.CreateTable(def, {primary});
    cursor.OpenCursor();
    const struct {
      int id;
      const char *word;
      double price;
      bool hasPrice;
    } rows[] = {{1, "plain", 1.5, true}, {2, "tab\there", 0, false}, {3, "line\nbreak\\", 20, true}};
    for (const auto &row : rows) {
      std::vector<uint8_t> buffer = cursor.NewRecordBuffer();
      cursor.InitRecord(buffer.data());
      cursor.SetInteger(1, buffer.data(), row.id);
      cursor.SetString(2, buffer.data(), row.word);
      if (row.hasPrice) cursor.SetFloat(3, buffer.data(), row.price);
      cursor.AppendRecord(buffer.data());
    }
    cursor.CloseCursor();
    StopEngine();
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(FRoot, ignored);
  }

  static std::string Quote(const std::string &text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
  }

  static std::string Slurp(const std::filesystem::path &path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  // Runs the program with the arguments (already quoted as needed) and optional stdin text.
  Outcome Shell(const std::string &arguments, const std::string &input = "") {
    const auto in = FRoot / "stdin.txt", out = FRoot / "stdout.txt", err = FRoot / "stderr.txt";
    std::ofstream(in) << input;
    const std::string command = std::string(KURA_SQL_BINARY) + " --db " + Quote((FRoot / "db").string()) + " --tsv " +
                                arguments + " <" + Quote(in.string()) + " >" + Quote(out.string()) + " 2>" +
                                Quote(err.string());
    Outcome o;
    const int raw = std::system(command.c_str());
    o.Status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    o.Out = Slurp(out);
    o.Err = Slurp(err);
    return o;
  }

  std::filesystem::path FRoot;
};

TEST_F(ShellProgramTest, CommandTextGivesTabSeparatedRows) {
  Outcome o = Shell("-c " + Quote("select ID, Word, Price from items order by ID desc;"));
  EXPECT_EQ(o.Status, 0) << o.Err;
  EXPECT_EQ(o.Out, "ID\tWord\tPrice\n3\tline\\nbreak\\\\\t20\n2\ttab\\there\tNULL\n1\tplain\t1.5\n");
  EXPECT_EQ(o.Err, "");
}

TEST_F(ShellProgramTest, LargeTabSeparatedResultsArriveWholeAndInOrder) {
  // Rows are written out a block at a time: none is lost, doubled or cut at a block's end.
  std::string script = "create table many (N integer, T varchar(20), primary key (N));\nstart transaction;\n";
  std::string expected = "N\tT\n";
  for (int i = 0; i < 12000; ++i) {
    const std::string n = std::to_string(i);
    if (i % 5 == 0) {
      script += "insert into many (N) values (" + n + ");\n";
      expected += n + "\tNULL\n";
    } else {
      script += "insert into many values (" + n + ", 'v" + n + "\tx\\');\n";
      expected += n + "\tv" + n + "\\tx\\\\\n";
    }
  }
  script += "commit;\nselect N, T from many order by N;\n";
  Outcome o = Shell("", script);
  EXPECT_EQ(o.Status, 0) << o.Err;
  EXPECT_GT(expected.size(), size_t{65536} * 2);
  EXPECT_TRUE(o.Out == expected) << o.Out.size() << " bytes against " << expected.size();
}

TEST_F(ShellProgramTest, StatementsFromFilesAndStandardInput) {
  std::ofstream(FRoot / "script.sql") << "select ID from items where ID < 2;\n/* a comment */\nselect count(*)\n"
                                         "  from items;\n";
  Outcome o = Shell(Quote((FRoot / "script.sql").string()));
  EXPECT_EQ(o.Status, 0) << o.Err;
  EXPECT_EQ(o.Out, "ID\n1\ncount(*)\n3\n");
  Outcome in = Shell("", "select Word from items where ID = 1;\nselect ID from items where ID = 3");
  EXPECT_EQ(in.Status, 0) << in.Err;
  EXPECT_EQ(in.Out, "Word\nplain\nID\n3\n");
}

// The input is read in blocks far shorter than this script's literal: a ";" and quotes fall
// on the blocks' edges, lines end in CRLF, and the same script comes from a file and from
// standard input.
TEST_F(ShellProgramTest, LongLiteralsAndCrlfLinesAcrossReadBlocks) {
  std::string literal;
  size_t parts = 0;
  for (; literal.size() < 300000; ++parts) literal += "it''s; part " + std::to_string(parts) + "\r\n";
  const std::string script = "create table notes (N integer, Body memo, primary key (N));\r\n"
                             ".changes off\r\n"
                             "insert into notes values (1,\r\n'" + literal + "');\r\n"
                             "select N, length(Body) from notes\r\n where Body like '%part 9999%';\r\n"
                             "drop table notes;";
  std::ofstream(FRoot / "long.sql") << script;
  // The literal reads with each doubled quote as one, CR LF kept.
  const std::string rows = "N\tlength(Body)\n1\t" + std::to_string(literal.size() - parts) + "\n";
  for (const Outcome &o : {Shell("-f " + Quote((FRoot / "long.sql").string())), Shell("", script)}) {
    EXPECT_EQ(o.Status, 0) << o.Err;
    EXPECT_EQ(o.Out, rows);
  }
}

TEST_F(ShellProgramTest, ErrorStopsTheRunWithStatusOne) {
  Outcome o = Shell("-c " + Quote("select Nope from items; select ID from items where ID = 1;"));
  EXPECT_EQ(o.Status, 1);
  EXPECT_EQ(o.Out, "");
  EXPECT_EQ(o.Err,
            "Kura Engine Error # 11949 SQL error - Invalid column name 'Nope' or table correlation name '' "
            "specified in source columns\n");
}

TEST_F(ShellProgramTest, KeepGoingCarriesOn) {
  Outcome o = Shell("--keep-going -c " + Quote("select Nope from items; select ID from items where ID = 1;"));
  EXPECT_EQ(o.Status, 1);
  EXPECT_EQ(o.Out, "ID\n1\n");
  EXPECT_NE(o.Err.find("Invalid column name 'Nope'"), std::string::npos);
}

TEST_F(ShellProgramTest, RowsAffectedAreReportedOnlyWhenAskedForOutsideATerminal) {
  Outcome made = Shell("-c " + Quote("create table stock (ID integer, Price float, primary key (ID)); "
                                     "insert into stock values (1, 1.5); insert into stock (ID) values (2); "
                                     "insert into stock values (3, 20);"));
  EXPECT_EQ(made.Status, 0) << made.Err;
  Outcome o = Shell("", ".changes on\ninsert into stock (ID) values (4);\nupdate stock set Price = 2 "
                        "where ID >= 3;\ndelete from stock where ID = 1;\nselect ID, Price from stock;\n");
  EXPECT_EQ(o.Status, 0) << o.Err;
  EXPECT_EQ(o.Out, "(1 row affected)\n(2 rows affected)\n(1 row affected)\nID\tPrice\n2\tNULL\n3\t2\n4\t2\n");
  // Without it, statements without a result print nothing on standard output.
  Outcome quiet = Shell("", "delete from stock;\nselect count(*) from stock;\n");
  EXPECT_EQ(quiet.Status, 0) << quiet.Err;
  EXPECT_EQ(quiet.Out, "count(*)\n0\n");
}

TEST_F(ShellProgramTest, DefinitionsAndTransactionsFromTheShell) {
  Outcome o = Shell("", "create table notes (N integer, Text varchar(10), primary key (N));\n"
                        "start transaction;\ninsert into notes values (1, 'one');\nrollback;\n"
                        "insert into notes values (2, 'two');\ncommit;\n");
  EXPECT_EQ(o.Status, 1);
  EXPECT_EQ(o.Err, "Kura Engine Error # 11949 SQL error - Transaction not in progress for database '" +
                       (FRoot / "db").string() + "/'\n");
  Outcome csv = Shell("--csv", ".nullvalue -\nselect N, Text, 'x' || Text as T from notes;\n");
  EXPECT_EQ(csv.Status, 0) << csv.Err;
  EXPECT_EQ(csv.Out, "N,Text,T\n2,two,xtwo\n");
  Outcome dropped = Shell("-c " + Quote("drop table notes; drop table if exists notes;"));
  EXPECT_EQ(dropped.Status, 0) << dropped.Err;
  EXPECT_FALSE(std::filesystem::exists(FRoot / "db" / "notes.DAT"));
}

TEST_F(ShellProgramTest, TabSeparatedWhenNotATerminalAndAlignedOnRequest) {
  // Output into a file is for programs: results only, tab-separated, NULL as NULL.
  const std::string command = Quote(KURA_SQL_BINARY) + " " + Quote((FRoot / "db").string()) + " -c " +
                              Quote("create table n (A integer, B varchar(5)); insert into n values (7, NULL); "
                                    "select A, B from n;") +
                              " >" + Quote((FRoot / "t.out").string());
  ASSERT_EQ(std::system(command.c_str()), 0);
  EXPECT_EQ(Slurp(FRoot / "t.out"), "A\tB\n7\tNULL\n");
  const std::string aligned = Quote(KURA_SQL_BINARY) + " " + Quote((FRoot / "db").string()) + " --table -c " +
                              Quote("select A, B from n;") + " >" + Quote((FRoot / "a.out").string());
  ASSERT_EQ(std::system(aligned.c_str()), 0);
  EXPECT_EQ(Slurp(FRoot / "a.out"), " A | B\n---+---\n 7 | \n(1 row)\n");
  const std::string nulls = Quote(KURA_SQL_BINARY) + " " + Quote((FRoot / "db").string()) + " -f - <<'EOF'\n" +
                            ".nullvalue (null)\n.mode csv\nselect A, B from n;\nEOF\n";
  const std::string run = "bash -c " + Quote(nulls) + " >" + Quote((FRoot / "c.out").string());
  ASSERT_EQ(std::system(run.c_str()), 0);
  EXPECT_EQ(Slurp(FRoot / "c.out"), "A,B\n7,(null)\n");
}

TEST_F(ShellProgramTest, PasswordsForEncryptedTables) {
  Outcome made = Shell("-c " + Quote("create table s (A integer encrypted with 'pw'); insert into s values (1);"));
  EXPECT_EQ(made.Status, 0) << made.Err;
  Outcome refused = Shell("-c " + Quote("select A from s;"));
  EXPECT_EQ(refused.Status, 1);
  EXPECT_EQ(refused.Err, "Kura Engine Error # 10498 Insufficient rights to the table 's', a password is required\n");
  Outcome option = Shell("--password pw -c " + Quote("select A from s;"));
  EXPECT_EQ(option.Status, 0) << option.Err;
  EXPECT_EQ(option.Out, "A\n1\n");
  Outcome command = Shell("", ".password pw\nupdate s set A = 2;\nselect A from s;\n");
  EXPECT_EQ(command.Status, 0) << command.Err;
  EXPECT_EQ(command.Out, "A\n2\n");
  Outcome help = Shell("--help");
  EXPECT_NE(help.Out.find("no protection of secrets"), std::string::npos);
}

// Nothing reaches an encrypted table without its password, and only tables are deleted.
TEST_F(ShellProgramTest, NoDeletionWithoutTheRightsToOpenTheTable) {
  ASSERT_EQ(Shell("-c " + Quote("create table s (A integer encrypted with 'pw'); insert into s values (1);")).Status, 0);
  std::ofstream(FRoot / "db" / "junk.DAT") << "not a table";
  std::ofstream(FRoot / "db" / "junk.BLB") << "not a blob file";
  const std::string noRights = "Kura Engine Error # 10498 Insufficient rights to the table 's', a password is required\n";
  const struct {
    const char *script;
    const char *error;
  } refused[] = {
      {"drop table s;", noRights.c_str()},
      {"drop table if exists s;", noRights.c_str()},
      {"select ID into s from items;", noRights.c_str()},
      {".schema s", noRights.c_str()},
      {"drop table junk;", nullptr},
      {"select ID into junk from items;", nullptr},
  };
  for (const auto &r : refused) {
    Outcome o = Shell("", std::string(r.script) + "\n");
    EXPECT_EQ(o.Status, 1) << r.script;
    EXPECT_EQ(o.Out, "") << r.script;
    if (r.error) EXPECT_EQ(o.Err, r.error) << r.script;
    else EXPECT_NE(o.Err, "") << r.script;
  }
  EXPECT_TRUE(std::filesystem::exists(FRoot / "db" / "s.DAT"));
  EXPECT_TRUE(std::filesystem::exists(FRoot / "db" / "junk.DAT"));
  EXPECT_TRUE(std::filesystem::exists(FRoot / "db" / "junk.BLB"));
  // With the password the same statements work.
  Outcome replaced = Shell("--password pw -c " + Quote("select ID into s from items where ID = 2; select * from s;"));
  EXPECT_EQ(replaced.Status, 0) << replaced.Err;
  EXPECT_EQ(replaced.Out, "ID\n2\nID\n2\n");  // SELECT ... INTO shows its rows too
  Outcome dropped = Shell("--password pw -c " + Quote("drop table s;"));
  EXPECT_EQ(dropped.Status, 0) << dropped.Err;
  EXPECT_FALSE(std::filesystem::exists(FRoot / "db" / "s.DAT"));
}

// One rule for table names that are paths: relative to the current directory, whether the
// table is written with INTO or read with FROM.
TEST_F(ShellProgramTest, IntoAndFromResolvePathsAlike) {
  std::filesystem::create_directories(FRoot / "sub");
  const std::string absolute = (FRoot / "sub" / "abs").string();
  Outcome o = Shell("-c " + Quote("select ID into \"" + absolute + "\" from items where ID = 1; select * from \"" +
                                  absolute + "\";"));
  EXPECT_EQ(o.Status, 0) << o.Err;
  EXPECT_EQ(o.Out, "ID\n1\nID\n1\n");
  EXPECT_TRUE(std::filesystem::exists(FRoot / "sub" / "abs.DAT"));
  const std::string command = "cd " + Quote(FRoot.string()) + " && " + std::string(KURA_SQL_BINARY) + " --db db --tsv -c " +
                              Quote("select ID into \"sub/rel\" from items where ID = 3; select ID from \"sub/rel\";") +
                              " >" + Quote((FRoot / "rel.out").string()) + " 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0) << Slurp(FRoot / "rel.out");
  EXPECT_EQ(Slurp(FRoot / "rel.out"), "ID\n3\nID\n3\n");
  EXPECT_TRUE(std::filesystem::exists(FRoot / "sub" / "rel.DAT"));
}

TEST_F(ShellProgramTest, DatabaseDirectoryGivenAloneAndMemory) {
  const std::string binary = KURA_SQL_BINARY;
  const std::string command = Quote(binary) + " Memory --tsv -c " +
                              Quote("create table m (A integer); insert into m values (7); select A from m;") +
                              " >" + Quote((FRoot / "m.out").string()) + " 2>&1";
  const int raw = std::system(command.c_str());
  EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 0);
  EXPECT_EQ(Slurp(FRoot / "m.out"), "A\n7\n");
  const std::string inDir = Quote(binary) + " " + Quote((FRoot / "db").string()) + " --tsv -c " +
                            Quote("select count(*) from items;") + " >" + Quote((FRoot / "d.out").string());
  ASSERT_EQ(std::system(inDir.c_str()), 0);
  EXPECT_EQ(Slurp(FRoot / "d.out"), "count(*)\n3\n");
}

TEST_F(ShellProgramTest, TablesAndSchema) {
  Outcome o = Shell("", ".tables\n.schema items\n");
  EXPECT_EQ(o.Status, 0) << o.Err;
  EXPECT_EQ(o.Out,
            "items\n"
            "Field\tType\tRequired\nID\tINTEGER\tno\nWord\tCHAR(20)\tno\nPrice\tFLOAT\tno\n"
            "PRIMARY KEY (ID)\n");
  Outcome missing = Shell("", ".schema nothing\n");
  EXPECT_EQ(missing.Status, 1);
  EXPECT_NE(missing.Err.find("Kura Engine Error #"), std::string::npos) << missing.Err;
}

TEST_F(ShellProgramTest, HelpAndBadOptions) {
  Outcome help = Shell("--help");
  EXPECT_EQ(help.Status, 0);
  EXPECT_NE(help.Out.find("Usage: kura-sql"), std::string::npos);
  Outcome version = Shell("--version");
  EXPECT_EQ(version.Status, 0);
  EXPECT_EQ(version.Out.rfind("kura-sql ", 0), 0u) << version.Out;
  EXPECT_NE(version.Out.find("(Kura engine "), std::string::npos) << version.Out;
  EXPECT_EQ(version.Out.back(), '\n');
  // The manual page names every option the program takes.
  std::ifstream page(KURA_SQL_MANUAL);
  std::stringstream manual;
  manual << page.rdbuf();
  ASSERT_FALSE(manual.str().empty());
  // (troff writes each minus sign as "\-")
  for (const char *option : {"\\-\\-db", "\\-c", "\\-f", "\\-\\-csv", "\\-\\-tsv", "\\-\\-table",
                             "\\-\\-password", "\\-\\-keep\\-going", "\\-\\-sync", "\\-\\-help", "\\-\\-version",
                             ".schema", ".tables", ".password", ".nullvalue", ".changes", ".mode", ".sync"})
    EXPECT_NE(manual.str().find(option), std::string::npos) << option;
  Outcome bad = Shell("--nonsense");
  EXPECT_EQ(bad.Status, 2);
  EXPECT_NE(bad.Err.find("unknown option --nonsense"), std::string::npos);
}

// Every commit flushed: off by default, on with --sync or ".sync on" (what it syncs is tested with
// the fault injector in tests/fault).
TEST_F(ShellProgramTest, SyncSettingFromTheCommandLineAndTheDotCommand) {
  EXPECT_EQ(Shell("", ".sync\n").Out, "sync off\n");
  EXPECT_EQ(Shell("--sync", ".sync\n").Out, "sync on\n");
  EXPECT_EQ(Shell("", ".sync on\n.sync\n.sync off\n.sync\n").Out, "sync on\nsync off\n");
  const Outcome bad = Shell("", ".sync sometimes\n");
  EXPECT_EQ(bad.Status, 1);
  EXPECT_NE(bad.Err.find("unknown command .sync sometimes"), std::string::npos) << bad.Err;
  EXPECT_NE(Shell("--help").Out.find("--sync"), std::string::npos);
  EXPECT_NE(Shell("", ".help\n").Out.find(".sync on|off"), std::string::npos);
}

TEST_F(ShellProgramTest, ResultFilesAreNotLeftInTheDatabase) {
  Shell("-c " + Quote("select Word from items order by Word desc;"));
  size_t files = 0;
  for (const auto &entry : std::filesystem::directory_iterator(FRoot / "db")) {
    // A table that has been written keeps its post journal beside it.
    if (entry.path().filename() == "items.JNL") continue;
    ++files;
  }
  EXPECT_EQ(files, 2u);  // items.DAT and items.IDX
}

}  // namespace
}  // namespace kura::shell

namespace kura::shell {
namespace {

// A shell fed through a pipe keeps the tables of its SELECTs open only while statements are
// waiting: once it waits for input it lets go of them, so another process can alter a table it
// has read, and the shell's next SELECT sees the other process's change.
TEST_F(ShellProgramTest, IdleShellLetsAnotherProcessHaveTheTableAlone) {
  const auto fifo = FRoot / "input", out = FRoot / "a.out", err = FRoot / "a.err", status = FRoot / "a.status";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string background = "(" + std::string(KURA_SQL_BINARY) + " --db " + Quote((FRoot / "db").string()) +
                                 " --tsv <" + Quote(fifo.string()) + " >" + Quote(out.string()) + " 2>" +
                                 Quote(err.string()) + "; echo $? >" + Quote(status.string()) + ") &";
  ASSERT_EQ(std::system(background.c_str()), 0);
  auto waitFor = [](const std::function<bool()> &done) {
    for (int i = 0; i < 1000 && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return done();
  };
  std::ofstream pipe(fifo);  // opens once the shell has opened its end
  pipe << "select Word from items where ID = 1;\n" << std::flush;
  ASSERT_TRUE(waitFor([&] { return Slurp(out).find("plain") != std::string::npos; })) << Slurp(err);

  // The first shell now waits for input with nothing kept: the table can be had alone.
  Outcome other = Shell("-c " + Quote("ALTER TABLE items ADD COLUMN Extra INTEGER; "
                                      "INSERT INTO items VALUES (7, 'seven', 2.5, 70);"));
  EXPECT_EQ(other.Status, 0) << other.Err;

  pipe << "select ID, Word, Extra from items where ID = 7;\n" << std::flush;
  pipe.close();
  ASSERT_TRUE(waitFor([&] { return !Slurp(status).empty(); }));
  EXPECT_EQ(Slurp(status), "0\n") << Slurp(err);
  EXPECT_EQ(Slurp(out), "Word\nplain\nID\tWord\tExtra\n7\tseven\t70\n");
}

}  // namespace
}  // namespace kura::shell
