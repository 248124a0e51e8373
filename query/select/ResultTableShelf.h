#pragma once
// TResultTableShelf: keeps the in-memory result table of a finished SELECT for the next one of
// the same result layout. Emptying a kept table is far cheaper than creating one (data, index
// and blob files with their headers and descriptors) and deleting it again, which dominates a
// point SELECT. One table is kept at most; its owner (a runner of many statements) drops it
// when it goes.
#include <cstddef>
#include <string>

namespace kura {

class TDataDirectory;
class TDataSession;
class TDataTable;
struct TDataFileDefinition;

class TResultTableShelf {
 public:
  explicit TResultTableShelf(TDataSession &session) : FSession(session) {}
  ~TResultTableShelf();
  TResultTableShelf(const TResultTableShelf &) = delete;
  TResultTableShelf &operator=(const TResultTableShelf &) = delete;

  // The key two result layouts share exactly when a table of one serves the other: every
  // field descriptor as stored, the language and the sort order.
  static std::string LayoutKey(const TDataFileDefinition &definition);

  // Empties the table (an in-memory table of `directory`, open once, exclusively, outside any
  // transaction) and keeps it under `layout`, in place of any table kept before. False when it
  // cannot be kept: the caller then closes and deletes it as usual.
  bool Keep(TDataDirectory &directory, TDataTable *table, const std::string &layout);
  // The kept table when it is in `directory` and has `layout` (it is then the caller's, as
  // CreateTable would have returned it; `name` is set to its name), else null (a kept table
  // that does not fit is dropped).
  TDataTable *Take(TDataDirectory &directory, const std::string &layout, std::string &name);
  // Closes and deletes the kept table.
  void Drop();
  bool Holds() const { return FTable != nullptr; }

 private:
  TDataSession &FSession;
  TDataDirectory *FDirectory = nullptr;  // one reference held while a table is kept
  TDataTable *FTable = nullptr;
  std::string FName;
  std::string FLayout;
};

}  // namespace kura
