#include <gtest/gtest.h>

#include "engine/errors/EngineError.h"

using namespace kura;

namespace {

EKuraEngineError Catch(uint16_t code, const ErrorTexts &texts, int osError = 0) {
  try {
    RaiseEngineErrorOS(code, osError, texts);
  } catch (const EKuraEngineError &e) {
    return e;
  }
  ADD_FAILURE() << "nothing was raised";
  return EKuraEngineError(ErrorContextData{});
}

struct MessageCase {
  uint16_t code;
  const char *expected;
};

}  // namespace

TEST(EngineError, EveryCodeFillsItsPlaceholdersInOrder) {
  ErrorTexts t;
  t.Table = "figure";
  t.Field = "MNB";
  t.Index = "ByTes";
  t.Message = "bad token";
  t.Database = "kyozai";
  const MessageCase cases[] = {
      {KURA_BOF, "Beginning of table 'figure' unexpectedly encountered"},
      {KURA_EOF, "End of table 'figure' unexpectedly encountered"},
      {KURA_KEYORRECDELETED,
       "Record has been changed or deleted by another user, session, or table cursor in the table 'figure'"},
      {KURA_NOCURRREC, "No current record in the table 'figure'"},
      {KURA_RECNOTFOUND, "Record not found in the table 'figure'"},
      {KURA_ENDOFBLOB, "End of blob data in the table 'figure' reached prematurely"},
      {KURA_HEADERCORRUPT, "Header information corrupt in the table 'figure'"},
      {KURA_FILECORRUPT, "Data record buffers corrupt in the table 'figure'"},
      {KURA_MEMOCORRUPT, "BLOB block buffers corrupt in the table 'figure'"},
      {KURA_INDEXCORRUPT, "Index page buffers corrupt in the table 'figure'"},
      {KURA_READERR, "Error reading from the table 'figure'"},
      {KURA_WRITEERR, "Error writing to the table 'figure'"},
      {KURA_FILEDELETEFAIL, "Cannot delete the table 'figure'"},
      {KURA_FILENOACCESS, "Error accessing header information for the table 'figure'"},
      {KURA_RECTOOBIG, "Maximum record size exceeded in the table 'figure'"},
      {KURA_TABLEFULL, "The table 'figure' is full and cannot contain any more data"},
      {KURA_INTERNALLIMIT, "Too many filters defined for the table 'figure'"},
      {KURA_INDEXLIMIT,
       "Maximum or minimum limits on number of indexes or fields in an index exceeded in the table 'figure'"},
      {KURA_FLDLIMIT,
       "Maximum or minimum limits on number of fields, auto-increment field value, or field size exceeded in the "
       "table 'figure'"},
      {KURA_OPENBLOBLIMIT, "Too many blobs opened in the table 'figure'"},
      {KURA_BLOBLIMIT, "Too many blob fields or invalid blob block size specified for the table 'figure'"},
      {KURA_KEYVIOL, "Duplicate key found in the index 'ByTes' of the table 'figure'"},
      {KURA_MINVALERR, "The value for the field 'MNB' in the table 'figure' is below the minimum allowable value"},
      {KURA_MAXVALERR, "The value for the field 'MNB' in the table 'figure' is above the maximum allowable value"},
      {KURA_REQDERR, "A value must be provided for the field 'MNB' in the table 'figure'"},
      {KURA_OUTOFRANGE, "Invalid field number or name 'MNB' specified for the table 'figure'"},
      {KURA_PRIMARYKEYREDEFINE,
       "A primary index is already defined for the table 'figure' and cannot be added again"},
      {KURA_INVALIDBLOBOFFSET, "Invalid blob offset into the table 'figure' specified"},
      {KURA_INVALIDFLDTYPE, "Invalid field definition specified for the field 'MNB' in the table 'figure'"},
      {KURA_INVALIDVCHKSTRUCT,
       "Invalid default, min or max validity check, or expression specified for the field 'MNB' in the table "
       "'figure'"},
      {KURA_INDEXNAMEREQUIRED, "The secondary index name is missing or not specified for the table 'figure'"},
      {KURA_INVALIDPASSWORD, "Password provided for the table 'figure' is invalid"},
      {KURA_INVALIDINDEXNAME, "Invalid secondary index name 'ByTes' specified for the table 'figure'"},
      {KURA_INVALIDIDXDESC, "Invalid field number 'MNB' specified in the index 'ByTes' for the table 'figure'"},
      {KURA_INVALIDKEY, "Invalid key size specified in the index 'ByTes' for the table 'figure'"},
      {KURA_INDEXEXISTS, "The secondary index 'ByTes' already exists for the table 'figure'"},
      {KURA_INVALIDBLOBLEN, "Invalid blob length in the table 'figure'"},
      {KURA_INVALIDBLOBHANDLE, "Invalid blob handle for the table 'figure' specified"},
      {KURA_TABLEOPEN, "The table 'figure' is already in use"},
      {KURA_INVALIDFIELDNAME, "Invalid or duplicate field name 'MNB' specified for the table 'figure'"},
      {KURA_NOSUCHFILTER, "Invalid filter handle specified for the table 'figure'"},
      {KURA_INVALIDFILTER, "Filter error for the table 'figure' - bad token"},
      {KURA_INVALIDINDEXDELETE, "The primary index cannot be removed from the table 'figure'"},
      {KURA_LOCKED, "The table 'figure' is already locked by another user"},
      {KURA_UNLOCKFAILED, "Cannot unlock table or record in the table 'figure'"},
      {KURA_LOCKTIMEOUT, "General lock failure with the table 'figure'"},
      {KURA_NEEDEXCLACCESS, "The table 'figure' must be opened exclusively"},
      {KURA_RECLOCKFAILED, "Record in the table 'figure' is in use by another user"},
      {KURA_NOTSUFFTABLERIGHTS, "Insufficient rights to the table 'figure', a password is required"},
      {KURA_NOTABLOB, "Invalid blob field 'MNB' specified for the table 'figure'"},
      {KURA_NOTINITIALIZED, "The database engine is not initialized"},
      {KURA_OSENOENT, "Table 'figure' does not exist"},
      {KURA_OSEMFILE, "Too many operating system files open while attempting to open the table 'figure'"},
      {KURA_OSEACCES, "Access denied to table 'figure'"},
      {KURA_OSEBADF, "Invalid operating system file handle for the table 'figure'"},
      {KURA_OSENOMEM, "There is insufficient operating system memory available for the current operation"},
      {KURA_OSEINVMEM, "Invalid length for the in-memory table 'figure'"},
      {KURA_OSENODEV, "Access denied to logical operating system device for the table 'figure'"},
      {KURA_OSENOTSAM, "The table 'figure' has been moved"},
      {KURA_IMPORTERROR, "An error occurred during the import into the table 'figure' - bad token"},
      {KURA_EXPORTERROR, "An error occurred during the export from the table 'figure' - bad token"},
      {KURA_SQLPARSE, "SQL error - bad token"},
      {KURA_OLDVERSION, "The table 'figure' is not the correct version"},
      {KURA_SEARCHCOLREQD, "Invalid field 'MNB' specified for the index 'ByTes' in the table 'figure'"},
      {KURA_TABLEEXISTS, "The table 'figure' already exists"},
      {KURA_COMPRESS, "Error compressing data"},
      {KURA_UNCOMPRESS, "Error uncompressing data"},
      {KURA_CANNOTLOADLDDRV, "The language driver for the table 'figure' is not available or installed"},
      {KURA_REMOTECALLBACK, "An unknown error occurred"},
      {KURA_REMOTECOMMLOST, "An unknown error occurred"},
  };
  for (const auto &c : cases) {
    EKuraEngineError e = Catch(c.code, t);
    EXPECT_EQ(e.ErrorCode(), c.code);
    EXPECT_EQ(e.EngineMessage(), c.expected) << "code " << c.code;
    EXPECT_EQ(std::string(e.what()), "Kura Engine Error # " + std::to_string(c.code) + " " + c.expected);
    EXPECT_EQ(e.Context().Database, "kyozai");
  }
}

