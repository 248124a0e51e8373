#pragma once
// A record of named, typed columns that resolves and supplies column values for expression
// tests, and helpers that parse, check and evaluate texts through it.
#include <map>
#include <string>

#include "engine/errors/EngineError.h"
#include "query/expr/Evaluator.h"
#include "query/expr/Parser.h"
#include "query/expr/TypeChecker.h"
#include "query/expr/ValueConvert.h"

namespace kura::test {

struct TestColumn {
  TTypeInfo Type;
  TExpValue Value;
  int FieldNo = 0;
};

inline std::string UpperName(std::string s) {
  for (char &c : s)
    if (c >= 'a' && c <= 'z') c = char(c - 32);
  return s;
}

class TestRecord : public TColumnResolver, public TEvalContext {
 public:
  bool StringConstantsAsColumns = false;
  int Reads = 0;

  TestRecord &Add(const std::string &name, TDataType type, uint32_t size = 0,
                  FieldSubType sub = FieldSubType::None, uint8_t scale = 0) {
    TestColumn c;
    c.Type = {type, sub, size ? size : DataTypeSize(type), scale};
    c.FieldNo = static_cast<int>(FColumns.size()) + 1;
    FColumns[UpperName(name)] = c;
    return *this;
  }
  void SetNull(const std::string &name) { FColumns.at(UpperName(name)).Value.Clear(); }
  void SetInt(const std::string &name, int64_t v) {
    FColumns.at(UpperName(name)).Value = TExpValue::OfInt(v);
  }
  void SetFloat(const std::string &name, double v) {
    FColumns.at(UpperName(name)).Value = TExpValue::OfFloat(v);
  }
  void SetStr(const std::string &name, const std::string &v) {
    FColumns.at(UpperName(name)).Value = TExpValue::OfStr(v);
  }

  bool ResolveColumn(TExpToken &column) override {
    auto it = FColumns.find(UpperName(column.ColumnName));
    if (it == FColumns.end()) return false;
    if (!column.TableName.empty() && UpperName(column.TableName) != "T") return false;
    column.DataType = it->second.Type.Type;
    column.SubType = it->second.Type.SubType;
    column.Size = it->second.Type.Size;
    column.Scale = it->second.Type.Scale;
    column.FieldNo = it->second.FieldNo;
    column.Source = this;
    return true;
  }
  bool ResolvesStringConstants() const override { return StringConstantsAsColumns; }
  bool IsSourceTable(const std::string &name) override { return UpperName(name) == "T"; }
  void ReadColumn(const TExpToken &column, TExpValue &value) override {
    ++Reads;
    auto it = FColumns.find(UpperName(column.ColumnName));
    if (it == FColumns.end()) {
      value.Clear();
      return;
    }
    value = it->second.Value;
  }

 private:
  std::map<std::string, TestColumn> FColumns;
};

// Parses and checks a whole text; the tree is returned to the pool when dropped.
inline TExpTreePtr Compile(const std::string &text, TestRecord &record,
                           const TParseContext &context = contexts::Where,
                           bool rootIsCondition = false) {
  TExpressionParser parser;
  TExpTreePtr root(parser.ParseWholeText(text, context));
  TCheckContext check;
  check.ContextName = context.Name;
  check.Resolver = &record;
  check.RootIsCondition = rootIsCondition;
  TExpToken *checked = CheckExpression(root.get(), check);
  root.release();
  return TExpTreePtr(checked);
}

// The detail text of the failure of compiling a text, or "" when it compiles.
inline std::string CompileError(const std::string &text, TestRecord &record,
                                const TParseContext &context = contexts::Where) {
  try {
    Compile(text, record, context);
  } catch (const EKuraEngineError &e) {
    if (e.ErrorCode() != KURA_SQLPARSE) return "code " + std::to_string(e.ErrorCode());
    return e.Context().Message;
  }
  return "";
}

struct Result {
  TDataType Type = TDataType::Unknown;
  uint32_t Size = 0;
  TExpValue Value;
};

inline Result EvalText(const std::string &text, TestRecord &record, uint16_t language = 0,
                       uint16_t sort = 0) {
  TExpTreePtr tree = Compile(text, record, contexts::Where);
  TEvaluator e(&record, language, sort);
  Result r;
  r.Type = tree->DataType;
  r.Size = tree->Size;
  e.Eval(*tree, r.Value);
  return r;
}

inline bool Cond(const std::string &text, TestRecord &record, uint16_t language = 0) {
  TExpTreePtr tree = Compile(text, record, contexts::Where, true);
  TEvaluator e(&record, language, 0);
  return e.Condition(*tree);
}

}  // namespace kura::test
