#pragma once
// Shared by the restructure paths: the data-loss callback with its "stop asking" state, and
// the index comparison.
#include <string>

#include "engine/cursor/RestructureTypes.h"
#include "engine/errors/ErrorCodes.h"
#include "engine/index/IndexHeader.h"

namespace kura {

// Whether an index must be rebuilt (or dropped) to go from the current index header to the
// wanted one: it comes or goes, or its key differs (length, fields, flags, compression).
bool IndexNeedsRebuild(const TIndexHeader &current, const TIndexHeader &wanted, int indexNo);

// Engine codes that mean the files themselves failed, not one record: the operation stops.
inline bool IsFileFailure(uint16_t code) {
  switch (code) {
    case KURA_READERR: case KURA_WRITEERR: case KURA_TABLEFULL: case KURA_HEADERCORRUPT:
    case KURA_FILECORRUPT: case KURA_MEMOCORRUPT: case KURA_INDEXCORRUPT: case KURA_LOCKTIMEOUT:
    case KURA_FILEDELETEFAIL: case KURA_FILENOACCESS: case KURA_OSENOMEM:
      return true;
    default:
      return code >= KURA_OSENOENT && code <= KURA_OSUNKNOWN;
  }
}

class TLossReporter {
 public:
  explicit TLossReporter(const TDataLossCallback &callback) : FCallback(callback) {}
  // Reports one loss; false when the callback answered "do not continue". Once the callback
  // said "stop asking", later losses are taken as "continue" without asking.
  bool Report(TDataLossCause cause, const std::string &context) {
    ++FLosses;
    if (!FCallback || FStopAsking) return true;
    bool continueRestructure = true;
    bool stopAsking = false;
    FCallback(cause, context, continueRestructure, stopAsking);
    if (stopAsking) FStopAsking = true;
    return continueRestructure;
  }
  int Losses() const { return FLosses; }

 private:
  const TDataLossCallback &FCallback;
  bool FStopAsking = false;
  int FLosses = 0;
};

}  // namespace kura
