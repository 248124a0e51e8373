// Preparation of a SELECT part: opening the sources, resolving and checking the select list,
// WHERE, JOIN, GROUP BY, HAVING and ORDER BY, placing the conditions on the join levels,
// choosing between a live result and a result table, and defining the result fields.
#include <algorithm>
#include <cctype>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "engine/crypt/TablePassword.h"
#include "engine/errors/EngineError.h"
#include "engine/index/IndexFile.h"
#include "engine/table/DataSession.h"
#include "query/expr/Parser.h"
#include "query/select/SelectQuery.h"
#include "query/select/SelectResolver.h"
#include "query/select/SelectValues.h"

namespace kura {

namespace {

constexpr size_t kMaxResultColumns = 1024;
constexpr size_t kMaxNameBytes = 30;

TExpToken *Check(TExpTreePtr &tree, const TCheckContext &context) {
  TExpToken *root = CheckExpression(tree.get(), context);
  if (root != tree.get()) {
    (void)tree.release();
    tree.reset(root);
  }
  return root;
}

// The sources a tree reads (sub-selects read their own sources, not these).
void CollectSources(const TExpToken *n, std::set<const TRowSource *> &out) {
  if (!n) return;
  if (n->Kind == TExpNodeKind::Column && !n->IsAllColumns && n->Source)
    out.insert(static_cast<const TRowSource *>(n->Source));
  if (n->Kind == TExpNodeKind::SubSelect) return;
  CollectSources(n->Left, out);
  CollectSources(n->Right, out);
  for (const TExpToken *a : n->Args) CollectSources(a, out);
}

void CollectCorrelations(const TExpToken *n, std::vector<std::string> &out) {
  if (!n) return;
  if (n->Kind == TExpNodeKind::Column && !n->TableName.empty()) out.push_back(n->TableName);
  if (n->Kind == TExpNodeKind::SubSelect) return;
  CollectCorrelations(n->Left, out);
  CollectCorrelations(n->Right, out);
  for (const TExpToken *a : n->Args) CollectCorrelations(a, out);
}

void SplitAnd(const TExpToken *n, std::vector<const TExpToken *> &out) {
  if (n && n->Kind == TExpNodeKind::Binary && n->Code == TExpCode::And) {
    SplitAnd(n->Left, out);
    SplitAnd(n->Right, out);
  } else if (n) {
    out.push_back(n);
  }
}

bool SameTree(const TExpToken *a, const TExpToken *b) {
  if (!a || !b) return a == b;
  if (a->Kind != b->Kind || a->Code != b->Code || a->IsAllColumns != b->IsAllColumns) return false;
  if (a->Kind == TExpNodeKind::Column)
    return a->FieldNo == b->FieldNo && a->Source == b->Source;
  if (a->Kind == TExpNodeKind::Constant)
    return a->DataType == b->DataType && a->Value.Null == b->Value.Null && a->Value.Int == b->Value.Int &&
           a->Value.Float == b->Value.Float && a->Value.Str == b->Value.Str;
  if (a->Args.size() != b->Args.size()) return false;
  for (size_t i = 0; i < a->Args.size(); ++i)
    if (!SameTree(a->Args[i], b->Args[i])) return false;
  return SameTree(a->Left, b->Left) && SameTree(a->Right, b->Right);
}

// Result field names, each unique without regard to case. Names are looked up in a set, and
// the suffix search for a repeated name goes on from where it stopped last time, so that a
// select list of many equal names costs no more than a list of different ones.
class TUniqueNames {
 public:
  explicit TUniqueNames(const std::vector<TSelectColumn> &columns) {
    for (const TSelectColumn &c : columns) FTaken.insert(Key(c.Field.Name));
  }

  std::string Take(std::string name) {
    if (name.empty()) name = "Column";
    // A field name starts with a letter, an underscore or a byte 128..254; a calculated column
    // named by its source text ("-a", "1 + a", "'x'") would make the result table impossible
    // to create, so such a name is led by an underscore.
    const unsigned char first = static_cast<unsigned char>(name[0]);
    if (!(std::isalpha(first) || first == '_' || (first >= 128 && first <= 254))) name = "_" + name;
    if (name.size() > kMaxNameBytes) name.resize(kMaxNameBytes);
    if (FTaken.insert(Key(name)).second) return name;
    int &k = FNextSuffix[Key(name)];
    for (;;) {
      std::string suffix = "_" + std::to_string(++k);
      std::string candidate = name.substr(0, std::min(name.size(), kMaxNameBytes - suffix.size())) + suffix;
      if (FTaken.insert(Key(candidate)).second) return candidate;
    }
  }

