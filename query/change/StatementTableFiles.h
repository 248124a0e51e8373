#pragma once
// A statement's own checks on the files of the tables it creates and deletes (CREATE TABLE,
// DROP TABLE, and SELECT ... INTO a new or an existing table).
#include <string>

namespace kura {

class TDataDirectory;

// Deletes the table's files only after the table has opened alone and with its password:
// what does not open as a table (a stray NAME.DAT, a damaged file) is never deleted, an
// encrypted table is not deleted without its password, and a table that someone else has
// open is left alone. Each refusal is the engine error of the failed open.
void DeleteTableOpenedAlone(TDataDirectory &directory, const std::string &name, bool inMemory);

// Refuses, with an SQL error naming the table, a table name whose file names would be longer
// than a file name may be (the file layer would only report that the table does not exist).
void CheckNewTableName(const TDataDirectory &directory, const std::string &name);

}  // namespace kura
