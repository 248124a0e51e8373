// Password rules for encrypted tables and the session's password list.
#include "engine/crypt/TablePassword.h"

#include <algorithm>

#include "engine/errors/EngineError.h"

namespace kura {
namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 0x20; }

std::string CutTo(std::string_view text, size_t limit) {
  if (text.size() <= limit) return std::string(text);
  size_t n = limit;
  // Never split a UTF-8 sequence.
  while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  return std::string(text.substr(0, n));
}

}  // namespace

std::string TrimPassword(std::string_view password) {
  size_t begin = 0, end = password.size();
  while (begin < end && IsBlank(password[begin])) ++begin;
  while (end > begin && IsBlank(password[end - 1])) --end;
  return std::string(password.substr(begin, end - begin));
}

bool IsValidTablePassword(std::string_view password) {
  const std::string trimmed = TrimPassword(password);
  return !trimmed.empty() && trimmed.size() <= MaxTablePasswordLength;
}

std::string CheckedTablePassword(std::string_view password, const std::string &tableName) {
  std::string trimmed = TrimPassword(password);
  if (trimmed.empty() || trimmed.size() > MaxTablePasswordLength) {
    ErrorTexts texts;
    texts.Table = tableName;
    RaiseEngineError(KURA_INVALIDPASSWORD, texts);
  }
  return trimmed;
}

void CheckTableAccess(const std::string &tablePassword, const std::function<bool(const std::string &)> &isKnown,
                      const std::function<bool()> &requestPassword, const std::string &tableName) {
  while (!isKnown(tablePassword)) {
    if (!requestPassword || !requestPassword()) {
      ErrorTexts texts;
      texts.Table = tableName;
      RaiseEngineError(KURA_NOTSUFFTABLERIGHTS, texts);
    }
  }
}

void TPasswordList::AddPassword(std::string_view password) {
  if (password.empty()) return;
  std::string entry = CutTo(password, MaxListedPasswordLength);
  if (!Contains(entry)) FPasswords.push_back(std::move(entry));
}

void TPasswordList::RemovePassword(std::string_view password) {
  const std::string entry = CutTo(password, MaxListedPasswordLength);
  FPasswords.erase(std::remove(FPasswords.begin(), FPasswords.end(), entry), FPasswords.end());
}

void TPasswordList::RemoveAllPasswords() { FPasswords.clear(); }

bool TPasswordList::Contains(std::string_view password) const {
  return std::find(FPasswords.begin(), FPasswords.end(), password) != FPasswords.end();
}

}  // namespace kura
