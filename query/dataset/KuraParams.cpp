// Query parameters.
#include "query/dataset/KuraParams.h"

#include "query/dataset/DataSetErrors.h"
#include "query/dataset/TextCompare.h"

namespace kura {

void TParam::SetValue(const TKuraValue &value) {
  FValue = value;
  FBound = true;
  if (FType == TKuraFieldType::Unknown) {
    if (value.IsInteger()) FType = TKuraFieldType::Integer;
    else if (value.IsFloat()) FType = TKuraFieldType::Float;
    else if (value.IsBoolean()) FType = TKuraFieldType::Boolean;
    else if (value.IsString()) FType = TKuraFieldType::String;
  }
}

void TParam::Clear() {
  FValue = TKuraValue();
  FBound = true;
}

void TParam::Unbind() {
  FValue = TKuraValue();
  FBound = false;
}

void TParam::SetAsInteger(int64_t v) {
  FType = TKuraFieldType::Integer;
  SetValue(TKuraValue(v));
}
void TParam::SetAsString(const std::string &v) {
  FType = TKuraFieldType::String;
  SetValue(TKuraValue(v));
}
void TParam::SetAsFloat(double v) {
  FType = TKuraFieldType::Float;
  SetValue(TKuraValue(v));
}
void TParam::SetAsBoolean(bool v) {
  FType = TKuraFieldType::Boolean;
  SetValue(TKuraValue(v));
}

TParam &TParams::operator[](int index) {
  if (index < 0 || index >= Count())
    throw EKuraDatabaseError("List index out of bounds (" + std::to_string(index) + ")");
  return FItems[static_cast<size_t>(index)];
}

const TParam &TParams::operator[](int index) const { return const_cast<TParams &>(*this)[index]; }

TParam *TParams::FindParam(const std::string &name) {
  for (TParam &p : FItems)
    if (SameText(p.Name(), name)) return &p;
  return nullptr;
}

TParam &TParams::ParamByName(const std::string &name) {
  TParam *p = FindParam(name);
  if (!p) RaiseDatabaseError("Parameter '%s' not found", name);
  return *p;
}

void TParams::Rebuild(const std::vector<std::string> &names) {
  std::vector<TParam> items;
  items.reserve(names.size());
  for (const std::string &name : names) {
    TParam *old = FindParam(name);
    items.push_back(old ? *old : TParam(name));
  }
  FItems = std::move(items);
}

namespace {

bool IsNameByte(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c >= 128;
}

}  // namespace

std::string ReplaceParameterMarkers(const std::string &sql, std::vector<std::string> &names) {
  names.clear();
  std::string out;
  out.reserve(sql.size());
  const size_t n = sql.size();
  size_t i = 0;
  while (i < n) {
    const char c = sql[i];
    // Quoted text and comments are copied as they are.
    if (c == '\'' || c == '"' || c == '[') {
      const char close = c == '[' ? ']' : c;
      size_t j = i + 1;
      while (j < n) {
        if (sql[j] == close) {
          if (close != ']' && j + 1 < n && sql[j + 1] == close) {
            j += 2;  // doubled quote inside the text
            continue;
          }
          break;
        }
        ++j;
      }
      size_t end = j < n ? j + 1 : n;
      out.append(sql, i, end - i);
      i = end;
      continue;
    }
    if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
      size_t end = sql.find("*/", i + 2);
      end = end == std::string::npos ? n : end + 2;
      out.append(sql, i, end - i);
      i = end;
      continue;
    }
    if (c == ':') {
      if (i + 1 < n && sql[i + 1] == ':') {
        out.push_back(':');
        i += 2;
        continue;
      }
      if (i + 1 < n && sql[i + 1] == '"') {
        size_t close = sql.find('"', i + 2);
        if (close != std::string::npos && close > i + 2) {
          names.push_back(sql.substr(i + 2, close - i - 2));
          out.push_back('?');
          i = close + 1;
          continue;
        }
      }
      size_t j = i + 1;
      while (j < n && IsNameByte(static_cast<unsigned char>(sql[j]))) ++j;
      if (j > i + 1) {
        names.push_back(sql.substr(i + 1, j - i - 1));
        out.push_back('?');
        i = j;
        continue;
      }
    }
    out.push_back(c);
    ++i;
  }
  return out;
}

