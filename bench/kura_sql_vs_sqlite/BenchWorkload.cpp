#include "BenchWorkload.h"

#include <algorithm>
#include <random>
#include <sstream>

namespace kura::bench {

namespace {

const char *const kWords[] = {"hoshi", "sora",  "umi",   "yama",   "kawa",  "mori", "hana", "kaze",
                              "tsuki", "yuki",  "ishi",  "michi",  "shima", "taki", "ame",  "kumo",
                              "nami",  "hikari", "kokoro", "sakura", "tori",  "mizu", "hi",   "ki"};
constexpr int kWordCount = sizeof(kWords) / sizeof(kWords[0]);
constexpr int kGroups = 50;

struct TRandom {
  std::mt19937_64 Engine;
  explicit TRandom(uint32_t seed) : Engine(seed) {}
  int64_t Between(int64_t low, int64_t high) {  // both ends included
    return std::uniform_int_distribution<int64_t>(low, high)(Engine);
  }
  // Group numbers are skewed: a few groups are large, most are small, as real categories are.
  int Group() {
    const double u = std::uniform_real_distribution<double>(0.0, 1.0)(Engine);
    return std::min(kGroups - 1, static_cast<int>(kGroups * u * u * u));
  }
  std::string Name() {
    std::string name = kWords[Between(0, kWordCount - 1)];
    if (Between(0, 2) == 0) name += std::string("-") + kWords[Between(0, kWordCount - 1)];
    return name + "-" + std::to_string(Between(0, 99999));
  }
};

std::vector<int64_t> Shuffled(std::vector<int64_t> values, TRandom &random) {
  std::shuffle(values.begin(), values.end(), random.Engine);
  return values;
}

// A float that both engines print and add up exactly: a multiple of 0.25.
std::string Quarter(int64_t quarters) {
  const int64_t magnitude = quarters < 0 ? -quarters : quarters;
  static const char *const kFractions[] = {"", ".25", ".5", ".75"};
  return (quarters < 0 ? "-" : "") + std::to_string(magnitude / 4) + kFractions[magnitude % 4];
}

std::string InTransaction(const std::string &statements) { return "@BEGIN@\n" + statements + "@COMMIT@\n"; }

void ReplaceAll(std::string &text, const std::string &token, const std::string &by) {
  for (size_t at = text.find(token); at != std::string::npos; at = text.find(token, at + by.size()))
    text.replace(at, token.size(), by);
}

}  // namespace

std::vector<TPhase> MakeWorkload(const TWorkloadOptions &options) {
  TRandom random(options.Seed);
  const int64_t rows = options.Rows;
  std::vector<TPhase> phases;

  // Keys are distinct but not consecutive and arrive in random order.
  std::vector<int64_t> ids(rows), codes(rows), quarters(rows);
  for (int64_t i = 0; i < rows; ++i) {
    ids[i] = i * 3 + 1 + random.Between(0, 2);
    codes[i] = i + 1;
    quarters[i] = i - rows / 2;
  }
  ids = Shuffled(ids, random);
  codes = Shuffled(codes, random);  // code is unique, so a code range holds a known number of rows
  quarters = Shuffled(quarters, random);

  std::ostringstream create;
  create << "CREATE TABLE t (id INTEGER NOT NULL, code INTEGER, grp INTEGER, name VARCHAR(24), val FLOAT, "
            "qty INTEGER, PRIMARY KEY (id));\n"
            "CREATE TABLE g (grp INTEGER NOT NULL, label VARCHAR(20), PRIMARY KEY (grp));\n"
            "CREATE TABLE d (id INTEGER NOT NULL, payload VARCHAR(40), num INTEGER, PRIMARY KEY (id));\n"
            "CREATE TABLE notes (id INTEGER NOT NULL, body @MEMO@, PRIMARY KEY (id));\n"
            "CREATE TABLE big (id INTEGER NOT NULL, data BLOB, PRIMARY KEY (id));\n";
  for (int grp = 0; grp < kGroups; ++grp)
    create << "INSERT INTO g (grp, label) VALUES (" << grp << ", '" << kWords[grp % kWordCount] << " group " << grp
           << "');\n";
  phases.push_back({"create", "create 5 tables, 50 rows in the join table", create.str(), 1});

  std::ostringstream insert;
  for (int64_t i = 0; i < rows; ++i)
    insert << "INSERT INTO t (id, code, grp, name, val, qty) VALUES (" << ids[i] << ", " << codes[i] << ", "
           << random.Group() << ", '" << random.Name() << "', " << Quarter(quarters[i]) << ", "
           << random.Between(1, 1000) << ");\n";
  phases.push_back({"insert", "INSERT N rows, one transaction", InTransaction(insert.str()), rows});

  phases.push_back({"index", "CREATE INDEX on an integer column", "CREATE INDEX t_code ON t (code);\n", rows});

  std::ostringstream select;
  for (int i = 0; i < options.Selects; ++i)
    select << "SELECT id, name, val FROM t WHERE id = " << ids[random.Between(0, rows - 1)] << ";\n";
  phases.push_back({"select", std::to_string(options.Selects) + " point SELECTs on the primary key", select.str(),
                    options.Selects});

  // Ten ranges of the indexed column, each a hundredth of the rows.
  std::ostringstream range;
  const int64_t width = std::max<int64_t>(1, rows / 100);
  for (int i = 0; i < 10; ++i) {
    const int64_t low = random.Between(1, std::max<int64_t>(1, rows - width + 1));
    range << "SELECT id, code, name FROM t WHERE code BETWEEN " << low << " AND " << low + width - 1 << ";\n";
  }
  phases.push_back({"range", "10 range SELECTs through the secondary index (1 % each)", range.str(),
                    10 * width});

  phases.push_back({"group", "GROUP BY over all rows",
                    "SELECT grp, COUNT(*), SUM(qty), AVG(val), MIN(qty), MAX(code) FROM t GROUP BY grp;\n", rows});
  TPhase order{"order", "ORDER BY an unindexed column", "SELECT id, name, val FROM t ORDER BY val;\n", rows};
  order.Ordered = true;
  phases.push_back(order);
  phases.push_back({"join", "two-table join (10 % of the rows)",
                    "SELECT t.id, t.name, g.label FROM t JOIN g ON t.grp = g.grp WHERE t.qty BETWEEN 501 AND 600;\n",
                    rows});
  phases.push_back({"update", "UPDATE of 10 % of the rows (one statement)",
                    "UPDATE t SET qty = qty + 1, val = val * 2 WHERE qty <= 100;\n", rows});

  std::ostringstream keyUpdate;
  for (int i = 0; i < options.KeyUpdates; ++i)
    keyUpdate << "UPDATE t SET qty = " << random.Between(1, 1000) << ", name = '" << random.Name()
              << "' WHERE id = " << ids[random.Between(0, rows - 1)] << ";\n";
  phases.push_back({"keyupdate", std::to_string(options.KeyUpdates) + " UPDATEs by primary key, one transaction",
                    InTransaction(keyUpdate.str()), options.KeyUpdates});

  std::ostringstream deletes;
  const std::vector<int64_t> victims = Shuffled(ids, random);
  const int64_t deleteCount = std::max<int64_t>(1, rows / 10);
  for (int64_t i = 0; i < deleteCount; ++i) deletes << "DELETE FROM t WHERE id = " << victims[i] << ";\n";
  phases.push_back({"delete", "DELETE 10 % by primary key, one statement each, one transaction",
                    InTransaction(deletes.str()), deleteCount});

  std::ostringstream fill;
  std::vector<int64_t> smallIds(options.SmallTableRows);
  for (int i = 0; i < options.SmallTableRows; ++i) {
    smallIds[i] = i + 1;
    fill << "INSERT INTO d (id, payload, num) VALUES (" << i + 1 << ", '" << random.Name() << " " << random.Name()
         << "', " << random.Between(-50000, 50000) << ");\n";
  }
  TPhase fillPhase{"fill-d", "INSERT " + std::to_string(options.SmallTableRows) + " rows into a second table",
                   InTransaction(fill.str()), options.SmallTableRows};
  fillPhase.Setup = true;
  phases.push_back(fillPhase);
  smallIds = Shuffled(smallIds, random);
  std::ostringstream smallDeletes;
  for (int i = 0; i < options.SmallTableDeletes && i < options.SmallTableRows; ++i)
    smallDeletes << "DELETE FROM d WHERE id = " << smallIds[i] << ";\n";
  phases.push_back({"delete-d",
                    std::to_string(options.SmallTableDeletes) + " DELETE ... WHERE id = k on " +
                        std::to_string(options.SmallTableRows) + " rows, one transaction",
                    InTransaction(smallDeletes.str()), options.SmallTableDeletes});

  std::ostringstream memos;
  for (int i = 0; i < options.Memos; ++i) {
    const int64_t length = random.Between(1024, 4096);
    std::string body;
    while (static_cast<int64_t>(body.size()) < length) {
      if (!body.empty()) body += random.Between(0, 11) == 0 ? ". " : " ";
      body += kWords[random.Between(0, kWordCount - 1)];
    }
    body.resize(length);
    memos << "INSERT INTO notes (id, body) VALUES (" << i + 1 << ", '" << body << "');\n";
  }
  phases.push_back({"memo", std::to_string(options.Memos) + " memos of 1-4 KB, one transaction",
                    InTransaction(memos.str()), options.Memos});

  std::string blob = "INSERT INTO big (id, data) VALUES (1, '";
  blob.reserve(blob.size() + options.BlobBytes + 8);
  static const char kAlphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 .,:-+=";
  std::uniform_int_distribution<int> letter(0, sizeof(kAlphabet) - 2);
  for (int64_t i = 0; i < options.BlobBytes; ++i) blob += kAlphabet[letter(random.Engine)];
  blob += "');\n";
  phases.push_back({"blob", options.BlobBytes >= (1 << 20) ? "one blob of " + std::to_string(options.BlobBytes >> 20) + " MB"
                                                          : "one blob of " + std::to_string(options.BlobBytes >> 10) + " KB", blob, 1});
  return phases;
}

std::string ForDialect(const std::string &script, const TDialect &dialect) {
  std::string text = script;
  ReplaceAll(text, "@BEGIN@", dialect.Begin);
  ReplaceAll(text, "@COMMIT@", dialect.Commit);
  ReplaceAll(text, "@MEMO@", dialect.MemoType);
  return dialect.Preamble.empty() ? text : dialect.Preamble + "\n" + text;
}

std::string EndStateQueries() {
  return "SELECT COUNT(*), SUM(id), SUM(qty), SUM(code), SUM(val) FROM t;\n"
         "SELECT COUNT(*), SUM(num) FROM d;\n"
         "SELECT COUNT(*), SUM(LENGTH(body)) FROM notes;\n"
         "SELECT COUNT(*) FROM big;\n";
}

}  // namespace kura::bench
