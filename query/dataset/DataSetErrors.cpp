// The component layer's failures.
#include "query/dataset/DataSetErrors.h"

namespace kura {

std::string FormatMessage(const char *pattern, const std::string &argument) {
  std::string text(pattern);
  size_t at = text.find("%s");
  if (at == std::string::npos) at = text.find("%d");
  if (at != std::string::npos) text.replace(at, 2, argument);
  return text;
}

void RaiseDatabaseError(const char *message) { throw EKuraDatabaseError(message); }

void RaiseDatabaseError(const char *pattern, const std::string &argument) {
  throw EKuraDatabaseError(FormatMessage(pattern, argument));
}

}  // namespace kura
