#pragma once
// TKuraDBDataSet: a dataset that opens its cursor in a database of a session, named by
// DatabaseName and SessionName.
#include <string>

#include "query/dataset/KuraDataSet.h"
#include "query/dataset/KuraDatabase.h"

namespace kura {

class TKuraSession;

class TKuraDBDataSet : public TKuraDataSet, public TKuraDatabaseUser {
 public:
  TKuraDBDataSet() = default;
  ~TKuraDBDataSet() override;

  const std::string &DatabaseName() const { return FDatabaseName; }
  // Only while closed.
  virtual void SetDatabaseName(const std::string &name);
  const std::string &SessionName() const { return FSessionName; }
  virtual void SetSessionName(const std::string &name);

  // The database component while open (null otherwise).
  TKuraDatabase *Database() const { return FDatabase; }

  void DatabaseClosing() override { Close(); }

 protected:
  // Resolves the session and database and connects it (on every open); the dataset is
  // registered with the database until CloseDatabase.
  TKuraDatabase &OpenDatabase();
  void CloseDatabase();
  void AfterCursorClosed() override { CloseDatabase(); }

 private:
  std::string FDatabaseName, FSessionName;
  TKuraDatabase *FDatabase = nullptr;
};

}  // namespace kura
