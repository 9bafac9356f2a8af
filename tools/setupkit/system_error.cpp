#include "setupkit/system_error.h"

#ifndef _WIN32
#include <errno.h>
#include <string.h>
#endif

namespace {

struct ErrorWords {
  uint32_t error;
  const char* words;
#ifndef _WIN32
  int errnos[5];  // the errno values the POSIX backend maps onto `error`, the usual one first; 0 ends
#endif
};

#ifdef _WIN32
#define ERRNOS(...)
#else
#define ERRNOS(...) , {__VA_ARGS__}
#endif

// The numbers the POSIX backend maps errno onto, and the usual Win32 ones beside them.
const ErrorWords kErrorWords[] = {
    {2, "file not found" ERRNOS(ENOENT)},
    {3, "path not found" ERRNOS(ENOENT, ENOTDIR)},
    {5, "access denied" ERRNOS(EACCES, EPERM, EROFS, EISDIR, ELOOP)},
    {6, "invalid handle" ERRNOS(EBADF)},
    {8, "not enough memory" ERRNOS(ENOMEM)},
    {32, "file in use" ERRNOS(ETXTBSY, EBUSY)},
    {39, "disk full" ERRNOS(ENOSPC, EDQUOT, EFBIG)},
    {80, "file exists" ERRNOS(EEXIST)},
    {87, "invalid parameter" ERRNOS(EINVAL)},
    {112, "disk full" ERRNOS(ENOSPC, EDQUOT, EFBIG)},
    {123, "invalid file name" ERRNOS(EINVAL)},
    {183, "file or folder exists" ERRNOS(EEXIST)},
    {206, "file name too long" ERRNOS(ENAMETOOLONG)},
    {1117, "I/O device error" ERRNOS(EIO)},
};

}  // namespace

std::string SystemErrorText(uint32_t error) {
  for (const ErrorWords& e : kErrorWords) {
    if (e.error != error) continue;
#ifdef _WIN32
    return std::string(e.words) + " (error " + std::to_string(error) + ")";
#else
    // errno still names the failure when nothing ran in between; otherwise the usual cause stands in.
    const int current = errno;
    int shown = e.errnos[0];
    for (int candidate : e.errnos) shown = candidate != 0 && candidate == current ? candidate : shown;
    return strerror(shown);
#endif
  }
  return "system error " + std::to_string(error);
}
