// Sessions and the session list.
#include "query/dataset/KuraSession.h"

#include <algorithm>

#include "engine/table/DataSession.h"
#include "engine/table/Engine.h"
#include "query/dataset/DataSetErrors.h"
#include "query/dataset/KuraDatabase.h"
#include "query/dataset/TextCompare.h"

namespace kura {

// ---- TKuraSessionList ---------------------------------------------------------------------

TKuraSessionList::TKuraSessionList() {
  FDefault.reset(new TKuraSession("Session", *this));
}

TKuraSessionList &TKuraSessionList::Instance() {
  // Never destroyed: sessions of static objects may still unregister at process end.
  static TKuraSessionList *list = new TKuraSessionList();
  return *list;
}

TKuraSessionList &Sessions() { return TKuraSessionList::Instance(); }
TKuraSession &Session() { return Sessions().DefaultSession(); }

TKuraSession &TKuraSessionList::DefaultSession() { return *FDefault; }

void TKuraSessionList::Add(TKuraSession *session) {
  std::lock_guard<std::recursive_mutex> guard(FLock);
  FSessions.push_back(session);
}

void TKuraSessionList::Remove(TKuraSession *session) {
  std::lock_guard<std::recursive_mutex> guard(FLock);
  FSessions.erase(std::remove(FSessions.begin(), FSessions.end(), session), FSessions.end());
}

TKuraSession *TKuraSessionList::FindSession(const std::string &name) {
  std::lock_guard<std::recursive_mutex> guard(FLock);
  std::string trimmed = TrimText(name);
  if (trimmed.empty()) return FDefault.get();
  for (TKuraSession *s : FSessions)
    if (SameText(s->SessionName(), trimmed)) return s;
  return nullptr;
}

TKuraSession &TKuraSessionList::GetSession(const std::string &name) {
  TKuraSession *s = FindSession(name);
  if (!s) RaiseDatabaseError(dsmsg::SessionNameInvalid, name);
  return *s;
}

int TKuraSessionList::Count() {
  std::lock_guard<std::recursive_mutex> guard(FLock);
  return static_cast<int>(FSessions.size());
}

TKuraSession *TKuraSessionList::Session(int index) {
  std::lock_guard<std::recursive_mutex> guard(FLock);
  if (index < 0 || index >= static_cast<int>(FSessions.size())) return nullptr;
  return FSessions[static_cast<size_t>(index)];
}

// ---- TKuraSession -------------------------------------------------------------------------

TKuraSession::TKuraSession(std::string name) : FName(std::move(name)) {
  TKuraSessionList::Instance().Add(this);
}

TKuraSession::TKuraSession(std::string name, TKuraSessionList &list)
    : FName(std::move(name)), FSessionName(kDefaultSessionName), FIsDefault(true) {
  list.Add(this);
}

TKuraSession::~TKuraSession() {
  try {
    Stop();
  } catch (...) {
    // A destructor cannot report; the engine objects are gone either way.
  }
  // Database components that still name this session lose it; they cannot connect again.
  for (TKuraDatabase *db : FDatabases) db->FSession = nullptr;
  TKuraSessionList::Instance().Remove(this);
}

void TKuraSession::SetSessionName(const std::string &name) {
  std::lock_guard<std::recursive_mutex> guard(Sessions().Lock());
  if (Active()) RaiseDatabaseError(dsmsg::SessionActive);
  std::string trimmed = TrimText(name);
  if (SameText(trimmed, FSessionName)) {
    FSessionName = trimmed;
    return;
  }
  if (!trimmed.empty()) {
    TKuraSession *other = Sessions().FindSession(trimmed);
    if (other && other != this) RaiseDatabaseError(dsmsg::SessionNameExists, trimmed);
  }
  FSessionName = trimmed;
}

std::string TKuraSession::UniqueAutoName() const {
  for (int n = 1;; ++n) {
    std::string candidate = FName + "_" + std::to_string(n);
    TKuraSession *other = Sessions().FindSession(candidate);
    if (!other || other == this) return candidate;
  }
}

void TKuraSession::SetAutoSessionName(bool value) {
  if (value == FAutoSessionName) return;
  if (Active()) RaiseDatabaseError(dsmsg::SessionActive);
  FAutoSessionName = value;
  if (value && !FIsDefault) FSessionName = UniqueAutoName();
}

bool TKuraSession::Active() const { return FEngineSession != nullptr && EngineStarted(); }

void TKuraSession::SetActive(bool active) {
  if (active == Active()) return;
  if (active)
    Start();
  else
    Stop();
}

void TKuraSession::Start() {
  std::lock_guard<std::recursive_mutex> guard(Sessions().Lock());
  if (Active()) return;
  if (FEngineSession) {
    // The engine was stopped (and its sessions with it): the components start afresh.
    FEngineSession = nullptr;
    FOwnsEngineSession = false;
    for (TKuraDatabase *db : FDatabases) db->FDirectory = nullptr;
    FTemporaryDatabases.clear();
  }
  if (OnStartup) OnStartup(*this);
  if (TrimText(FSessionName).empty()) RaiseDatabaseError(dsmsg::SessionNameMissing);
  if (!FIsDefault) Sessions().DefaultSession().Start();
  StartEngine();
  TDataSession *engine = nullptr;
  if (FIsDefault) {
    engine = &DefaultSession();
    FOwnsEngineSession = false;
  } else {
    engine = &CreateSession();
    FOwnsEngineSession = true;
  }
  TSessionSettings &s = engine->Settings;
  s.ForceBufferFlush = ForceBufferFlush;
  s.StrictChangeDetection = StrictChangeDetection;
  s.LockRetryCount = LockRetryCount;
  s.LockWaitTime = LockWaitTime;
  s.LockProtocol = LockProtocol == TKuraLockProtocol::lpOptimistic ? TLockProtocol::Optimistic
                                                                   : TLockProtocol::Pessimistic;
  s.ProgressSteps = ProgressSteps;
  s.DataBufferSize = BufferSizes[0];
  s.DataBufferCount = BufferSizes[1];
  s.IndexBufferSize = BufferSizes[2];
  s.BlobBufferSize = BufferSizes[3];
  s.BlobBufferCount = BufferSizes[4];
  engine->SetPrivateDir(PrivateDir);
  for (const std::string &p : FPasswords) engine->AddPassword(p);
  engine->PasswordCallback = [this]() {
    bool cont = false;
    if (OnPassword) OnPassword(*this, cont);
    return cont;
  };
  FEngineSession = engine;
}

void TKuraSession::Stop() {
  std::lock_guard<std::recursive_mutex> guard(Sessions().Lock());
  if (!FEngineSession) return;
  if (!EngineStarted()) {
    // Nothing of the engine is left to release.
    FEngineSession = nullptr;
    FOwnsEngineSession = false;
    return;
  }
  // Temporary databases go; the others are disconnected (their datasets close with them).
  std::vector<TKuraDatabase *> databases = FDatabases;
  for (TKuraDatabase *db : databases) db->Close();
  FTemporaryDatabases.clear();
  TDataSession *engine = FEngineSession;
  FEngineSession = nullptr;
  engine->PasswordCallback = nullptr;
  if (FOwnsEngineSession && EngineStarted()) DestroySession(engine);
  FOwnsEngineSession = false;
}

void TKuraSession::AddPassword(const std::string &password) {
  if (password.empty()) return;
  if (std::find(FPasswords.begin(), FPasswords.end(), password) == FPasswords.end())
    FPasswords.push_back(password);
  if (FEngineSession) FEngineSession->AddPassword(password);
}

void TKuraSession::RemovePassword(const std::string &password) {
  FPasswords.erase(std::remove(FPasswords.begin(), FPasswords.end(), password), FPasswords.end());
  if (FEngineSession) FEngineSession->RemovePassword(password);
}

void TKuraSession::RemoveAllPasswords() {
  FPasswords.clear();
  if (FEngineSession) FEngineSession->RemoveAllPasswords();
}

void TKuraSession::AddDatabase(TKuraDatabase *database) { FDatabases.push_back(database); }

void TKuraSession::RemoveDatabase(TKuraDatabase *database) {
  FDatabases.erase(std::remove(FDatabases.begin(), FDatabases.end(), database), FDatabases.end());
}

TKuraDatabase *TKuraSession::FindDatabase(const std::string &databaseName) const {
  std::string trimmed = TrimText(databaseName);
  for (TKuraDatabase *db : FDatabases)
    if (SameText(db->DatabaseName(), trimmed)) return db;
  return nullptr;
}

TKuraDatabase &TKuraSession::OpenDatabase(const std::string &databaseName) {
  Start();
  if (TrimText(databaseName).empty()) RaiseDatabaseError(dsmsg::DatabaseNameMissing);
  TKuraDatabase *db = FindDatabase(databaseName);
  if (!db) {
    auto temp = std::make_unique<TKuraDatabase>(FSessionName);
    temp->FTemporary = true;
    temp->SetDatabaseName(databaseName);
    if (!SameText(TrimText(databaseName), "Memory")) {
      if (SessionType == TKuraSessionType::stRemote)
        temp->SetRemoteDatabase(databaseName);
      else
        temp->SetDirectory(databaseName);
    }
    temp->KeepConnection = KeepConnections;
    db = temp.get();
    FTemporaryDatabases.push_back(std::move(temp));
  }
  return *db;
}

void TKuraSession::CloseDatabase(TKuraDatabase &database) {
  if (database.UseCount() > 0) return;
  if (database.KeepConnection) return;
  database.Close();
  if (!database.Temporary()) return;
  for (size_t i = 0; i < FTemporaryDatabases.size(); ++i) {
    if (FTemporaryDatabases[i].get() == &database) {
      FTemporaryDatabases.erase(FTemporaryDatabases.begin() + static_cast<long>(i));
      return;
    }
  }
}

}  // namespace kura
