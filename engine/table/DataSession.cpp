// Sessions: directories, passwords, settings.
#include "engine/table/DataSession.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "engine/file/FileNames.h"

namespace kura {

TDataSession::TDataSession() {
  std::error_code error;
  std::string current = std::filesystem::current_path(error).string();
  FCreationDirectory = WithTrailingSeparator(current);
  std::string temporary = std::filesystem::temp_directory_path(error).string();
  FPrivateDir = WithTrailingSeparator(temporary.empty() ? "/tmp" : temporary);
}

TDataSession::~TDataSession() {
  // Directories roll back and close their tables.
  FDirectories.clear();
}

std::string TDataSession::PrivateDir() const { return FPrivateDir.empty() ? FCreationDirectory : FPrivateDir; }

void TDataSession::SetPrivateDir(const std::string &path) { FPrivateDir = WithTrailingSeparator(TrimBlanks(path)); }

TDataDirectory *TDataSession::OpenDataDirectory(const std::string &databaseName, const std::string &path) {
  bool memory = SameTextIgnoringCase(TrimBlanks(databaseName), kMemoryDatabaseName);
  std::string resolved;
  if (memory) {
    resolved = WithTrailingSeparator(TrimBlanks(path));
  } else {
    resolved = TrimBlanks(path);
    resolved = resolved.empty() ? FCreationDirectory : WithTrailingSeparator(resolved);
  }
  for (auto &directory : FDirectories) {
    if (directory->IsMemory() == memory && SameTextIgnoringCase(directory->Path(), resolved)) {
      directory->AddReference();
      return directory.get();
    }
  }
  FDirectories.push_back(std::make_unique<TDataDirectory>(this, TrimBlanks(databaseName), resolved, memory));
  return FDirectories.back().get();
}

void TDataSession::CloseDataDirectory(TDataDirectory *directory) {
  for (size_t i = 0; i < FDirectories.size(); ++i) {
    if (FDirectories[i].get() != directory) continue;
    if (directory->ReleaseReference() <= 0) FDirectories.erase(FDirectories.begin() + static_cast<long>(i));
    return;
  }
}

void TDataSession::AddPassword(const std::string &password) {
  if (password.empty() || HasPassword(password)) return;
  FPasswords.push_back(password.substr(0, std::min<size_t>(password.size(), 255)));
}

void TDataSession::RemovePassword(const std::string &password) {
  FPasswords.erase(std::remove(FPasswords.begin(), FPasswords.end(), password), FPasswords.end());
}

void TDataSession::RemoveAllPasswords() { FPasswords.clear(); }

bool TDataSession::HasPassword(const std::string &password) const {
  return std::find(FPasswords.begin(), FPasswords.end(), password) != FPasswords.end();
}

}  // namespace kura
