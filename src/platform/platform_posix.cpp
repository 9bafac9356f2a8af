// POSIX backend: small stand-ins written from what callers expect of the Win32
// calls they replace. Paths arrive as UTF-16 with backslashes or slashes and are
// opened as UTF-8 with slashes; errno becomes the Win32 error number.
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/platform.h"

namespace {

thread_local uint32_t t_lastError = 0;

// Longest UTF-8 form of a 1024-unit path: three bytes a unit, plus the terminator.
const int kNativePathBytes = 3 * 1024 + 1;

// Win32 numbers without a name in platform.h.
const uint32_t kErrorFilenameTooLong = 206;
const uint32_t kErrorIoDevice = 1117;

// Windows-1252 bytes 0x80 to 0x9F; the five bytes Windows leaves undefined map to
// the control character of the same value, as MultiByteToWideChar does.
const char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

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
  int flags = forWrite ? (O_WRONLY | O_CREAT | O_TRUNC) : O_RDONLY;
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
