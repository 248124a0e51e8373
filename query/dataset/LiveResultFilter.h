#pragma once
// What a live query result puts on its cursor over the source table: the rows the SELECT
// chose, and for records written later the SELECT's conditions tested again; and the values
// of calculated columns.
#include <cstdint>
#include <vector>

#include "engine/cursor/CursorFilter.h"

namespace kura {

class TDataCursor;
class TSelectQuery;
struct TSelectPlan;

class TLiveResultFilter : public TCursorFilter {
 public:
  TLiveResultFilter(TSelectQuery &select, TSelectPlan &plan, const std::vector<int32_t> &records);
  bool Accepts(TDataCursor &cursor, const uint8_t *record) override;
  bool BuildRecordSet(TDataCursor &cursor, const TRecordsBitmap &candidates, TRecordsBitmap &result) override;

 private:
  TSelectQuery &FSelect;
  TSelectPlan &FPlan;
  std::vector<int32_t> FRecords;
  bool FSetUsed = false;
};

// Evaluates the plan's calculated columns (catalogue positions given) into a record buffer.
void CalculateLiveColumns(TSelectQuery &select, TSelectPlan &plan, const std::vector<int> &columnIndexes,
                          TDataCursor &cursor, uint8_t *record);

}  // namespace kura
