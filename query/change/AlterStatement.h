#pragma once
// ALTER TABLE: the table's current structure with the statement's alterations applied in
// order, handed to the storage side's restructure.
#include "query/sql/DataQuery.h"

namespace kura {

class TChangeExecutor;

void ExecuteAlterTable(TChangeExecutor &executor, TDataQuery &query);

}  // namespace kura
