#pragma once
// What CREATE TABLE, CREATE INDEX, ALTER TABLE and DROP INDEX are parsed into: column and index
// definitions, table options and the ordered list of alterations.
#include <cstdint>
#include <string>
#include <vector>

#include "query/expr/ExpToken.h"
#include "query/sql/SelectParts.h"

namespace kura {

// A DEFAULT, MINIMUM or MAXIMUM value kept as text: a sign joined to the token text, keywords
// (CURRENT_DATE, TRUE, ...) as written so that their meaning is taken when a record is made.
struct TColumnValueText {
  bool Given = false;
  std::string Text;
  bool IsString = false;  // a single-quoted string (Text holds its characters)
};

enum class TCharCase : uint8_t { NoChange = 0, Lower = 1, Upper = 2 };

// A column definition (CREATE TABLE, ALTER TABLE ADD / REDEFINE / DROP).
struct TCreateField {
  std::string Name;
  bool TypeGiven = false;  // REDEFINE may leave the type out
  TDataType DataType = TDataType::Unknown;
  FieldSubType SubType = FieldSubType::None;
  uint32_t Size = 0;
  uint8_t Scale = 0;
  bool DescriptionGiven = false;
  std::string Description;
  bool RequiredGiven = false;
  bool Required = false;  // NOT NULL
  TColumnValueText Default, Minimum, Maximum;
  bool CharCaseGiven = false;
  TCharCase CharCase = TCharCase::NoChange;
  bool PositionGiven = false;
  int64_t Position = 0;  // AT n: 1-based column position
  bool Drop = false;
};

enum class TIndexCompression : uint8_t { None = 0, DupByte = 1, TrailByte = 2, Full = 3 };

// An index definition: the primary key, a CREATE INDEX, or the index of DROP INDEX.
struct TCreateIndex {
  std::string Name;  // CONSTRAINT name of a primary key; the index name otherwise
  bool Unique = false;
  bool Descending = false;
  bool NoCase = false;
  std::vector<std::string> Columns;
  TIndexCompression Compression = TIndexCompression::None;
  bool PrimaryKey = false;
  bool Drop = false;
};

// Table options of CREATE TABLE and ALTER TABLE, each with a flag telling it was given.
struct TTableOptions {
  bool TextIndexGiven = false;
  std::vector<std::string> TextIndexColumns;
  bool StopWordsGiven = false;
  std::string StopWords;
  bool SpaceCharsGiven = false;
  std::string SpaceChars;
  bool IncludeCharsGiven = false;
  std::string IncludeChars;
  bool DescriptionGiven = false;
  std::string Description;
  bool BlobBlockSizeGiven = false;
  int64_t BlobBlockSize = 0;
  TLanguageOption Language;
  bool EncryptedGiven = false;
  std::string Password;
  bool Encrypted = false;  // off when the password is empty
  bool UserMajorVersionGiven = false;
  int64_t UserMajorVersion = 0;
  bool UserMinorVersionGiven = false;
  int64_t UserMinorVersion = 0;
  bool LastAutoIncGiven = false;
  int64_t LastAutoInc = 0;
};

// One alteration of ALTER TABLE, applied in the order written.
enum class TAlterAction : uint8_t { Add = 1, Redefine = 2, Drop = 3 };

struct TAlteration {
  TAlterAction Action = TAlterAction::Add;
  bool OnPrimaryKey = false;  // Index holds the key; otherwise Field holds the column
  TCreateField Field;
  TCreateIndex Index;
};

}  // namespace kura
