#pragma once
// Starting and stopping the table store in a process.
#include <mutex>

#include "engine/table/DataSession.h"

namespace kura {

// Creates the process-wide objects (file registry, default session) once; later calls do
// nothing.
void StartEngine();
// Destroys every session (closing their tables) and the file registry.
void StopEngine();
bool EngineStarted();
// The default session; KURA_NOTINITIALIZED while the engine is stopped.
TDataSession &DefaultSession();
// Sessions beyond the default one.
TDataSession &CreateSession();
void DestroySession(TDataSession *session);
// The lock for engine start-up work.
std::recursive_mutex &EngineLock();
// In a child made by fork(): forget the parent's engine objects without closing its files.
void AbandonEngineAfterFork();

}  // namespace kura
