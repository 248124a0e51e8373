#pragma once
// The scrambling of encrypted tables as the data and index files use it: the one routine and
// the two keys of the encryption layer, under the names these files know them by.
#include "engine/crypt/Scramble.h"

namespace kura {

using TScrambleKey = ScrambleKey;
// Key for descriptors, records, index and blob contents.
inline constexpr TScrambleKey kRecordKey = RecordScrambleKey;
// Key for the password and description texts of the data header.
inline constexpr TScrambleKey kPasswordKey = PasswordScrambleKey;

}  // namespace kura
