#pragma once
// The dataset components' own failures (as opposed to engine failures, which arrive as
// EKuraEngineError) and their message texts.
#include <stdexcept>
#include <string>

namespace kura {

// A failure of the component layer itself: wrong state, missing names, bad arguments.
class EKuraDatabaseError : public std::runtime_error {
 public:
  explicit EKuraDatabaseError(const std::string &message) : std::runtime_error(message) {}
};

namespace dsmsg {
inline constexpr const char *SessionNameInvalid = "Session name %s is not valid.";
inline constexpr const char *SessionNameMissing = "Session name is missing.";
inline constexpr const char *SessionActive = "Cannot perform this operation on an active session.";
inline constexpr const char *SessionNameExists = "Session name %s already exists.";
inline constexpr const char *DatabaseOpen = "Cannot perform this operation on an open database.";
inline constexpr const char *DatabaseClosed = "Cannot perform this operation on a closed database.";
inline constexpr const char *DatabaseNameMissing = "Database name is missing.";
inline constexpr const char *DatabaseNameExists = "Database name %s already exists.";
inline constexpr const char *TransactionActive = "Database %s already has an active transaction.";
inline constexpr const char *NoTransaction = "Database %s has no active transaction.";
inline constexpr const char *NoSqlStatement = "No SQL statement available";
inline constexpr const char *DataSetOpen = "データセットが開かれているため, この操作は実行できません";
inline constexpr const char *NoTableHandle = "Error creating table handle.";
inline constexpr const char *NoParameterValue = "No value for parameter '%s'";
inline constexpr const char *NotEditing = "Table is not in edit or insert mode.";
inline constexpr const char *FieldReadOnly = "Field %s cannot be modified.";
inline constexpr const char *FieldNotFound = "項目 '%s' が見つかりません";
inline constexpr const char *CircularDataLink = "Circular data links are not allowed.";
// Messages of the dataset base for states the layer above must not reach.
inline constexpr const char *DataSetClosed = "Cannot perform this operation on a closed dataset.";
inline constexpr const char *DataSetReadOnly = "Cannot modify a read-only dataset.";
inline constexpr const char *DataSetEmpty = "Cannot perform this operation on an empty dataset.";
inline constexpr const char *TableNameMissing = "Table name is missing.";
inline constexpr const char *TooManyParameters = "Too many parameters";
inline constexpr const char *LocateValueCount = "Locate needs one value per key field";
inline constexpr const char *QueryExecutionUnavailable =
    "Query execution is not available: SELECT execution is not part of this build yet";
}  // namespace dsmsg

// The pattern with its one "%s" (or "%d") replaced by the argument.
std::string FormatMessage(const char *pattern, const std::string &argument);
[[noreturn]] void RaiseDatabaseError(const char *message);
[[noreturn]] void RaiseDatabaseError(const char *pattern, const std::string &argument);

}  // namespace kura
