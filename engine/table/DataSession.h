#pragma once
// An engine session: its settings, its open database directories and the passwords the user
// has given.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/table/DataDirectory.h"
#include "engine/table/SessionSettings.h"

namespace kura {

inline constexpr const char *kMemoryDatabaseName = "Memory";

class TDataSession {
 public:
  TDataSession();
  ~TDataSession();
  TDataSession(const TDataSession &) = delete;
  TDataSession &operator=(const TDataSession &) = delete;

  // "Memory" (any case) is the in-memory database; any other name is a directory path
  // (relative paths stay relative; empty means the session's creation directory). An open
  // directory with the same path is shared and its reference count raised.
  TDataDirectory *OpenDataDirectory(const std::string &databaseName, const std::string &path);
  void CloseDataDirectory(TDataDirectory *directory);
  size_t DirectoryCount() const { return FDirectories.size(); }

  void AddPassword(const std::string &password);
  void RemovePassword(const std::string &password);
  void RemoveAllPasswords();
  bool HasPassword(const std::string &password) const;
  // Asked when a table's password is missing; true means "try again".
  std::function<bool()> PasswordCallback;

  TSessionSettings Settings;
  bool IsRemote() const { return false; }
  const std::string &CreationDirectory() const { return FCreationDirectory; }
  // With trailing separator; set empty, the creation directory is used instead.
  std::string PrivateDir() const;
  void SetPrivateDir(const std::string &path);

 private:
  std::string FCreationDirectory;
  std::string FPrivateDir;
  std::vector<std::unique_ptr<TDataDirectory>> FDirectories;
  std::vector<std::string> FPasswords;
};

}  // namespace kura
