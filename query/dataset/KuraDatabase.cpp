// Database components.
#include "query/dataset/KuraDatabase.h"

#include <algorithm>

#include "engine/table/DataDirectory.h"
#include "engine/table/DataSession.h"
#include "query/dataset/DataSetErrors.h"
#include "query/dataset/KuraSession.h"
#include "query/dataset/TextCompare.h"

namespace kura {

TKuraDatabase::TKuraDatabase(const std::string &sessionName) : FSessionName(TrimText(sessionName)) {
  FSession = &Sessions().GetSession(FSessionName);
  FSession->AddDatabase(this);
}

TKuraDatabase::~TKuraDatabase() {
  try {
    Close();
  } catch (...) {
  }
  if (FSession) FSession->RemoveDatabase(this);
}

const char *TKuraDatabase::EngineVersion() { return kEngineVersion; }

void TKuraDatabase::CheckClosed() const {
  if (Connected()) RaiseDatabaseError(dsmsg::DatabaseOpen);
}

void TKuraDatabase::SetDatabaseName(const std::string &name) {
  CheckClosed();
  std::string trimmed = TrimText(name);
  if (FSession && !trimmed.empty()) {
    TKuraDatabase *other = FSession->FindDatabase(trimmed);
    if (other && other != this) RaiseDatabaseError(dsmsg::DatabaseNameExists, trimmed);
  }
  FDatabaseName = trimmed;
}

void TKuraDatabase::SetDirectory(const std::string &directory) {
  CheckClosed();
  FDirectoryText = TrimText(directory);
}

void TKuraDatabase::SetRemoteDatabase(const std::string &name) {
  CheckClosed();
  FRemoteDatabase = TrimText(name);
}

void TKuraDatabase::SetSessionName(const std::string &name) {
  CheckClosed();
  TKuraSession &target = Sessions().GetSession(name);
  if (&target == FSession) {
    FSessionName = TrimText(name);
    return;
  }
  if (!FDatabaseName.empty() && target.FindDatabase(FDatabaseName))
    RaiseDatabaseError(dsmsg::DatabaseNameExists, FDatabaseName);
  if (FSession) FSession->RemoveDatabase(this);
  FSession = &target;
  FSession->AddDatabase(this);
  FSessionName = TrimText(name);
}

void TKuraDatabase::ResolveDirectory(const std::string &databaseName, const std::string &directory,
                                     std::string &engineName, std::string &enginePath) {
  std::string name = TrimText(databaseName);
  if (SameText(name, "Memory")) {
    engineName = name;
    enginePath.clear();
    return;
  }
  const bool isPath = name.find(':') != std::string::npos || name.find('\\') != std::string::npos;
  engineName = isPath ? std::string() : name;
  enginePath = TrimText(directory);
}

void TKuraDatabase::SetConnected(bool connected) {
  if (connected == Connected()) return;
  if (connected) {
    if (BeforeConnect) BeforeConnect(*this);
    if (FDatabaseName.empty()) RaiseDatabaseError(dsmsg::DatabaseNameMissing);
    if (!FSession) RaiseDatabaseError(dsmsg::SessionNameInvalid, FSessionName);
    FSession->Open();
    std::string name, path;
    ResolveDirectory(FDatabaseName, FDirectoryText, name, path);
    FDirectory = FSession->EngineSession()->OpenDataDirectory(name, path);
    return;
  }
  // Datasets using the database close with it.
  std::vector<TKuraDatabaseUser *> sets = FDataSets;
  for (TKuraDatabaseUser *ds : sets) ds->DatabaseClosing();
  FDataSets.clear();
  FUseCount = 0;
  TDataDirectory *dir = FDirectory;
  FDirectory = nullptr;
  if (FSession && FSession->EngineSession()) {
    if (dir->InTransaction()) dir->RollbackTransaction();
    FSession->EngineSession()->CloseDataDirectory(dir);
  }
}

TDataDirectory &TKuraDatabase::Handle() const {
  if (!FDirectory) RaiseDatabaseError(dsmsg::DatabaseClosed);
  return *FDirectory;
}

bool TKuraDatabase::InTransaction() const { return FDirectory && FDirectory->InTransaction(); }

void TKuraDatabase::StartTransaction() {
  TDataDirectory &dir = Handle();
  if (dir.InTransaction()) RaiseDatabaseError(dsmsg::TransactionActive, FDatabaseName);
  dir.StartTransaction();
}

void TKuraDatabase::Commit(bool flush) {
  TDataDirectory &dir = Handle();
  if (!dir.InTransaction()) RaiseDatabaseError(dsmsg::NoTransaction, FDatabaseName);
  dir.CommitTransaction(flush);
}

void TKuraDatabase::Rollback() {
  TDataDirectory &dir = Handle();
  if (!dir.InTransaction()) RaiseDatabaseError(dsmsg::NoTransaction, FDatabaseName);
  dir.RollbackTransaction();
}

void TKuraDatabase::RegisterDataSet(TKuraDatabaseUser *dataSet) {
  if (std::find(FDataSets.begin(), FDataSets.end(), dataSet) != FDataSets.end()) return;
  FDataSets.push_back(dataSet);
  ++FUseCount;
}

void TKuraDatabase::UnregisterDataSet(TKuraDatabaseUser *dataSet) {
  auto it = std::find(FDataSets.begin(), FDataSets.end(), dataSet);
  if (it == FDataSets.end()) return;
  FDataSets.erase(it);
  --FUseCount;
}

}  // namespace kura
