// Engine start and stop.
#include "engine/table/Engine.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "engine/blob/BlobFile.h"
#include "engine/errors/EngineError.h"
#include "engine/file/FileList.h"
#include "engine/index/IndexFile.h"

namespace kura {
namespace {

struct TEngineState {
  bool Started = false;
  std::vector<std::unique_ptr<TDataSession>> Sessions;  // the first is the default session
};

TEngineState *&State() {
  static TEngineState *state = new TEngineState();
  return state;
}

}  // namespace

std::recursive_mutex &EngineLock() {
  static std::recursive_mutex lock;
  return lock;
}

void StartEngine() {
  std::lock_guard<std::recursive_mutex> guard(EngineLock());
  TEngineState &state = *State();
  if (state.Started) return;
  InstallBlobFiles();
  TFileList::Instance();
  InstallIndexFiles();
  state.Sessions.push_back(std::make_unique<TDataSession>());
  state.Started = true;
}

void StopEngine() {
  std::lock_guard<std::recursive_mutex> guard(EngineLock());
  TEngineState &state = *State();
  if (!state.Started) return;
  // Later sessions first, the default session last.
  while (!state.Sessions.empty()) state.Sessions.pop_back();
  TFileList::DestroyInstance();
  state.Started = false;
}

bool EngineStarted() {
  std::lock_guard<std::recursive_mutex> guard(EngineLock());
  return State()->Started;
}

TDataSession &DefaultSession() {
  std::lock_guard<std::recursive_mutex> guard(EngineLock());
  TEngineState &state = *State();
  if (!state.Started || state.Sessions.empty()) RaiseEngineError(KURA_NOTINITIALIZED);
  return *state.Sessions.front();
}

TDataSession &CreateSession() {
  std::lock_guard<std::recursive_mutex> guard(EngineLock());
  TEngineState &state = *State();
  if (!state.Started) RaiseEngineError(KURA_NOTINITIALIZED);
  state.Sessions.push_back(std::make_unique<TDataSession>());
  return *state.Sessions.back();
}

void DestroySession(TDataSession *session) {
  std::lock_guard<std::recursive_mutex> guard(EngineLock());
  auto &sessions = State()->Sessions;
  for (size_t i = 1; i < sessions.size(); ++i) {
    if (sessions[i].get() == session) {
      sessions.erase(sessions.begin() + static_cast<long>(i));
      return;
    }
  }
}

void AbandonEngineAfterFork() {
  // The copied sessions refer to the parent's files; they are dropped without closing anything.
  for (auto &session : State()->Sessions) (void)session.release();
  State() = new TEngineState();
  TFileList::AbandonAfterFork();
}

}  // namespace kura
