// ALTER TABLE: the table is opened alone, its structure read and altered, and the storage side
// restructures it (keeping backup files unless NOBACKUP).
#include "query/change/AlterStatement.h"

#include "engine/cursor/DataCursor.h"
#include "engine/table/DataDirectory.h"
#include "engine/table/DataSession.h"
#include "query/change/AlterStructure.h"
#include "query/change/ChangeExecutor.h"

namespace kura {

void ExecuteAlterTable(TChangeExecutor &executor, TDataQuery &query) {
  executor.WithTableAlone(query.Target, [&](TDataCursor &cursor) {
    TAlterStructure structure(cursor);
    for (const TAlteration &alteration : query.Alterations) structure.Apply(alteration);
    structure.ApplyOptions(query.TableOptions);
    structure.SetNoBackup(query.NoBackup);
    const TRestructureDefinition definition = structure.Definition();
    // As with CREATE TABLE, whoever encrypts the table may go on using it.
    if (definition.Encrypted && query.TableOptions.EncryptedGiven) executor.Session().AddPassword(definition.Password);
    // No one is asked about losses here: values that cannot be carried over are dropped.
    cursor.RestructureTable(definition);
  });
}

}  // namespace kura
