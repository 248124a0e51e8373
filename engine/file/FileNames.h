#pragma once
// Names of a table's files and the rule for when two names denote the same file.
#include <string>
#include <string_view>

#include "engine/util/TextScan.h"

namespace kura {

inline constexpr const char *kDataExtension = ".DAT";
inline constexpr const char *kIndexExtension = ".IDX";
inline constexpr const char *kBlobExtension = ".BLB";
inline constexpr const char *kDataBackupExtension = ".DBK";
inline constexpr const char *kIndexBackupExtension = ".IBK";
inline constexpr const char *kBlobBackupExtension = ".BBK";
inline constexpr size_t kMaxFileNameLength = 255;

// Blanks removed at both ends.
std::string TrimBlanks(std::string_view text);
// Equal after trimming blanks, ignoring case.
bool SameFileName(std::string_view a, std::string_view b);
// The path with one trailing '/' (empty stays empty).
std::string WithTrailingSeparator(std::string_view path);
// directory + table name with its extension (if any) replaced by the given one. The directory
// is expected to end with a separator already (or be empty).
std::string TableFileName(std::string_view directory, std::string_view tableName, std::string_view extension);

}  // namespace kura
