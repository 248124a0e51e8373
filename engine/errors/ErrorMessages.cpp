// The message of every engine error code and the values that fill its placeholders.
#include <cerrno>
#include <array>
#include <string>

#include "engine/errors/EngineError.h"

namespace kura {
namespace {

// Which context value fills each "%s", in order: T table, F field, I index, X extra text,
// O operating-system error number in decimal.
struct MessageEntry {
  uint16_t Code;
  const char *Pattern;
  const char *Values;
};

constexpr MessageEntry kMessages[] = {
    {KURA_BOF, "Beginning of table '%s' unexpectedly encountered", "T"},
    {KURA_EOF, "End of table '%s' unexpectedly encountered", "T"},
    {KURA_KEYORRECDELETED,
     "Record has been changed or deleted by another user, session, or table cursor in the table '%s'", "T"},
    {KURA_NOCURRREC, "No current record in the table '%s'", "T"},
    {KURA_RECNOTFOUND, "Record not found in the table '%s'", "T"},
    {KURA_ENDOFBLOB, "End of blob data in the table '%s' reached prematurely", "T"},
    {KURA_HEADERCORRUPT, "Header information corrupt in the table '%s'", "T"},
    {KURA_FILECORRUPT, "Data record buffers corrupt in the table '%s'", "T"},
    {KURA_MEMOCORRUPT, "BLOB block buffers corrupt in the table '%s'", "T"},
    {KURA_INDEXCORRUPT, "Index page buffers corrupt in the table '%s'", "T"},
    {KURA_INDEXMISSING,
     "The index file '%s' of the table '%s' is missing; open the table exclusively to make it again without its "
     "keys",
     "XT"},
    {KURA_READERR, "Error reading from the table '%s'", "T"},
    {KURA_WRITEERR, "Error writing to the table '%s'", "T"},
    {KURA_FILEDELETEFAIL, "Cannot delete the table '%s'", "T"},
    {KURA_FILENOACCESS, "Error accessing header information for the table '%s'", "T"},
    {KURA_RECTOOBIG, "Maximum record size exceeded in the table '%s'", "T"},
    {KURA_TABLEFULL, "The table '%s' is full and cannot contain any more data", "T"},
    {KURA_INTERNALLIMIT, "Too many filters defined for the table '%s'", "T"},
    {KURA_INDEXLIMIT,
     "Maximum or minimum limits on number of indexes or fields in an index exceeded in the table '%s'", "T"},
    {KURA_FLDLIMIT,
     "Maximum or minimum limits on number of fields, auto-increment field value, or field size exceeded in the "
     "table '%s'",
     "T"},
    {KURA_OPENBLOBLIMIT, "Too many blobs opened in the table '%s'", "T"},
    {KURA_BLOBLIMIT, "Too many blob fields or invalid blob block size specified for the table '%s'", "T"},
    {KURA_KEYVIOL, "Duplicate key found in the index '%s' of the table '%s'", "IT"},
    {KURA_MINVALERR, "The value for the field '%s' in the table '%s' is below the minimum allowable value", "FT"},
    {KURA_MAXVALERR, "The value for the field '%s' in the table '%s' is above the maximum allowable value", "FT"},
    {KURA_REQDERR, "A value must be provided for the field '%s' in the table '%s'", "FT"},
    {KURA_OUTOFRANGE, "Invalid field number or name '%s' specified for the table '%s'", "FT"},
    {KURA_PRIMARYKEYREDEFINE, "A primary index is already defined for the table '%s' and cannot be added again",
     "T"},
    {KURA_INVALIDBLOBOFFSET, "Invalid blob offset into the table '%s' specified", "T"},
    {KURA_INVALIDFLDTYPE, "Invalid field definition specified for the field '%s' in the table '%s'", "FT"},
    {KURA_INVALIDVCHKSTRUCT,
     "Invalid default, min or max validity check, or expression specified for the field '%s' in the table '%s'",
     "FT"},
    {KURA_INDEXNAMEREQUIRED, "The secondary index name is missing or not specified for the table '%s'", "T"},
    {KURA_INVALIDPASSWORD, "Password provided for the table '%s' is invalid", "T"},
    {KURA_INVALIDINDEXNAME, "Invalid secondary index name '%s' specified for the table '%s'", "IT"},
    {KURA_INVALIDIDXDESC, "Invalid field number '%s' specified in the index '%s' for the table '%s'", "FIT"},
    {KURA_INVALIDKEY, "Invalid key size specified in the index '%s' for the table '%s'", "IT"},
    {KURA_INDEXEXISTS, "The secondary index '%s' already exists for the table '%s'", "IT"},
    {KURA_INVALIDBLOBLEN, "Invalid blob length in the table '%s'", "T"},
    {KURA_INVALIDBLOBHANDLE, "Invalid blob handle for the table '%s' specified", "T"},
    {KURA_TABLEOPEN, "The table '%s' is already in use", "T"},
    {KURA_INVALIDFIELDNAME, "Invalid or duplicate field name '%s' specified for the table '%s'", "FT"},
    {KURA_NOSUCHFILTER, "Invalid filter handle specified for the table '%s'", "T"},
    {KURA_INVALIDFILTER, "Filter error for the table '%s' - %s", "TX"},
    {KURA_INVALIDINDEXDELETE, "The primary index cannot be removed from the table '%s'", "T"},
    {KURA_LOCKED, "The table '%s' is already locked by another user", "T"},
    {KURA_UNLOCKFAILED, "Cannot unlock table or record in the table '%s'", "T"},
    {KURA_LOCKTIMEOUT, "General lock failure with the table '%s'", "T"},
    {KURA_NEEDEXCLACCESS, "The table '%s' must be opened exclusively", "T"},
    {KURA_RECLOCKFAILED, "Record in the table '%s' is in use by another user", "T"},
    {KURA_NOTSUFFTABLERIGHTS, "Insufficient rights to the table '%s', a password is required", "T"},
    {KURA_NOTABLOB, "Invalid blob field '%s' specified for the table '%s'", "FT"},
    {KURA_NOTINITIALIZED, "The database engine is not initialized", ""},
    {KURA_OSENOENT, "Table '%s' does not exist", "T"},
    {KURA_OSEMFILE, "Too many operating system files open while attempting to open the table '%s'", "T"},
    {KURA_OSEACCES, "Access denied to table '%s'", "T"},
    {KURA_OSEBADF, "Invalid operating system file handle for the table '%s'", "T"},
    {KURA_OSENOMEM, "There is insufficient operating system memory available for the current operation", ""},
    {KURA_OSEINVMEM, "Invalid length for the in-memory table '%s'", "T"},
    {KURA_OSENODEV, "Access denied to logical operating system device for the table '%s'", "T"},
    {KURA_OSENOTSAM, "The table '%s' has been moved", "T"},
    {KURA_OSUNKNOWN, "An unknown operating system error %s occurred with the table '%s'", "OT"},
    {KURA_IMPORTERROR, "An error occurred during the import into the table '%s' - %s", "TX"},
    {KURA_EXPORTERROR, "An error occurred during the export from the table '%s' - %s", "TX"},
    {KURA_SQLPARSE, "SQL error - %s", "X"},
    {KURA_OLDVERSION, "The table '%s' is not the correct version", "T"},
    {KURA_SEARCHCOLREQD, "Invalid field '%s' specified for the index '%s' in the table '%s'", "FIT"},
    {KURA_TABLEEXISTS, "The table '%s' already exists", "T"},
    {KURA_COMPRESS, "Error compressing data", ""},
    {KURA_UNCOMPRESS, "Error uncompressing data", ""},
    {KURA_CANNOTLOADLDDRV, "The language driver for the table '%s' is not available or installed", "T"},
};

constexpr const char *kUnknownError = "An unknown error occurred";

const MessageEntry *FindEntry(uint16_t code) {
  for (const auto &entry : kMessages)
    if (entry.Code == code) return &entry;
  return nullptr;
}

}  // namespace

const char *EngineErrorPattern(uint16_t code) {
  const MessageEntry *entry = FindEntry(code);
  return entry ? entry->Pattern : kUnknownError;
}

std::string EngineErrorMessage(const ErrorContextData &context) {
  const MessageEntry *entry = FindEntry(context.ErrorCode);
  if (!entry) return kUnknownError;
  std::string result;
  const char *values = entry->Values;
  for (const char *p = entry->Pattern; *p; ++p) {
    if (p[0] == '%' && p[1] == 's') {
      switch (*values ? *values++ : '\0') {
        case 'T': result += context.Table; break;
        case 'F': result += context.Field; break;
        case 'I': result += context.Index; break;
        case 'X': result += context.Message; break;
        case 'O': result += std::to_string(context.OSError); break;
        default: break;
      }
      ++p;
    } else {
      result += *p;
    }
  }
  // A write refused for want of space says so: nothing else is wrong with the table.
  if (context.ErrorCode == KURA_WRITEERR && context.OSError == ENOSPC) result += " - the disk is full";
  return result;
}

}  // namespace kura