TEST(EngineError, UnknownOsErrorNamesTheNumberThenTheTable) {
  ErrorTexts t;
  t.Table = "/tmp/x.DAT";
  EKuraEngineError e = Catch(KURA_OSUNKNOWN, t, 1234);
  EXPECT_STREQ(e.what(), "Kura Engine Error # 11047 An unknown operating system error 1234 occurred with the table "
                         "'/tmp/x.DAT'");
  EXPECT_EQ(e.Context().OSError, 1234);
}

TEST(EngineError, RemoteCodesAreNumberedInOrder) {
  EXPECT_EQ(KURA_REMOTEUNKNOWN, 11279);
  EXPECT_EQ(KURA_REMOTEINVREQUEST, 11299);
}

TEST(EngineError, SqlErrorAndLastContext) {
  try {
    RaiseSqlError("Expected FROM but instead found 'x'");
    FAIL();
  } catch (const EKuraEngineError &e) {
    EXPECT_STREQ(e.what(), "Kura Engine Error # 11949 SQL error - Expected FROM but instead found 'x'");
  }
  EXPECT_EQ(LastErrorContext().ErrorCode, KURA_SQLPARSE);
}

TEST(EngineError, ContextTextsAreCutTo255BytesOnACharacterBoundary) {
  ErrorTexts t;
  t.Table = std::string(254, 'a') + "あ";  // the 3-byte character would straddle byte 255
  EKuraEngineError e = Catch(KURA_OSENOENT, t);
  EXPECT_EQ(e.Context().Table, std::string(254, 'a'));
}

TEST(EngineError, ErrorCodeOfForeignExceptionsIsUnknownOsError) {
  std::runtime_error other("x");
  EXPECT_EQ(ErrorCodeOf(other), KURA_OSUNKNOWN);
  EXPECT_EQ(ErrorCodeOf(Catch(KURA_EOF, {})), KURA_EOF);
}
