// Field access in record buffers, new records with their default values, and the required /
// minimum / maximum checks before a post.
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "engine/cursor/DataCursor.h"
#include "engine/data/DateTimeCodec.h"
#include "engine/data/FieldCodec.h"
#include "engine/locale/Collation.h"

namespace kura {

namespace {

bool ParseInteger(const std::string &text, int64_t &value) {
  const char *s = text.c_str();
  while (*s == ' ') ++s;
  if (!*s) return false;
  errno = 0;
  char *end = nullptr;
  long long v = std::strtoll(s, &end, 10);
  while (end && *end == ' ') ++end;
  if (errno != 0 || !end || *end) return false;
  value = v;
  return true;
}

bool ParseNumber(const std::string &text, double &value) {
  const char *s = text.c_str();
  while (*s == ' ') ++s;
  if (!*s) return false;
  char *end = nullptr;
  double v = std::strtod(s, &end);
  while (end && *end == ' ') ++end;
  if (!end || *end) return false;
  value = v;
  return true;
}

template <typename T>
int Order(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

bool IsCurrentKeyword(const std::string &text, const char *keyword) {
  if (text.size() != std::strlen(keyword)) return false;
  for (size_t i = 0; i < text.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(text[i])) != keyword[i]) return false;
  return true;
}

}  // namespace

// Compares a field's (non-NULL) value with a minimum or maximum text: -1, 0, 1, or 2 when the
// text cannot be compared (no check then).
static int CompareWithText(const TFieldDescriptor &f, const uint8_t *record, const std::string &text,
                           uint16_t languageId, uint16_t sortId) {
  switch (f.Type) {
    case EngineFieldType::String:
      return CompareStrings(languageId, sortId, GetStringField(f, record), text);
    case EngineFieldType::Date: {
      int32_t day = 0;
      if (!ParseDateText(text, day)) return 2;
      return Order<int64_t>(GetIntegerField(f, record), day);
    }
    case EngineFieldType::Time: {
      int32_t ms = 0;
      if (!ParseTimeText(text, ms)) return 2;
      return Order<int64_t>(GetIntegerField(f, record), ms);
    }
    case EngineFieldType::TimeStamp: {
      double v = 0;
      if (!ParseTimeStampText(text, v)) return 2;
      return Order(GetFloatField(f, record), v);
    }
    case EngineFieldType::Boolean: {
      bool b = false;
      if (!ParseBooleanText(text, b)) return 2;
      return Order<int64_t>(GetIntegerField(f, record) != 0, b ? 1 : 0);
    }
    case EngineFieldType::SmallInt:
    case EngineFieldType::Integer:
    case EngineFieldType::Word:
    case EngineFieldType::LongWord:
    case EngineFieldType::LargeInt: {
      int64_t v = 0;
      if (ParseInteger(text, v)) return Order(GetIntegerField(f, record), v);
      double d = 0;
      if (!ParseNumber(text, d)) return 2;
      return Order(static_cast<double>(GetIntegerField(f, record)), d);
    }
    case EngineFieldType::Float:
    case EngineFieldType::Extended: {
      double v = 0;
      if (!ParseNumber(text, v)) return 2;
      return Order(GetFloatField(f, record), v);
    }
    case EngineFieldType::BCD: {
      int64_t limit = 0, value = 0;
      if (!StringToCurrency(text, limit)) return 2;
      if (!BcdToCurrency(GetBcdField(f, record), value)) return 2;
      return Order(value, limit);
    }
    default:
      return 2;
  }
}

void TDataCursor::ValidateRecord(const uint8_t *buffer) const {
  CheckOpen();
  for (const TFieldDescriptor &f : FFields) {
    if (f.Calculated) continue;
    if (FieldIsNull(f, buffer)) {
      if (f.Required) Raise(KURA_REQDERR, f.Name);
      continue;
    }
    if (!f.MinValue.empty()) {
      int c = CompareWithText(f, buffer, f.MinValue, LanguageId(), SortId());
      if (c == -1) Raise(KURA_MINVALERR, f.Name);
    }
    if (!f.MaxValue.empty()) {
      int c = CompareWithText(f, buffer, f.MaxValue, LanguageId(), SortId());
      if (c == 1) Raise(KURA_MAXVALERR, f.Name);
    }
  }
}

void TDataCursor::InitRecord(uint8_t *buffer) const {
  CheckOpen();
  std::memset(buffer, 0, FBufferSize);
  int32_t today = 0, now = 0;
  CurrentLocalDateTime(today, now);
  for (const TFieldDescriptor &f : FFields) {
    if (f.Calculated || f.DefaultValue.empty()) continue;
    const std::string &text = f.DefaultValue;
    switch (f.Type) {
      case EngineFieldType::String:
        SetStringField(f, buffer, text, LanguageId());
        break;
      case EngineFieldType::Date: {
        int32_t day = 0;
        if (IsCurrentKeyword(text, "CURRENT_DATE"))
          SetIntegerField(f, buffer, today);
        else if (ParseDateText(text, day))
          SetIntegerField(f, buffer, day);
        break;
      }
      case EngineFieldType::Time: {
        int32_t ms = 0;
        if (IsCurrentKeyword(text, "CURRENT_TIME"))
          SetIntegerField(f, buffer, now);
        else if (ParseTimeText(text, ms))
          SetIntegerField(f, buffer, ms);
        break;
      }
      case EngineFieldType::TimeStamp: {
        double v = 0;
        if (IsCurrentKeyword(text, "CURRENT_TIMESTAMP"))
          SetFloatField(f, buffer, EncodeTimeStamp(today, now));
        else if (IsCurrentKeyword(text, "CURRENT_DATE"))
          SetFloatField(f, buffer, EncodeTimeStamp(today, 0));
        else if (IsCurrentKeyword(text, "CURRENT_TIME"))
          SetFloatField(f, buffer, EncodeTimeStamp(kDateDelta, now));
        else if (ParseTimeStampText(text, v))
          SetFloatField(f, buffer, v);
        break;
      }
      case EngineFieldType::Boolean: {
        bool b = false;
        if (ParseBooleanText(text, b)) SetIntegerField(f, buffer, b ? 1 : 0);
        break;
      }
      case EngineFieldType::SmallInt:
      case EngineFieldType::Integer:
      case EngineFieldType::Word:
      case EngineFieldType::LargeInt: {
        int64_t v = 0;
        if (f.IsAutoInc()) break;
        if (ParseInteger(text, v)) SetIntegerField(f, buffer, v);
        break;
      }
      case EngineFieldType::Float: {
        double v = 0;
        if (ParseNumber(text, v)) SetFloatField(f, buffer, v);
        break;
      }
      case EngineFieldType::BCD: {
        int64_t currency = 0;
        if (StringToCurrency(text, currency)) SetBcdField(f, buffer, CurrencyToBcd(currency, f.DataScale));
        break;
      }
      default:
        break;
    }
  }
}

bool TDataCursor::IsFieldNull(int fieldNumber, const uint8_t *buffer) const {
  return FieldIsNull(CheckedField(fieldNumber), buffer);
}
void TDataCursor::SetFieldNull(int fieldNumber, uint8_t *buffer) const {
  kura::SetFieldNull(CheckedField(fieldNumber), buffer);
}
std::string TDataCursor::GetString(int fieldNumber, const uint8_t *buffer) const {
  return GetStringField(CheckedField(fieldNumber), buffer);
}
void TDataCursor::SetString(int fieldNumber, uint8_t *buffer, const std::string &text) const {
  SetStringField(CheckedField(fieldNumber), buffer, text, LanguageId());
}
int64_t TDataCursor::GetInteger(int fieldNumber, const uint8_t *buffer) const {
  return GetIntegerField(CheckedField(fieldNumber), buffer);
}
void TDataCursor::SetInteger(int fieldNumber, uint8_t *buffer, int64_t value) const {
  SetIntegerField(CheckedField(fieldNumber), buffer, value);
}
double TDataCursor::GetFloat(int fieldNumber, const uint8_t *buffer) const {
  return GetFloatField(CheckedField(fieldNumber), buffer);
}
void TDataCursor::SetFloat(int fieldNumber, uint8_t *buffer, double value) const {
  SetFloatField(CheckedField(fieldNumber), buffer, value);
}
TBcd TDataCursor::GetBcd(int fieldNumber, const uint8_t *buffer) const {
  return GetBcdField(CheckedField(fieldNumber), buffer);
}
void TDataCursor::SetBcd(int fieldNumber, uint8_t *buffer, const TBcd &value) const {
  SetBcdField(CheckedField(fieldNumber), buffer, value);
}
std::vector<uint8_t> TDataCursor::GetBytes(int fieldNumber, const uint8_t *buffer) const {
  return GetBytesField(CheckedField(fieldNumber), buffer);
}
void TDataCursor::SetBytes(int fieldNumber, uint8_t *buffer, const std::vector<uint8_t> &bytes) const {
  SetBytesField(CheckedField(fieldNumber), buffer, bytes);
}

}  // namespace kura
