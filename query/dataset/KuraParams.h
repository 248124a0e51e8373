#pragma once
// Query parameters: the ":name" markers of SQL text, their values, and the typed list that is
// handed to the statement at each execution.
#include <cstdint>
#include <string>
#include <vector>

#include "query/dataset/KuraValue.h"
#include "query/expr/ExpValue.h"
#include "query/expr/ValueConvert.h"

namespace kura {

class TParam {
 public:
  explicit TParam(std::string name = {}) : FName(std::move(name)) {}
  const std::string &Name() const { return FName; }

  // Whether the application (or a master dataset) has given a value, NULL included.
  bool Bound() const { return FBound; }
  bool IsNull() const { return FValue.IsNull(); }
  TKuraFieldType DataType() const { return FType; }
  void SetDataType(TKuraFieldType type) { FType = type; }
  const TKuraValue &Value() const { return FValue; }
  void SetValue(const TKuraValue &value);
  void Clear();  // NULL, bound
  void Unbind();

  void SetAsInteger(int64_t v);
  void SetAsString(const std::string &v);
  void SetAsFloat(double v);
  void SetAsBoolean(bool v);
  int64_t AsInteger() const { return FValue.AsInteger(); }
  std::string AsString() const { return FValue.AsString(); }
  double AsFloat() const { return FValue.AsFloat(); }

 private:
  std::string FName;
  TKuraFieldType FType = TKuraFieldType::Unknown;
  TKuraValue FValue;
  bool FBound = false;
};

class TParams {
 public:
  int Count() const { return static_cast<int>(FItems.size()); }
  TParam &operator[](int index);
  const TParam &operator[](int index) const;
  // "Parameter '%s' not found" for an unknown name.
  TParam &ParamByName(const std::string &name);
  TParam *FindParam(const std::string &name);
  void Clear() { FItems.clear(); }
  // New list of names in order; values of parameters with the same names are kept.
  void Rebuild(const std::vector<std::string> &names);
  void Add(const std::string &name) { FItems.emplace_back(name); }

 private:
  std::vector<TParam> FItems;
};

// Replaces every ":name" marker outside quoted texts, bracketed names and /* */ comments by
// "?" and collects the names in order (the SQL language has no line comments: "--" is two
// minus signs). "::" stands for one literal colon. A name is letters, digits, "_" and bytes above
// 127, or any text in double quotes right after the colon (":\"a b\"").
std::string ReplaceParameterMarkers(const std::string &sql, std::vector<std::string> &names);

// One parameter as the statement receives it.
struct TParamValue {
  int Number = 0;    // 1-based
  std::string Name;  // at most 30 characters
  TTypeInfo Type;
  TExpValue Value;   // Value.Null for NULL
};

inline constexpr int kMaxQueryParameters = 1024;

// Builds the list handed to the statement: a parameter without value and type fails with
// "No value for parameter '%s'"; strings lose trailing blanks and an empty one is NULL; a string
// longer than 250 characters travels as a memo blob; more than 1024 parameters fail.
std::vector<TParamValue> BuildParamValues(const TParams &params);

}  // namespace kura
