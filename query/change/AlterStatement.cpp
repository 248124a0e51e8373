// ALTER TABLE: the table is opened alone, its structure read and altered, and the storage side
// restructures it (keeping backup files unless NOBACKUP).
#include "query/change/AlterStatement.h"

#include <cstdint>

#include "engine/cursor/DataCursor.h"
#include "engine/errors/EngineError.h"
#include "query/expr/ValueConvert.h"
#include "query/select/SelectValues.h"
#include "engine/table/DataDirectory.h"
#include "engine/table/DataSession.h"
#include "query/change/AlterStructure.h"
#include "query/change/ChangeExecutor.h"

namespace kura {

namespace {

std::string LossMessage(TDataLossCause cause, const std::string &context) {
  // The reason comes first: long error texts are cut at their end.
  switch (cause) {
    case TDataLossCause::LossKeyViolation:
      // The record index of the table is no index of the user's: its keys repeat when a
      // column becomes an auto-increment column with repeated values.
      if (!context.empty() && context.rfind("Sys ", 0) == 0)
        return "ALTER TABLE would lose rows whose auto-increment values repeat; the table is left as it was";
      return "ALTER TABLE would lose rows whose keys repeat in the index '" + context +
             "'; the table is left as it was";
    case TDataLossCause::LossValidity:
      return "ALTER TABLE would lose rows whose column '" + context +
             "' fails its required, minimum or maximum check; the table is left as it was";
    case TDataLossCause::LossConversion:
      return "ALTER TABLE would lose values of the column '" + context +
             "' that do not convert to its new type; the table is left as it was";
    default:
      return "ALTER TABLE would lose rows; the table is left as it was";
  }
}

// Whether a number of the old column lies in the range of an integer type (the storage side's
// conversion would wrap it around otherwise).
bool NumberFitsIntegerType(const TFieldDescriptor &from, const TFieldDescriptor &to, const TExpValue &value) {
  double low = 0, high = 0;
  switch (to.Type) {
    case EngineFieldType::SmallInt: low = INT16_MIN, high = INT16_MAX; break;
    case EngineFieldType::Word: low = 0, high = UINT16_MAX; break;
    case EngineFieldType::Integer: low = INT32_MIN, high = INT32_MAX; break;
    case EngineFieldType::LongWord: low = 0, high = UINT32_MAX; break;
    case EngineFieldType::LargeInt: low = -9223372036854775808.0, high = 9223372036854775807.0; break;
    default: return true;
  }
  double x = 0;
  switch (from.Type) {
    case EngineFieldType::Float:
    case EngineFieldType::Extended: x = value.Float; break;
    case EngineFieldType::BCD: x = static_cast<double>(value.Int) / 10000.0; break;
    case EngineFieldType::SmallInt:
    case EngineFieldType::Word:
    case EngineFieldType::Integer:
    case EngineFieldType::LongWord:
    case EngineFieldType::LargeInt: x = static_cast<double>(value.Int); break;
    default: return true;
  }
  return x > low - 1 && x < high + 1;
}

bool FitsType(const TFieldDescriptor &to, const TExpValue &value) {
  switch (to.Type) {
    case EngineFieldType::SmallInt: return value.Int >= INT16_MIN && value.Int <= INT16_MAX;
    case EngineFieldType::Word: return value.Int >= 0 && value.Int <= UINT16_MAX;
    case EngineFieldType::Integer: return value.Int >= INT32_MIN && value.Int <= INT32_MAX;
    case EngineFieldType::LongWord: return value.Int >= 0 && value.Int <= UINT32_MAX;
    case EngineFieldType::String: return value.Str.size() <= to.DeclaredSize;
    default: return true;
  }
}

// The storage side converts a redefined column's values as well as it can: a number too large
// for its new type would wrap around and a text too long for its new size would be cut, with
// no loss reported. The statement looks at every value first and names the first one that
// would not arrive whole.
std::string FirstValueLoss(TDataCursor &cursor, const TRestructureDefinition &definition) {
  std::vector<std::pair<int, TFieldDescriptor>> changed;  // old field number, new field
  const int oldCount = static_cast<int>(cursor.Fields().size());
  for (const TFieldDescriptor &to : definition.Fields) {
    if (to.FieldNumber < 1 || to.FieldNumber > oldCount) continue;
    const TFieldDescriptor &from = cursor.Field(to.FieldNumber);
    if (from.Type == EngineFieldType::Blob || to.Type == EngineFieldType::Blob) continue;
    if (from.Type == to.Type && from.SubType == to.SubType && from.DeclaredSize <= to.DeclaredSize &&
        from.DeclaredScale == to.DeclaredScale)
      continue;
    changed.emplace_back(to.FieldNumber, to);
  }
  if (changed.empty()) return {};
  std::vector<uint8_t> buffer = cursor.NewRecordBuffer();
  cursor.SetToBegin();
  while (cursor.GetNextRecord(buffer.data()) == KURA_NONE) {
    for (const auto &[number, to] : changed) {
      const TFieldDescriptor &from = cursor.Field(number);
      TExpValue value, converted;
      ReadFieldValue(from, buffer.data(), value);
      if (value.Null) continue;
      const bool whole = NumberFitsIntegerType(from, to, value) && ConvertValue(FieldTypeInfo(from), value, FieldTypeInfo(to), converted) && !converted.Null &&
                         FitsType(to, converted) &&
                         !(from.Type == EngineFieldType::String && to.Type == EngineFieldType::String &&
                           converted.Str != value.Str);
      if (!whole)
        return "ALTER TABLE would lose the value " + ValueText(FieldTypeInfo(from), value) + " of the column '" +
               from.Name + "', which does not fit its new type; the table is left as it was";
    }
  }
  cursor.SetToBegin();
  return {};
}

}  // namespace

void ExecuteAlterTable(TChangeExecutor &executor, TDataQuery &query) {
  executor.WithTableAlone(query.Target, [&](TDataCursor &cursor) {
    TAlterStructure structure(cursor);
    for (const TAlteration &alteration : query.Alterations) structure.Apply(alteration);
    structure.ApplyOptions(query.TableOptions);
    structure.SetNoBackup(query.NoBackup);
    const TRestructureDefinition definition = structure.Definition();
    // As with CREATE TABLE, whoever encrypts the table may go on using it.
    if (definition.Encrypted && query.TableOptions.EncryptedGiven) executor.Session().AddPassword(definition.Password);
    // A statement has no one to ask whether rows or values may go: the first loss stops the
    // restructure and the table stays as it was. Dropping a column is no loss: it was asked for.
    std::string loss = FirstValueLoss(cursor, definition);
    if (!loss.empty()) RaiseSqlError(loss);
    cursor.DataLossCallback = [&loss](TDataLossCause cause, const std::string &context, bool &continueRestructure,
                                      bool &) {
      if (cause == TDataLossCause::LossFieldDropped) return;
      loss = LossMessage(cause, context);
      continueRestructure = false;
    };
    const bool done = cursor.RestructureTable(definition);
    cursor.DataLossCallback = nullptr;
    if (!done) RaiseSqlError(loss.empty() ? std::string("ALTER TABLE would lose rows; the table is left as it was") : loss);
  });
}

}  // namespace kura
