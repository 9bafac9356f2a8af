// POSIX backend: small stand-ins written from what callers expect of the Win32
// calls they replace. Paths arrive as UTF-16 with backslashes or slashes and are
// opened as UTF-8 with slashes; errno becomes the Win32 error number.
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "platform/cp1252.h"
#include "platform/platform.h"

namespace {

thread_local uint32_t t_lastError = 0;

// Longest UTF-8 form of a path buffer: three bytes a unit, plus the terminator.
const int kNativePathBytes = 3 * kPathUnits + 1;

// Win32 numbers without a name in platform.h.
const uint32_t kErrorFilenameTooLong = 206;
const uint32_t kErrorIoDevice = 1117;

int ToFd(PlatformFile file) { return static_cast<int>(reinterpret_cast<intptr_t>(file)); }

PlatformFile FromFd(int fd) { return reinterpret_cast<PlatformFile>(static_cast<intptr_t>(fd)); }

// UTF-16 to UTF-8 with '\' turned into '/'. Unpaired surrogates become U+FFFD.
// Returns false when the path does not fit.
bool NativePath(const char16_t* path, char* out, int capacity) {
  int n = 0;
  for (int i = 0; path[i] != 0; ++i) {
    uint32_t c = path[i];
    if (c >= 0xD800 && c <= 0xDBFF && path[i + 1] >= 0xDC00 && path[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (path[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c == '\\') c = '/';
    char bytes[4];
    int len;
    if (c < 0x80) {
      bytes[0] = static_cast<char>(c);
      len = 1;
    } else if (c < 0x800) {
      bytes[0] = static_cast<char>(0xC0 | (c >> 6));
      bytes[1] = static_cast<char>(0x80 | (c & 0x3F));
      len = 2;
    } else if (c < 0x10000) {
      bytes[0] = static_cast<char>(0xE0 | (c >> 12));
      bytes[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      bytes[2] = static_cast<char>(0x80 | (c & 0x3F));
      len = 3;
    } else {
      bytes[0] = static_cast<char>(0xF0 | (c >> 18));
      bytes[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      bytes[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      bytes[3] = static_cast<char>(0x80 | (c & 0x3F));
      len = 4;
    }
    if (n + len >= capacity) return false;
    memcpy(out + n, bytes, static_cast<size_t>(len));
    n += len;
  }
  out[n] = 0;
  return true;
}

// Win32 tells a missing file (2) from a missing folder on the way to it (3).
uint32_t MissingPathError(const char* nativePath) {
  char parent[kNativePathBytes];
  strcpy(parent, nativePath);
  char* slash = strrchr(parent, '/');
  if (slash == nullptr) return kErrorFileNotFound;
  if (slash == parent) return kErrorFileNotFound;
  *slash = 0;
  struct stat st;
  if (stat(parent, &st) == 0 && S_ISDIR(st.st_mode)) return kErrorFileNotFound;
  return kErrorPathNotFound;
}

uint32_t ErrnoToWin32(int error, const char* nativePath) {
  switch (error) {
    case ENOENT: return nativePath != nullptr ? MissingPathError(nativePath) : kErrorFileNotFound;
    case ENOTDIR: return kErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ELOOP:
    case ETXTBSY: return kErrorAccessDenied;
    case EEXIST: return kErrorAlreadyExists;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return kErrorDiskFull;
    case EBADF: return kErrorInvalidHandle;
    case ENOMEM: return kErrorNotEnoughMemory;
    case ENAMETOOLONG: return kErrorFilenameTooLong;
    default: return kErrorIoDevice;
  }
}

}  // namespace

uint32_t PlatformGetLastError() { return t_lastError; }

void PlatformSetLastError(uint32_t error) { t_lastError = error; }

PlatformFile PlatformCreateFile(const char16_t* path, bool forWrite) {
  char native[kNativePathBytes];
  if (!NativePath(path, native, kNativePathBytes)) {
    t_lastError = kErrorFilenameTooLong;
    return PLATFORM_INVALID_FILE;
  }
  // A file is never written through a symbolic link in its place.
  int flags = forWrite ? (O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW) : O_RDONLY;
  int fd = open(native, flags | O_CLOEXEC, 0644);
  if (fd < 0) {
    t_lastError = ErrnoToWin32(errno, native);
    return PLATFORM_INVALID_FILE;
  }
  // CreateFile refuses a folder; open(2) lets one be read.
  struct stat st;
  if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    close(fd);
    t_lastError = kErrorAccessDenied;
    return PLATFORM_INVALID_FILE;
  }
  t_lastError = 0;
  return FromFd(fd);
}

bool PlatformReadFile(PlatformFile file, void* buffer, uint32_t size, uint32_t* got) {
  // ReadFile on a disk file returns all requested bytes unless the file ends first.
  uint32_t total = 0;
  while (total < size) {
    ssize_t n = read(ToFd(file), static_cast<char*>(buffer) + total, size - total);
    if (n < 0) {
      if (errno == EINTR) continue;
      t_lastError = ErrnoToWin32(errno, nullptr);
      *got = total;
      return false;
    }
    if (n == 0) break;
    total += static_cast<uint32_t>(n);
  }
  *got = total;
  return true;
}

bool PlatformWriteFile(PlatformFile file, const void* buffer, uint32_t size, uint32_t* put) {
  uint32_t total = 0;
  while (total < size) {
    ssize_t n = write(ToFd(file), static_cast<const char*>(buffer) + total, size - total);
    if (n < 0) {
      if (errno == EINTR) continue;
      t_lastError = ErrnoToWin32(errno, nullptr);
      *put = total;
      return false;
    }
    total += static_cast<uint32_t>(n);
  }
  *put = total;
  return true;
}

uint32_t PlatformSetFilePointer(PlatformFile file, uint32_t offset) {
  if (lseek(ToFd(file), static_cast<off_t>(offset), SEEK_SET) < 0) {
    t_lastError = ErrnoToWin32(errno, nullptr);
    return 0xFFFFFFFFu;
  }
  return offset;
}

uint32_t PlatformGetFileSize(PlatformFile file) {
  struct stat st;
  if (fstat(ToFd(file), &st) != 0) {
    t_lastError = ErrnoToWin32(errno, nullptr);
    return 0xFFFFFFFFu;
  }
  return static_cast<uint32_t>(static_cast<uint64_t>(st.st_size) & 0xFFFFFFFFu);
}

bool PlatformCloseHandle(PlatformFile file) {
  if (close(ToFd(file)) != 0) {
    t_lastError = ErrnoToWin32(errno, nullptr);
    return false;
  }
  return true;
}

bool PlatformPathExists(const char16_t* path) {
  char native[kNativePathBytes];
  struct stat st;
  return NativePath(path, native, kNativePathBytes) && native[0] != 0 && stat(native, &st) == 0;
}

int PlatformAnsiToWide(const char* source, char16_t* dest, int destUnits) {
  const unsigned char* s = reinterpret_cast<const unsigned char*>(source);
  int length = static_cast<int>(strlen(source)) + 1;
  if (destUnits <= 0) return length;
  int n = length <= destUnits ? length : destUnits;
  for (int i = 0; i < n; ++i) dest[i] = (s[i] >= 0x80 && s[i] < 0xA0) ? kCp1252High[s[i] - 0x80] : s[i];
  if (n < length) {
    t_lastError = kErrorInsufficientBuffer;
    return 0;
  }
  return length;
}

int PlatformWideToAnsi(const char16_t* source, char* dest, int destBytes) {
  int length = 0;
  while (source[length] != 0) ++length;
  ++length;
  if (destBytes <= 0) return length;
  int n = length <= destBytes ? length : destBytes;
  for (int i = 0; i < n; ++i) {
    char16_t c = source[i];
    unsigned char b = '?';
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
      b = static_cast<unsigned char>(c);
    } else {
      for (int k = 0; k < 32; ++k) {
        if (kCp1252High[k] == c) {
          b = static_cast<unsigned char>(0x80 + k);
          break;
        }
      }
    }
    dest[i] = static_cast<char>(b);
  }
  if (n < length) {
    t_lastError = kErrorInsufficientBuffer;
    return 0;
  }
  return length;
}

bool PlatformCreateDirectory(const char16_t* path) {
  char native[kNativePathBytes];
  if (!NativePath(path, native, kNativePathBytes)) {
    t_lastError = kErrorFilenameTooLong;
    return false;
  }
  if (mkdir(native, 0755) != 0) {
    // A missing parent is ERROR_PATH_NOT_FOUND for CreateDirectoryW, never 2.
    t_lastError = errno == ENOENT ? kErrorPathNotFound : ErrnoToWin32(errno, native);
    return false;
  }
  return true;
}

bool PlatformLocalTimeToFileTime(const PlatformDateTime* local, uint64_t* fileTime) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int y = local->year, m = local->month, d = local->day;
  bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  if (y < 1601 || y > 30827 || m < 1 || m > 12 || d < 1 ||
      d > kDays[m - 1] + (m == 2 && leap ? 1 : 0) || local->hour > 23 || local->minute > 59 ||
      local->second > 59 || local->milliseconds > 999) {
    t_lastError = 87;  // ERROR_INVALID_PARAMETER
    return false;
  }
  struct tm tm = {};
  tm.tm_year = y - 1900;
  tm.tm_mon = m - 1;
  tm.tm_mday = d;
  tm.tm_hour = local->hour;
  tm.tm_min = local->minute;
  tm.tm_sec = local->second;
  tm.tm_isdst = -1;
  time_t t = mktime(&tm);
  if (t == static_cast<time_t>(-1) && !(tm.tm_year == 69 && tm.tm_mon == 11 && tm.tm_mday == 31)) {
    t_lastError = 87;
    return false;
  }
  const int64_t kSecondsFrom1601To1970 = 11644473600;
  *fileTime = static_cast<uint64_t>((static_cast<int64_t>(t) + kSecondsFrom1601To1970) * 10000000 +
                                    local->milliseconds * 10000);
  return true;
}

bool PlatformSetFileTime(PlatformFile file, uint64_t fileTime) {
  // POSIX files keep no creation time; access and modification take the value.
  const int64_t k100nsFrom1601To1970 = 116444736000000000;
  int64_t unix100ns = static_cast<int64_t>(fileTime) - k100nsFrom1601To1970;
  struct timespec times[2];
  times[0].tv_sec = static_cast<time_t>(unix100ns / 10000000);
  times[0].tv_nsec = static_cast<long>((unix100ns % 10000000) * 100);
  if (times[0].tv_nsec < 0) {
    times[0].tv_sec -= 1;
    times[0].tv_nsec += 1000000000;
  }
  times[1] = times[0];
  if (futimens(ToFd(file), times) != 0) {
    t_lastError = ErrnoToWin32(errno, nullptr);
    return false;
  }
  return true;
}

namespace {

// UTF-8 to UTF-16; false when it does not fit. Invalid bytes become U+FFFD.
bool Utf8ToUtf16(const char* text, char16_t* out, int capacity) {
  const unsigned char* s = reinterpret_cast<const unsigned char*>(text);
  int n = 0;
  while (*s != 0) {
    uint32_t c = *s++;
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    if (c >= 0x80 && extra == 0) c = 0xFFFD;
    else if (extra > 0) c &= 0x3F >> extra;
    for (; extra > 0; --extra) {
      if ((*s & 0xC0) != 0x80) {
        c = 0xFFFD;
        break;
      }
      c = (c << 6) | (*s++ & 0x3F);
    }
    if (c >= 0x10000) {
      if (n + 2 >= capacity) return false;
      c -= 0x10000;
      out[n++] = static_cast<char16_t>(0xD800 + (c >> 10));
      out[n++] = static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      if (n + 1 >= capacity) return false;
      out[n++] = static_cast<char16_t>(c);
    }
  }
  out[n] = 0;
  return true;
}

}  // namespace

uint32_t PlatformGetFullPathName(const char16_t* path, char16_t* dest, uint32_t units) {
  const int kWork = 4096;
  char16_t joined[kWork];
  int n = 0;
  if (!IsSeparator(path[0])) {
    char cwd[kNativePathBytes];
    if (getcwd(cwd, sizeof cwd) == nullptr || !Utf8ToUtf16(cwd, joined, kWork - 1)) {
      t_lastError = kErrorFilenameTooLong;
      return 0;
    }
    while (joined[n] != 0) ++n;
    joined[n++] = '/';
  }
  for (int i = 0; path[i] != 0; ++i) {
    if (n + 1 >= kWork) {
      t_lastError = kErrorFilenameTooLong;
      return 0;
    }
    joined[n++] = path[i];
  }
  joined[n] = 0;

  // Collapse separators, "." and ".." component by component, in place.
  char16_t full[kWork];
  int f = 0;
  for (int i = 0; joined[i] != 0;) {
    while (IsSeparator(joined[i])) ++i;
    int start = i;
    while (joined[i] != 0 && !IsSeparator(joined[i])) ++i;
    int len = i - start;
    if (len == 0 || (len == 1 && joined[start] == '.')) continue;
    if (len == 2 && joined[start] == '.' && joined[start + 1] == '.') {
      while (f > 0 && full[f - 1] != '/') --f;
      if (f > 0) --f;
      continue;
    }
    full[f++] = '/';
    for (int k = 0; k < len; ++k) full[f++] = joined[start + k];
  }
  if (f == 0) full[f++] = '/';
  bool trailing = n > 0 && IsSeparator(joined[n - 1]) && f > 1;
  if (trailing) full[f++] = '/';
  full[f] = 0;

  if (static_cast<uint32_t>(f) + 1 > units) return static_cast<uint32_t>(f) + 1;
  for (int k = 0; k <= f; ++k) dest[k] = full[k];
  return static_cast<uint32_t>(f);
}
