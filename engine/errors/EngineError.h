#pragma once
// The exception every engine failure reaches callers as, and the process-wide error context
// it is built from.
#include <cstdint>
#include <stdexcept>
#include <string>

#include "engine/errors/ErrorCodes.h"

namespace kura {

// The texts and numbers that describe the failure being raised. Texts are cut to 255 bytes.
struct ErrorContextData {
  uint16_t ErrorCode = KURA_NONE;
  int OSError = 0;
  int SocketError = 0;
  std::string RemoteServer, User, Database, Table, Field, Index, Message;
};

// The engine's message for a code with its placeholders filled from the context
// (table, field, index, extra text, OS error number, as the code needs them).
std::string EngineErrorMessage(const ErrorContextData &context);
// The bare message pattern of a code ("An unknown error occurred" for codes without one).
const char *EngineErrorPattern(uint16_t code);

class EKuraEngineError : public std::runtime_error {
 public:
  explicit EKuraEngineError(const ErrorContextData &context);

  uint16_t ErrorCode() const { return FContext.ErrorCode; }
  const ErrorContextData &Context() const { return FContext; }
  // The message without the "Kura Engine Error # <code> " prefix.
  std::string EngineMessage() const { return EngineErrorMessage(FContext); }

 private:
  ErrorContextData FContext;
};

// Texts naming what a failure concerns; any of them may be left empty.
struct ErrorTexts {
  std::string Table, Database, Field, Index, Message, RemoteServer, User;
};

// Fills the process-wide error context under its lock (with the current errno as the OS
// error number) and throws EKuraEngineError built from it.
[[noreturn]] void RaiseEngineError(uint16_t code, const ErrorTexts &texts = {});
// Same, with an explicit operating-system error number.
[[noreturn]] void RaiseEngineErrorOS(uint16_t code, int osError, const ErrorTexts &texts = {});
// Shorthand for SQL parse and check failures: code KURA_SQLPARSE with the detail as extra text.
[[noreturn]] void RaiseSqlError(const std::string &detail);

// A copy of the last raised context (for diagnostics).
ErrorContextData LastErrorContext();

// The error code of any caught exception: its code for EKuraEngineError, else KURA_OSUNKNOWN.
uint16_t ErrorCodeOf(const std::exception &e);

}  // namespace kura