namespace {

std::string TrimTrailingBlanks(const std::string &s) {
  size_t e = s.size();
  while (e > 0 && s[e - 1] == ' ') --e;
  return s.substr(0, e);
}

TTypeInfo EngineTypeOf(TKuraFieldType type, size_t stringLength) {
  TTypeInfo t;
  switch (type) {
    case TKuraFieldType::String:
    case TKuraFieldType::FixedChar:
      if (stringLength > 250) {
        t.Type = EngineFieldType::Blob;
        t.SubType = FieldSubType::Memo;
      } else {
        t.Type = EngineFieldType::String;
        t.Size = static_cast<uint32_t>(stringLength) + 1;
      }
      break;
    case TKuraFieldType::Memo: t.Type = EngineFieldType::Blob; t.SubType = FieldSubType::Memo; break;
    case TKuraFieldType::SmallInt: t.Type = EngineFieldType::SmallInt; break;
    case TKuraFieldType::Word: t.Type = EngineFieldType::Word; break;
    case TKuraFieldType::Integer:
    case TKuraFieldType::AutoInc: t.Type = EngineFieldType::Integer; break;
    case TKuraFieldType::LargeInt: t.Type = EngineFieldType::LargeInt; break;
    case TKuraFieldType::Boolean: t.Type = EngineFieldType::Boolean; break;
    case TKuraFieldType::Float: t.Type = EngineFieldType::Float; break;
    case TKuraFieldType::Currency: t.Type = EngineFieldType::Float; t.SubType = FieldSubType::Money; break;
    case TKuraFieldType::BCD: t.Type = EngineFieldType::BCD; t.Scale = 4; break;
    case TKuraFieldType::Date: t.Type = EngineFieldType::Date; break;
    case TKuraFieldType::Time: t.Type = EngineFieldType::Time; break;
    case TKuraFieldType::DateTime: t.Type = EngineFieldType::TimeStamp; break;
    default: t.Type = EngineFieldType::Unknown; break;
  }
  return t;
}

}  // namespace

std::vector<TParamValue> BuildParamValues(const TParams &params) {
  if (params.Count() > kMaxQueryParameters) RaiseDatabaseError(dsmsg::TooManyParameters);
  std::vector<TParamValue> out;
  out.reserve(static_cast<size_t>(params.Count()));
  for (int i = 0; i < params.Count(); ++i) {
    const TParam &p = params[i];
    if (!p.Bound() && p.DataType() == TKuraFieldType::Unknown)
      RaiseDatabaseError(dsmsg::NoParameterValue, p.Name());
    TParamValue v;
    v.Number = i + 1;
    v.Name = p.Name().substr(0, 30);
    const TKuraValue &value = p.Value();
    TKuraFieldType type = p.DataType();
    if (type == TKuraFieldType::Unknown) type = TKuraFieldType::String;
    std::string text;
    if (type == TKuraFieldType::String || type == TKuraFieldType::FixedChar || type == TKuraFieldType::Memo)
      text = TrimTrailingBlanks(value.AsString());
    v.Type = EngineTypeOf(type, text.size());
    if (v.Type.Type == EngineFieldType::Unknown)
      RaiseDatabaseError(dsmsg::NoParameterValue, p.Name());
    v.Value.Null = value.IsNull();
    if (!value.IsNull()) {
      switch (v.Type.Type) {
        case EngineFieldType::String:
        case EngineFieldType::Blob:
          v.Value.Str = text;
          v.Value.Null = text.empty();  // a string of blanks is NULL
          break;
        case EngineFieldType::Float:
        case EngineFieldType::TimeStamp: v.Value.Float = value.AsFloat(); break;
        case EngineFieldType::BCD: v.Value.Int = static_cast<int64_t>(value.AsFloat() * 10000.0); break;
        case EngineFieldType::Boolean: v.Value.Int = value.AsBoolean() ? 1 : 0; break;
        default: v.Value.Int = value.AsInteger(); break;
      }
    }
    out.push_back(std::move(v));
  }
  return out;
}

}  // namespace kura
