// errno → engine code.
#include "engine/file/OSErrorMap.h"

#include <cerrno>

#include "engine/errors/ErrorCodes.h"

namespace kura {

uint16_t MapOSError(int osError) {
  switch (osError) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
      return KURA_OSENOENT;
    case EMFILE:
    case ENFILE:
      return KURA_OSEMFILE;
    case EACCES:
    case EPERM:
    case EROFS:
    case EAGAIN:
    case ETXTBSY:
    case EBUSY:
      return KURA_OSEACCES;
    case EBADF:
      return KURA_OSEBADF;
    case ENOMEM:
      return KURA_OSENOMEM;
    case ENODEV:
    case ENXIO:
      return KURA_OSENODEV;
    case EXDEV:
      return KURA_OSENOTSAM;
    default:
      return KURA_OSUNKNOWN;
  }
}

}  // namespace kura
