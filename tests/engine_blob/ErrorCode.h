#pragma once
// Test helper: the engine error code a call raises, KURA_NONE when it raises nothing.
#include <cstdint>
#include <utility>

#include "engine/errors/EngineError.h"

template <typename F>
uint16_t ErrorCodeRaisedBy(F &&call) {
  try {
    std::forward<F>(call)();
  } catch (const kura::EKuraEngineError &e) {
    return e.ErrorCode();
  }
  return kura::KURA_NONE;
}
