// Datasets in a database of a session.
#include "query/dataset/KuraDBDataSet.h"

#include "query/dataset/KuraSession.h"
#include "query/dataset/TextCompare.h"

namespace kura {

TKuraDBDataSet::~TKuraDBDataSet() {
  if (FDatabase) FDatabase->UnregisterDataSet(this);
}

void TKuraDBDataSet::SetDatabaseName(const std::string &name) {
  CheckInactive();
  FDatabaseName = TrimText(name);
}

void TKuraDBDataSet::SetSessionName(const std::string &name) {
  CheckInactive();
  FSessionName = TrimText(name);
}

TKuraDatabase &TKuraDBDataSet::OpenDatabase() {
  if (FDatabase) return *FDatabase;
  TKuraSession &session = Sessions().GetSession(FSessionName);
  TKuraDatabase &db = session.OpenDatabase(FDatabaseName);
  db.Open();
  db.RegisterDataSet(this);
  FDatabase = &db;
  return db;
}

void TKuraDBDataSet::CloseDatabase() {
  if (!FDatabase) return;
  TKuraDatabase *db = FDatabase;
  FDatabase = nullptr;
  db->UnregisterDataSet(this);
  db->Session().CloseDatabase(*db);
}

}  // namespace kura
