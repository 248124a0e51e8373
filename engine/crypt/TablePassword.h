#pragma once
// Table passwords: the rules for a new encrypted table's password and the session's list of
// passwords the user has given.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kura {

inline constexpr size_t MaxTablePasswordLength = 15;   // bytes of the header's short string
inline constexpr size_t MaxListedPasswordLength = 255;

// The text without leading and trailing blanks (spaces and control characters).
std::string TrimPassword(std::string_view password);
// Whether the trimmed password has 1 to 15 bytes (the header stores it as a short string [15],
// so a password in a multi-byte encoding counts its bytes).
bool IsValidTablePassword(std::string_view password);
// The trimmed password for a new encrypted table; KURA_INVALIDPASSWORD naming the table when
// it is empty or too long.
std::string CheckedTablePassword(std::string_view password, const std::string &tableName);

// The open check of an encrypted table: the table's password (already unscrambled) must be one
// the session knows. Otherwise the password request is made (the session's password callback,
// which may add passwords); true asks again, false fails with KURA_NOTSUFFTABLERIGHTS naming
// the table.
void CheckTableAccess(const std::string &tablePassword, const std::function<bool(const std::string &)> &isKnown,
                      const std::function<bool()> &requestPassword, const std::string &tableName);

// The passwords given to a session, compared case-sensitively.
class TPasswordList {
 public:
  // Empty texts are ignored; texts are cut to 255 bytes; a password already listed is not
  // listed twice.
  void AddPassword(std::string_view password);
  void RemovePassword(std::string_view password);
  void RemoveAllPasswords();
  bool Contains(std::string_view password) const;
  size_t Count() const { return FPasswords.size(); }

 private:
  std::vector<std::string> FPasswords;
};

}  // namespace kura
