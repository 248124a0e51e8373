#pragma once
// A database component: a name the datasets refer to, resolved to an engine directory of a
// session ("kyozai" is the directory kyozai relative to the working directory; "Memory" the
// engine's in-memory database).
#include <functional>
#include <string>
#include <vector>

namespace kura {

class TDataDirectory;
class TKuraSession;

// What a database asks of the datasets attached to it.
class TKuraDatabaseUser {
 public:
  virtual ~TKuraDatabaseUser() = default;
  // The database is being disconnected: close.
  virtual void DatabaseClosing() = 0;
};

class TKuraDatabase {
 public:
  // Joins the session named by sessionName (empty: the default session).
  explicit TKuraDatabase(const std::string &sessionName = "");
  ~TKuraDatabase();
  TKuraDatabase(const TKuraDatabase &) = delete;
  TKuraDatabase &operator=(const TKuraDatabase &) = delete;

  static const char *EngineVersion();

  bool Connected() const { return FDirectory != nullptr; }
  void SetConnected(bool connected);
  void Open() { SetConnected(true); }
  void Close() { SetConnected(false); }

  const std::string &DatabaseName() const { return FDatabaseName; }
  void SetDatabaseName(const std::string &name);
  const std::string &Directory() const { return FDirectoryText; }
  void SetDirectory(const std::string &directory);
  const std::string &RemoteDatabase() const { return FRemoteDatabase; }
  void SetRemoteDatabase(const std::string &name);
  const std::string &SessionName() const { return FSessionName; }
  void SetSessionName(const std::string &name);
  TKuraSession &Session() const { return *FSession; }

  bool HandleShared = false;
  bool KeepConnection = true;
  std::function<void(TKuraDatabase &)> BeforeConnect;

  // The engine directory while connected; "Cannot perform this operation on a closed
  // database." otherwise.
  TDataDirectory &Handle() const;
  bool Temporary() const { return FTemporary; }
  int UseCount() const { return FUseCount; }
  const std::vector<TKuraDatabaseUser *> &DataSets() const { return FDataSets; }

  void StartTransaction();
  void Commit(bool flush = false);
  void Rollback();
  bool InTransaction() const;

  // Called by datasets as they open and close.
  void RegisterDataSet(TKuraDatabaseUser *dataSet);
  void UnregisterDataSet(TKuraDatabaseUser *dataSet);

  // What the engine directory is opened with: (name, path). A name that is a path (holds ':'
  // or '\') is passed as empty; "Memory" has no path.
  static void ResolveDirectory(const std::string &databaseName, const std::string &directory,
                               std::string &engineName, std::string &enginePath);

 private:
  friend class TKuraSession;
  void CheckClosed() const;

  TKuraSession *FSession = nullptr;
  std::string FSessionName;
  std::string FDatabaseName, FDirectoryText, FRemoteDatabase;
  TDataDirectory *FDirectory = nullptr;
  bool FTemporary = false;
  int FUseCount = 0;
  std::vector<TKuraDatabaseUser *> FDataSets;
};

}  // namespace kura
