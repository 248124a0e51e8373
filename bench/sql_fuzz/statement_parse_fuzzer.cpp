// The statement parser over arbitrary text: every script either parses statement by statement
// or fails with the SQL error (11949), leaving the statement unprepared. Anything else (another
// exception, a crash, a sanitizer report, a script that never ends) is a finding.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/errors/EngineError.h"
#include "query/sql/QueryStatement.h"

namespace {

[[noreturn]] void Finding(const char *what, const std::string &text) {
  std::fprintf(stderr, "finding: %s\n", what);
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fputc('\n', stderr);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string text(reinterpret_cast<const char *>(data), size);
  kura::TQueryStatement statement;
  try {
    statement.Prepare(text);
    size_t statements = 1;
    while (statement.HasNextStatement()) {
      statement.PrepareNext();
      // Each statement takes at least one character of the text.
      if (++statements > text.size() + 1) Finding("script never ends", text);
    }
  } catch (const kura::EKuraEngineError &e) {
    if (e.ErrorCode() != kura::KURA_SQLPARSE) Finding("engine error other than the SQL error", text);
    if (statement.Prepared() || statement.ParameterCount() != 0) Finding("statement left prepared", text);
  } catch (const std::exception &e) {
    Finding(e.what(), text);
  }
  return 0;
}