 private:
  static std::string Key(const std::string &name) {
    std::string key = name;
    for (char &c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return key;
  }
  std::unordered_set<std::string> FTaken;
  std::unordered_map<std::string, int> FNextSuffix;
};

std::string UniqueName(const std::vector<TSelectColumn> &columns, std::string name) {
  return TUniqueNames(columns).Take(std::move(name));
}

TFieldDescriptor FieldFromNode(const TExpToken &node, const std::string &text) {
  TFieldDescriptor f;
  f.Type = node.DataType;
  f.SubType = node.SubType == FieldSubType::AutoInc ? FieldSubType::None : node.SubType;
  f.DeclaredScale = node.DataType == TDataType::BCD ? node.Scale : 0;
  if (node.DataType == TDataType::String) {
    uint32_t length = node.Size > 0 ? node.Size - 1 : 0;
    if (length == 0 || length > 250) length = 250;
    f.DeclaredSize = static_cast<uint8_t>(length);
  } else if (node.DataType == TDataType::Bytes || node.DataType == TDataType::VarBytes) {
    if (node.Size > 250)
      RaiseSqlError("Column expression '" + text + "' exceeds the maximum allowable field size");
    f.DeclaredSize = static_cast<uint8_t>(node.Size == 0 ? 250 : node.Size);
  }
  return f;
}

TFieldDescriptor FieldFromSource(const TFieldDescriptor &source) {
  TFieldDescriptor f;
  f.Type = source.Type;
  f.SubType = source.IsAutoInc() ? FieldSubType::None : source.SubType;
  f.DeclaredSize = source.DeclaredSize;
  f.DeclaredScale = source.DeclaredScale;
  f.CharCase = source.CharCase;
  return f;
}

}  // namespace

TDataDirectory *TSelectQuery::OpenDirectory(const TTableRef &ref) {
  std::string path = FDatabaseName;
  std::string name = FDatabaseName;
  if (ref.InMemory) {
    path = name = kMemoryDatabaseName;
  } else if (ref.IsPath()) {
    path = name = ref.Directory;
  } else if (!ref.Database.empty()) {
    path = name = ref.Database;
  }
  if (SameName(name, kMemoryDatabaseName)) path.clear();
  else if (!path.empty() && path.back() != '/') path += '/';
  TDataDirectory *directory = FSession.OpenDataDirectory(name, path);
  FOpenedDirectories.push_back(directory);
  return directory;
}

void TSelectQuery::Validate(TDataQuery &query) {
  if (query.Kind != TStatementKind::Select)
    RaiseSqlError(std::string(StatementKindName(query.Kind)) + " statements are not supported yet");
  auto plan = std::make_unique<TSelectPlan>();
  TSelectPlan &p = *plan;
  p.Query = &query;
  FPlans[&query] = std::move(plan);
  const bool wantLive = FStatement.RequestLive() && !query.Into.Given;

  // Sources.
  for (const TSourceTable &parsed : query.Sources) {
    auto source = std::make_unique<TSelectSource>();
    source->Parsed = &parsed;
    source->Directory = OpenDirectory(parsed);
    source->Table = source->Directory->OpenTable(parsed.TableName, false, !wantLive,
                                                 source->Directory->IsMemory(), false);
    FOpenedTables.emplace_back(source->Directory, source->Table);
    // An encrypted table is read only with its password known to the session.
    TDataFile &data = source->Table->DataFile();
    if (data.Encrypted()) {
      TDataSession *session = source->Directory->Session();
      CheckTableAccess(
          data.Password(), [session](const std::string &password) { return session->HasPassword(password); },
          session->PasswordCallback, source->Table->Name());
    }
    source->Row.Fields = &source->Table->DataFile().Fields();
    source->Row.Table = source->Table;
    p.Sources.push_back(std::move(source));
  }
  if (query.Language.LanguageGiven) {
    p.LanguageId = query.Language.LanguageId;
    p.SortId = query.Language.SortGiven ? query.Language.SortId : 0;
  } else if (!p.Sources.empty()) {
    p.LanguageId = p.Sources[0]->Table->DataFile().LanguageId();
    p.SortId = p.Sources[0]->Table->DataFile().SortId();
  }

  TSourceResolver resolver(p, *this);
  // LASTAUTOINC() and IDENT_CURRENT() name one of the source tables. (One work list for every
  // tree walked.)
  std::vector<const TExpToken *> stack;
  auto checkAutoIncFunctions = [&](const TExpToken *tree) {
    if (!tree) return;
    stack.assign(1, tree);
    while (!stack.empty()) {
      const TExpToken *n = stack.back();
      stack.pop_back();
      if (!n || n->Kind == TExpNodeKind::SubSelect) continue;
      if (n->Code == TExpCode::LastAutoInc || n->Code == TExpCode::IdentCurrent) {
        const TExpToken *a = n->Args.empty() ? nullptr : n->Args[0];
        if (!a || a->Kind != TExpNodeKind::Constant || a->Value.Null || !resolver.IsSourceTable(a->Value.Str))
          RaiseSqlError("Illegal use of LASTAUTOINC() or IDENT_CURRENT() functions");
      }
      stack.push_back(n->Left);
      stack.push_back(n->Right);
      for (const TExpToken *c : n->Args) stack.push_back(c);
    }
  };
  for (const TResultField &f : query.Fields) checkAutoIncFunctions(f.Expression.get());
  checkAutoIncFunctions(query.Where.get());
  checkAutoIncFunctions(query.Having.get());
  for (const TJoinExpression &j : query.Joins) checkAutoIncFunctions(j.Condition.get());
  auto sourceOf = [&](const void *row) -> TSelectSource * {
    for (auto &s : p.Sources)
      if (&s->Row == row) return s.get();
    return nullptr;
  };

  // Select list.
  bool anyAggregate = false, anyReadsColumn = false;
  p.Columns.reserve(query.Fields.size());
  for (TResultField &f : query.Fields) {
    if (f.AllColumns) {
      if (!f.Alias.empty())
        RaiseSqlError("Invalid use of column correlation name '" + f.Alias + "' for " + f.ExpressionText +
                      " specified in source columns");
      bool found = false;
      for (auto &s : p.Sources) {
        if (!f.CorrelationName.empty() && !SameName(f.CorrelationName, s->Parsed->CorrelationName)) continue;
        found = true;
        const TDataFile &file = s->Table->DataFile();
        for (int no = 1; no <= file.FieldCount(); ++no) {
          TSelectColumn c;
          c.Kind = TColumnKind::Plain;
          c.Source = s.get();
          c.SourceField = no;
          c.DisplayName = file.Field(no).Name;
          c.ExpressionText = c.DisplayName;
          c.Field = FieldFromSource(file.Field(no));
          c.ReadsColumn = true;
          p.Columns.push_back(std::move(c));
          if (p.Columns.size() > kMaxResultColumns) break;
        }
      }
      if (!found)
        RaiseSqlError("Invalid column name '*' or table correlation name '" + f.CorrelationName +
                      "' specified in source columns");
      anyReadsColumn = true;
      if (p.Columns.size() > kMaxResultColumns)
        RaiseSqlError("Maximum number of columns (1024) in result set exceeded");
      continue;
    }
    TSelectColumn c;
    c.DisplayName = f.DisplayName();
    c.ExpressionText = f.ExpressionText;
    if (f.Aggregate == TAggregateKind::None && f.Expression && f.Expression->IsNullConstant() &&
        !f.Expression->IsParameter)
      RaiseSqlError("Column expression cannot be a NULL constant, use the CAST() function to specify a data type");
    {
      // Unknown names are reported against the select list as a whole.
      stack.assign(1, f.Expression.get());
      while (!stack.empty()) {
        const TExpToken *n = stack.back();
        stack.pop_back();
        if (!n || n->Kind == TExpNodeKind::SubSelect) continue;
        if (n->Kind == TExpNodeKind::Column && !n->IsAllColumns) {
          TExpToken probe;
          probe.Kind = TExpNodeKind::Column;
          probe.ColumnName = n->ColumnName;
          probe.TableName = n->TableName;
          if (!resolver.ResolveColumn(probe))
            RaiseSqlError("Invalid column name '" + n->ColumnName + "' or table correlation name '" +
                          n->TableName + "' specified in source columns");
        }
        stack.push_back(n->Left);
        stack.push_back(n->Right);
        for (const TExpToken *a : n->Args) stack.push_back(a);
      }
    }
    TCheckContext context;
    context.ContextName = "source column expression";
    context.Resolver = &resolver;
    context.RootIsCondition = false;
    TExpToken *root = Check(f.Expression, context);
    if (f.Aggregate != TAggregateKind::None) {
      c.Kind = TColumnKind::Aggregate;
      c.Aggregate = f.Aggregate;
      c.CountStar = f.CountStar;
      c.Expression = root->Args.empty() ? nullptr : root->Args[0];
      c.Field = FieldFromNode(*root, f.ExpressionText);
      anyAggregate = true;
    } else if (root->Kind == TExpNodeKind::Column && !f.Calculated) {
      c.Kind = TColumnKind::Plain;
      c.Source = sourceOf(root->Source);
      c.SourceField = root->FieldNo;
      c.Field = FieldFromSource(c.Source->Table->DataFile().Field(c.SourceField));
      c.ReadsColumn = true;
    } else {
      c.Kind = TColumnKind::Calculated;
      c.Expression = root;
      c.Field = FieldFromNode(*root, f.ExpressionText);
      c.ReadsColumn = RefersToColumn(root);
    }
    anyReadsColumn = anyReadsColumn || c.ReadsColumn;
    p.Columns.push_back(std::move(c));
    if (p.Columns.size() > kMaxResultColumns)
      RaiseSqlError("Maximum number of columns (1024) in result set exceeded");
  }
  const bool insertSource = FInsertSource && !query.IsUnionPart && !query.IsSubSelect;
  const bool exemptFromGroupCheck = query.IsSubSelect || insertSource ||
                                    (query.IsUnionPart && query.UnionMaster && query.UnionMaster->HasGroupBy());
  if (anyAggregate && anyReadsColumn && !query.HasGroupBy() && !exemptFromGroupCheck)
    RaiseSqlError("Invalid use of aggregate function(s), the necessary GROUP BY clause is missing");
  if (query.HasHaving() && !query.HasGroupBy())
    RaiseSqlError("A GROUP BY clause must exist in order to use the HAVING clause");
  p.VisibleCount = p.Columns.size();
  {
    TUniqueNames names({});
    for (TSelectColumn &c : p.Columns) c.Field.Name = names.Take(c.DisplayName);
  }
  p.Grouped = query.HasGroupBy();
  p.Distinct = query.Distinct && !p.Grouped;
  p.AggregateOnly = !p.Grouped && anyAggregate && !anyReadsColumn;
  if (p.AggregateOnly)
    for (const TSelectColumn &c : p.Columns)
      if (c.Kind != TColumnKind::Aggregate) p.AggregateOnly = false;
  p.FastCount = p.AggregateOnly && p.Sources.size() == 1 && p.Columns.size() == 1 &&
                p.Columns[0].CountStar && !query.Where;

  // A column of the result for an ORDER BY / GROUP BY item; source columns not selected
  // become hidden columns.
  auto findColumn = [&](const std::string &name, const std::string &correlation) -> int {
    for (size_t i = 0; i < p.VisibleCount; ++i) {
      const TSelectColumn &c = p.Columns[i];
      if (correlation.empty() && SameName(c.DisplayName, name)) return static_cast<int>(i);
    }
    for (size_t i = 0; i < p.Columns.size(); ++i) {
      const TSelectColumn &c = p.Columns[i];
      if (c.Kind == TColumnKind::Plain && c.Source &&
          SameName(c.Source->Table->DataFile().Field(c.SourceField).Name, name) &&
          (correlation.empty() || SameName(correlation, c.Source->Parsed->CorrelationName)))
        return static_cast<int>(i);
    }
    TExpToken probe;
    probe.Kind = TExpNodeKind::Column;
    probe.ColumnName = name;
    probe.TableName = correlation;
    if (!resolver.ResolveColumn(probe)) return -1;
    TSelectColumn c;
    c.Kind = TColumnKind::Plain;
    c.Source = sourceOf(probe.Source);
    c.SourceField = probe.FieldNo;
    c.DisplayName = name;
    c.Field = FieldFromSource(c.Source->Table->DataFile().Field(c.SourceField));
    c.Field.Name = UniqueName(p.Columns, name);
    c.Hidden = true;
    c.ReadsColumn = true;
    p.Columns.push_back(std::move(c));
    return static_cast<int>(p.Columns.size()) - 1;
  };
  auto itemName = [](const std::string &name, const std::string &correlation) {
    return correlation.empty() ? name : correlation + "." + name;
  };

  // GROUP BY.
  if (query.GroupBy.size() > kMaxResultColumns)
    RaiseSqlError("Maximum number of columns (1024) in GROUP BY clause exceeded");
  for (const TGroupByField &g : query.GroupBy) {
    int index;
    std::string shown = g.ByNumber ? g.ColumnName : itemName(g.ColumnName, g.CorrelationName);
    if (g.ByNumber) {
      if (g.ColumnNumber < 1 || g.ColumnNumber > static_cast<int>(p.VisibleCount))
        RaiseSqlError("Invalid column number '" + shown + "' specified in GROUP BY clause");
      index = g.ColumnNumber - 1;
    } else {
      index = findColumn(g.ColumnName, g.CorrelationName);
      if (index < 0) RaiseSqlError("Invalid column name '" + shown + "' specified in GROUP BY clause");
    }
    if (p.Columns[index].Field.Type == TDataType::Blob)
      RaiseSqlError("Invalid BLOB column '" + shown + "' specified in GROUP BY clause");
    p.GroupKey.push_back({index, false});
  }
  // DISTINCT.
  if (p.Distinct) {
    if (p.VisibleCount > kMaxResultColumns)
      RaiseSqlError("Maximum number of columns (1024) in DISTINCT clause exceeded");
    for (size_t i = 0; i < p.VisibleCount; ++i)
      if (p.Columns[i].Field.Type == TDataType::Blob)
        RaiseSqlError("Invalid BLOB column '" + p.Columns[i].DisplayName + "' specified in DISTINCT clause");
  }
  // ORDER BY.
  if (query.OrderBy.size() > kMaxResultColumns)
    RaiseSqlError("Maximum number of columns (1024) in ORDER BY clause exceeded");
  for (const TOrderByField &o : query.OrderBy) {
    int index;
    if (o.ByNumber) {
      if (o.ColumnNumber < 1 || o.ColumnNumber > static_cast<int>(p.VisibleCount))
        RaiseSqlError("Invalid column number '" + o.ColumnName + "' specified in ORDER BY clause");
      index = o.ColumnNumber - 1;
    } else {
      index = findColumn(o.ColumnName, o.CorrelationName);
      if (index < 0)
        RaiseSqlError("Invalid column name '" + itemName(o.ColumnName, o.CorrelationName) +
                      "' specified in ORDER BY clause");
    }
    p.OrderKey.push_back({index, o.Descending});
  }

  // WHERE and JOIN conditions.
  auto checkCorrelations = [&](const TExpToken *tree) {
    std::vector<std::string> names;
    CollectCorrelations(tree, names);
    for (const std::string &n : names)
      if (!query.FindSource(n))
        RaiseSqlError("Table correlation name '" + n + "' referenced in WHERE clause is not defined in the FROM clause");
  };
  auto checkCondition = [&](TExpTreePtr &tree, const char *contextName) {
    checkCorrelations(tree.get());
    TCheckContext context;
    context.ContextName = contextName;
    context.Resolver = &resolver;
    TExpToken *root = Check(tree, context);
    if (root->DataType != TDataType::Boolean) RaiseSqlError("WHERE or JOIN clause must be a boolean expression");
  };
  for (TJoinExpression &j : query.Joins)
    if (j.Condition) checkCondition(j.Condition, "JOIN clause");
  if (query.Where) checkCondition(query.Where, "WHERE clause");
  auto checkJoinOperands = [&](const TExpToken *conjunct) {
    if (conjunct->Kind != TExpNodeKind::Binary && conjunct->Kind != TExpNodeKind::Compare) return;
    if (!IsComparisonCode(conjunct->Code)) return;
    std::set<const TRowSource *> left, right, both;
    CollectSources(conjunct->Left, left);
    CollectSources(conjunct->Right, right);
    both = left;
    both.insert(right.begin(), right.end());
    if (both.size() >= 2 && (left.size() > 1 || right.size() > 1))
      RaiseSqlError("The join condition cannot contain multiple table correlation names in either the left or "
                    "right operand in WHERE or JOIN clause");
  };

  // Join levels: FROM order; a RIGHT OUTER JOIN of the first two sources turns around.
  std::vector<TSelectSource *> order;
  for (auto &s : p.Sources) order.push_back(s.get());
  std::vector<bool> leftOuter(order.size(), false);
  std::vector<std::vector<const TExpToken *>> onConditions(order.size());
  for (TJoinExpression &j : query.Joins) {
    const int joined = j.JoinedPosition - 1;
    if (joined < 0 || joined >= static_cast<int>(order.size()))
      RaiseSqlError("Internal join error attempting to validate table correlation names involved in join");
    std::vector<const TExpToken *> parts;
    SplitAnd(j.Condition.get(), parts);
    for (const TExpToken *part : parts) checkJoinOperands(part);
    {
      // The joined source is the inner side of one edge: its ON comparisons may reach one
      // outer source only.
      std::set<const TRowSource *> outers;
      const TRowSource *inner = &p.Sources[joined]->Row;
      for (const TExpToken *part : parts) {
        std::set<const TRowSource *> used;
        CollectSources(part, used);
        if (used.count(inner) == 0 || used.size() < 2) continue;
        for (const TRowSource *r : used)
          if (r != inner) outers.insert(r);
      }
      if (outers.size() > 1)
        RaiseSqlError("Internal join error - table correlation name \"" + query.Sources[joined].CorrelationName +
                      "\" is target of multiple join conditions in WHERE or JOIN clause");
    }
    if (j.Kind == TJoinKind::RightOuter) {
      if (joined != 1 || &j != &query.Joins.front())
        RaiseSqlError("Internal join error - table correlation name \"" +
                      query.Sources[0].CorrelationName + "\" cannot be the target of a RIGHT OUTER JOIN");
      std::swap(order[0], order[1]);
      leftOuter[1] = true;
      onConditions[1] = parts;
    } else {
      leftOuter[joined] = j.Kind == TJoinKind::LeftOuter;
      onConditions[joined] = parts;
    }
  }
  for (size_t i = 0; i < order.size(); ++i) {
    TJoinLevel level;
    level.Source = order[i];
    level.LeftOuter = leftOuter[i];
    order[i]->Level = static_cast<int>(i);
    p.Levels.push_back(std::move(level));
  }
  for (size_t i = 0; i < order.size(); ++i) {
    for (const TExpToken *part : onConditions[i]) {
      std::set<const TRowSource *> used;
      CollectSources(part, used);
      for (const TRowSource *r : used)
        if (sourceOf(r)->Level > static_cast<int>(i))
          RaiseSqlError("Internal join error - JOIN clause expression for table \"" +
                        order[i]->Parsed->TableName + "\" is invalid");
      p.Levels[i].Conditions.push_back(part);
    }
  }
  if (query.Where) {
    std::vector<const TExpToken *> parts;
    SplitAnd(query.Where.get(), parts);
    for (const TExpToken *part : parts) {
      checkJoinOperands(part);
      std::set<const TRowSource *> used;
      CollectSources(part, used);
      int deepest = -1;
      bool onOuterInner = false;
      for (const TRowSource *r : used) {
        TSelectSource *s = sourceOf(r);
        deepest = std::max(deepest, s->Level);
        if (p.Levels[s->Level].LeftOuter) onOuterInner = true;
      }
      if (deepest < 0 || onOuterInner)
        p.Residual.push_back(part);
      else
        p.Levels[deepest].Conditions.push_back(part);
    }
  }

  // HAVING: aggregates become references to (possibly hidden) result columns.
  p.ResultFields.clear();
  int avgNumber = 0;
  auto addAvgCounts = [&]() {
    for (size_t i = 0; i < p.Columns.size(); ++i) {
      if (p.Columns[i].Aggregate != TAggregateKind::Avg || p.Columns[i].AvgCountColumn >= 0) continue;
      TSelectColumn count;
      count.Kind = TColumnKind::AvgCount;
      count.Hidden = true;
      count.Field.Type = TDataType::Integer;
      count.Field.Name = "Sys__Avg__Count" + std::to_string(++avgNumber);
      count.DisplayName = count.Field.Name;
      p.Columns[i].AvgCountColumn = static_cast<int>(p.Columns.size());
      p.Columns.push_back(std::move(count));
    }
  };
  if (query.Having) {
    TCheckContext context;
    context.ContextName = "HAVING clause";
    context.Resolver = &resolver;
    Check(query.Having, context);
    p.Having.reset(CopyTree(query.Having.get()));
    std::vector<TExpToken *> work{p.Having.get()};
    std::vector<std::pair<TExpToken *, int>> replace;
    while (!work.empty()) {
      TExpToken *n = work.back();
      work.pop_back();
      if (!n) continue;
      if (IsAggregateCode(n->Code) && n->Kind != TExpNodeKind::Column) {
        const TAggregateKind kind = AggregateKindOf(n->Code);
        const TExpToken *arg = n->Args.empty() ? nullptr : n->Args[0];
        int index = -1;
        for (size_t i = 0; i < p.Columns.size() && index < 0; ++i)
          if (p.Columns[i].Kind == TColumnKind::Aggregate && p.Columns[i].Aggregate == kind &&
              SameTree(p.Columns[i].Expression, arg))
            index = static_cast<int>(i);
        if (index < 0) {
          TSelectColumn c;
          c.Kind = TColumnKind::Aggregate;
          c.Aggregate = kind;
          c.Expression = arg;
          c.Field = FieldFromNode(*n, "HAVING");
          c.Field.Name = UniqueName(p.Columns, "Sys__Having__" + std::to_string(p.Columns.size()));
          c.DisplayName = c.Field.Name;
          c.Hidden = true;
          p.Columns.push_back(std::move(c));
          index = static_cast<int>(p.Columns.size()) - 1;
        }
        replace.emplace_back(n, index);
        continue;
      }
      work.push_back(n->Left);
      work.push_back(n->Right);
      for (TExpToken *a : n->Args) work.push_back(a);
    }
    // Arguments of the hidden aggregates live in the copied tree: keep them in the original.
    for (auto &[node, index] : replace) {
      TSelectColumn &c = p.Columns[index];
      if (c.Hidden && c.Expression) {
        // Point at the argument in the checked original instead of the copy being rewritten.
        std::vector<const TExpToken *> stack{query.Having.get()};
        while (!stack.empty()) {
          const TExpToken *m = stack.back();
          stack.pop_back();
          if (!m) continue;
          if (IsAggregateCode(m->Code) && !m->Args.empty() && SameTree(m->Args[0], c.Expression) &&
              m->Args[0] != c.Expression) {
            c.Expression = m->Args[0];
            break;
          }
          stack.push_back(m->Left);
          stack.push_back(m->Right);
          for (const TExpToken *a : m->Args) stack.push_back(a);
        }
      }
      TExpToken *column = NewExpToken();
      column->Kind = TExpNodeKind::Column;
      column->ColumnName = c.Field.Name;
      column->Text = c.Field.Name;
      column->FieldNo = index + 1;
      column->Source = &p.ResultRow;
      if (node == p.Having.get()) {
        (void)p.Having.release();
        p.Having.reset(column);
      } else {
        node->Parent->ReplaceChild(node, column);
      }
      ReleaseTree(node);
    }
  }
  addAvgCounts();
  p.ResultFields.reserve(p.Columns.size());
  for (const TSelectColumn &c : p.Columns) p.ResultFields.push_back(c.Field);
  LayoutFields(p.ResultFields);
  for (size_t i = 0; i < p.ResultFields.size(); ++i) p.ResultFields[i].FieldNumber = static_cast<int16_t>(i + 1);
  p.ResultRow.Fields = &p.ResultFields;
  if (p.Having) {
    // Columns still unresolved are names of result columns.
    std::vector<TExpToken *> work{p.Having.get()};
    while (!work.empty()) {
      TExpToken *n = work.back();
      work.pop_back();
      if (!n) continue;
      if (n->Kind == TExpNodeKind::Column && n->Source != &p.ResultRow) {
        n->Source = nullptr;
        n->FieldNo = 0;
      }
      work.push_back(n->Left);
      work.push_back(n->Right);
      for (TExpToken *a : n->Args) work.push_back(a);
    }
    TResultResolver having(p);
    TCheckContext context;
    context.ContextName = "HAVING clause";
    context.Resolver = &having;
    TExpToken *root = Check(p.Having, context);
    if (root->DataType != TDataType::Boolean) RaiseSqlError("HAVING clause must be a boolean expression");
  }

  // UNION parts against the master (parts are prepared before their master).
  if (!query.IsUnionPart) {
    const TDataQuery *previous = &query;
    for (const TDataQuery *part = query.UnionNext; part; previous = part, part = part->UnionNext) {
      const TSelectPlan *other = PlanOf(part);
      if (!other) continue;
      const std::string kind = previous->UnionAll ? "UNION ALL" : "UNION";
      if (other->VisibleCount != p.VisibleCount)
        RaiseSqlError("The number of columns  in the " + kind + " query must match the " +
                      " number of columns in the master query");
      for (size_t i = 0; i < p.VisibleCount; ++i)
        if (other->Columns[i].Field.Type != p.Columns[i].Field.Type)
          RaiseSqlError("Type mismatch between column expression '" + other->Columns[i].ExpressionText +
                        "' in the " + kind + " query and column expression '" + p.Columns[i].ExpressionText +
                        "' in the master query");
    }
  }

  // Live or result table.
  bool live = wantLive && !query.Distinct && p.Sources.size() == 1 && !query.IsJoinQuery &&
              !query.HasGroupBy() && !query.HasHaving() && !query.HasTop() && !anyAggregate &&
              (FStatement.Queries().size() == 1 || (query.IsSubSelect && !query.HasCalculatedColumns()));
  for (const TSelectColumn &c : p.Columns)
    if (c.Kind == TColumnKind::Calculated && c.Field.Type == TDataType::Blob) live = false;
  if (live && !p.OrderKey.empty()) {
    live = false;
    TSelectSource &s = *p.Sources[0];
    auto *index = dynamic_cast<TIndexFile *>(s.Table->IndexFile());
    bool plainKeys = p.OrderKey.size() <= 16;
    for (const TSortColumn &k : p.OrderKey)
      if (p.Columns[k.Column].Kind != TColumnKind::Plain) plainKeys = false;
    if (index && plainKeys) {
      const TIndexHeader &header = index->Header();
      for (int no = 0; no <= kMaxSecondaryIndexes && !live; ++no) {
        if (!header.IndexInUse(no)) continue;
        const TIndexDescriptor &d = header.Descriptors[no];
        if (d.FieldCount < p.OrderKey.size()) continue;
        bool fits = true, anyString = false;
        for (size_t k = 0; k < p.OrderKey.size() && fits; ++k) {
          const TSelectColumn &c = p.Columns[p.OrderKey[k].Column];
          const bool descending = d.Descending || d.FieldDescending[k] != 0;
          if (d.FieldNumbers[k] != c.SourceField || descending != p.OrderKey[k].Descending) fits = false;
          if (s.Table->DataFile().Field(c.SourceField).Type == TDataType::String) anyString = true;
        }
        if (fits && anyString && d.CaseInsensitive != query.OrderByNoCase) fits = false;
        if (fits) {
          live = true;
          p.LiveIndex = no;
        }
      }
    }
  }
  p.Live = live;
  if (&query == FStatement.Master()) FStatement.SetResultLive(live);
}

}  // namespace kura
