#include "tests/engine/TestSupport.h"

#include "engine/errors/EngineError.h"
#include "engine/file/FileList.h"
#include "engine/table/Engine.h"

namespace kura::test {
void ForgetParentState() { AbandonEngineAfterFork(); }
unsigned ErrorCodeForTest(const std::exception &e) { return ErrorCodeOf(e); }
}  // namespace kura::test
