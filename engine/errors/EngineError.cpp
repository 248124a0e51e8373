// Raising engine errors through the process-wide error context.
#include "engine/errors/EngineError.h"

#include <cerrno>
#include <mutex>

namespace kura {
namespace {

std::mutex &ContextLock() {
  static std::mutex lock;
  return lock;
}

ErrorContextData &Context() {
  static ErrorContextData context;
  return context;
}

// Context texts are short strings of at most 255 bytes; a cut never splits a UTF-8 sequence.
std::string Cut255(const std::string &text) {
  if (text.size() <= 255) return text;
  size_t n = 255;
  while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  return text.substr(0, n);
}

std::string BuildWhat(const ErrorContextData &context) {
  return "Kura Engine Error # " + std::to_string(context.ErrorCode) + " " + EngineErrorMessage(context);
}

}  // namespace

EKuraEngineError::EKuraEngineError(const ErrorContextData &context)
    : std::runtime_error(BuildWhat(context)), FContext(context) {}

void RaiseEngineErrorOS(uint16_t code, int osError, const ErrorTexts &texts) {
  ErrorContextData snapshot;
  {
    std::lock_guard<std::mutex> guard(ContextLock());
    ErrorContextData &c = Context();
    c.ErrorCode = code;
    c.OSError = osError;
    c.SocketError = 0;
    c.RemoteServer = Cut255(texts.RemoteServer);
    c.User = Cut255(texts.User);
    c.Database = Cut255(texts.Database);
    c.Table = Cut255(texts.Table);
    c.Field = Cut255(texts.Field);
    c.Index = Cut255(texts.Index);
    c.Message = Cut255(texts.Message);
    snapshot = c;
  }
  throw EKuraEngineError(snapshot);
}

void RaiseEngineError(uint16_t code, const ErrorTexts &texts) { RaiseEngineErrorOS(code, errno, texts); }

void RaiseSqlError(const std::string &detail) {
  ErrorTexts texts;
  texts.Message = detail;
  RaiseEngineErrorOS(KURA_SQLPARSE, 0, texts);
}

ErrorContextData LastErrorContext() {
  std::lock_guard<std::mutex> guard(ContextLock());
  return Context();
}

uint16_t ErrorCodeOf(const std::exception &e) {
  if (auto *engine = dynamic_cast<const EKuraEngineError *>(&e)) return engine->ErrorCode();
  return KURA_OSUNKNOWN;
}

}  // namespace kura
