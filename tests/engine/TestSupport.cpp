#include "tests/engine/TestSupport.h"

#include "engine/errors/EngineError.h"
#include "engine/file/FileList.h"

namespace kura::test {
void ForgetParentState() { TFileList::AbandonAfterFork(); }
unsigned ErrorCodeForTest(const std::exception &e) { return ErrorCodeOf(e); }
}  // namespace kura::test
