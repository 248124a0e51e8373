#pragma once
// Sessions of the dataset components and the one global list of them. The list is created
// with the default session "Default" on first use; datasets with an empty SessionName use it.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/table/SessionSettings.h"

namespace kura {

class TDataSession;
class TKuraDatabase;
class TKuraSession;

enum class TKuraLockProtocol { lpPessimistic, lpOptimistic };
enum class TKuraSessionType { stLocal, stRemote };

inline constexpr const char *kDefaultSessionName = "Default";
inline constexpr const char *kEngineVersion = "3.30";

class TKuraSessionList {
 public:
  static TKuraSessionList &Instance();

  // The default session ("Default").
  TKuraSession &DefaultSession();
  // The session with that name (case-insensitive), the default one for an empty name, or null.
  TKuraSession *FindSession(const std::string &name);
  // As FindSession, but an unknown name fails with "Session name %s is not valid.".
  TKuraSession &GetSession(const std::string &name);
  int Count();
  TKuraSession *Session(int index);
  // Serialises session start and stop and changes of the list.
  std::recursive_mutex &Lock() { return FLock; }

 private:
  friend class TKuraSession;
  TKuraSessionList();
  ~TKuraSessionList() = delete;
  void Add(TKuraSession *session);
  void Remove(TKuraSession *session);

  std::recursive_mutex FLock;
  std::vector<TKuraSession *> FSessions;
  std::unique_ptr<TKuraSession> FDefault;
};

TKuraSessionList &Sessions();
TKuraSession &Session();  // the default session

class TKuraSession {
 public:
  // name: the component name (AutoSessionName builds the session name from it).
  explicit TKuraSession(std::string name = "KuraSession");
  ~TKuraSession();
  TKuraSession(const TKuraSession &) = delete;
  TKuraSession &operator=(const TKuraSession &) = delete;

  const std::string &Name() const { return FName; }
  static const char *EngineVersion() { return kEngineVersion; }

  // False also after the engine was stopped underneath the session.
  bool Active() const;
  void SetActive(bool active);
  void Open() { SetActive(true); }
  void Close() { SetActive(false); }

  const std::string &SessionName() const { return FSessionName; }
  void SetSessionName(const std::string &name);
  bool AutoSessionName() const { return FAutoSessionName; }
  void SetAutoSessionName(bool value);

  // Settings handed to the engine session when it starts.
  bool ForceBufferFlush = false;
  bool KeepConnections = true;
  uint8_t LockRetryCount = 15;
  uint16_t LockWaitTime = 100;  // milliseconds
  TKuraLockProtocol LockProtocol = TKuraLockProtocol::lpPessimistic;
  std::string PrivateDir;
  uint16_t ProgressSteps = 20;
  bool StrictChangeDetection = false;
  // Engine buffer sizes, in this order: data buffer size and count, index buffer size, blob
  // buffer size and count.
  uint32_t BufferSizes[5] = {16384, 8192, 16384, 32768, 8192};

  // Remote access: accepted and stored; this build has no remote sessions.
  TKuraSessionType SessionType = TKuraSessionType::stLocal;
  std::string RemoteType, RemoteHost, RemoteAddress, RemoteService, RemoteUser, RemotePassword;
  int RemotePort = 0;
  bool RemoteTrace = false;
  std::function<void(TKuraSession &, std::string &user, std::string &password, bool &cont)> OnRemoteLogin;
  std::function<void(TKuraSession &, const std::string &text)> OnRemoteTrace;

  // Called when an encrypted table needs a password the session does not hold; set Continue
  // to try again (after AddPassword).
  std::function<void(TKuraSession &, bool &cont)> OnPassword;
  std::function<void(TKuraSession &)> OnStartup;

  void AddPassword(const std::string &password);
  void RemovePassword(const std::string &password);
  void RemoveAllPasswords();

  // The engine session while active (null otherwise).
  TDataSession *EngineSession() const { return FEngineSession; }

  // Database components of this session.
  const std::vector<TKuraDatabase *> &Databases() const { return FDatabases; }
  TKuraDatabase *FindDatabase(const std::string &databaseName) const;
  // The database component for a dataset's DatabaseName: an existing one, or a temporary one
  // made on demand. The session is started first.
  TKuraDatabase &OpenDatabase(const std::string &databaseName);
  // Drops a temporary database when no dataset uses it any more and connections need not be
  // kept.
  void CloseDatabase(TKuraDatabase &database);

 private:
  friend class TKuraDatabase;
  friend class TKuraSessionList;
  TKuraSession(std::string name, TKuraSessionList &list);  // the default session
  void Start();
  void Stop();
  void AddDatabase(TKuraDatabase *database);
  void RemoveDatabase(TKuraDatabase *database);
  std::string UniqueAutoName() const;

  std::string FName;
  std::string FSessionName;
  bool FAutoSessionName = false;
  bool FIsDefault = false;
  TDataSession *FEngineSession = nullptr;
  bool FOwnsEngineSession = false;
  std::vector<std::string> FPasswords;
  std::vector<TKuraDatabase *> FDatabases;
  std::vector<std::unique_ptr<TKuraDatabase>> FTemporaryDatabases;
};

}  // namespace kura
