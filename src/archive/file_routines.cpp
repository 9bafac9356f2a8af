#include "archive/file_routines.h"

#include <string.h>

#include "text/bounded_text.h"

namespace {

// `work` holds the first units of `path` and is cut to each parent on the way
// up and mended on the way down, so a deep climb costs no path buffer per level.
int CreateTreeStep(const char16_t* target, char16_t* work, const char16_t* path) {
  if (PlatformCreateDirectory(target)) return kTreeCreated;
  if (LastErrorOr(0) != kErrorPathNotFound) return kTreeNotCreated;
  StripFileName(work);
  int cut = WideLength(work);
  // Above a drive root ("C:\", "C:") or a path's first component there is nothing to create.
  if (cut == 0 || (cut <= 3 && work[1] == u':')) return kTreeNotCreated;
  int result = CreateTreeStep(work, work, path);
  work[cut] = path[cut];
  if (result != kTreeCreated) return result;
  return PlatformCreateDirectory(target) ? kTreeCreated : kTreeParentsOnly;
}

}  // namespace

int OpenFileHandle(const char16_t* path, bool forWrite, PlatformFile* file) {
  PlatformFile opened = PlatformCreateFile(path, forWrite);
  if (opened == PLATFORM_INVALID_FILE) return LastErrorOr(kErrorAccessDenied);
  *file = opened;
  return 0;
}

void CloseFileHandle(PlatformFile file) {
  if (file != PLATFORM_INVALID_FILE) PlatformCloseHandle(file);
}

uint32_t FileSizeOrZero(PlatformFile file) {
  uint32_t size = PlatformGetFileSize(file);
  return size == 0xFFFFFFFFu ? 0 : size;
}

bool PathExists(const char16_t* path) { return path != nullptr && PlatformPathExists(path); }

int LastErrorOr(int fallback) {
  uint32_t error = PlatformGetLastError();
  return error != 0 ? static_cast<int>(error) : fallback;
}

int CreateDirectoryTree(const char16_t* path) {
  if (path == nullptr) return kTreeNotCreated;
  char16_t work[kPathUnits];
  SetWide(path, work, kPathUnits);
  return CreateTreeStep(path, work, path);
}

void MakeFullPath(char16_t* path) {
  char16_t full[kPathUnits];
  uint32_t length = PlatformGetFullPathName(path, full, kPathUnits);
  // A result of kPathUnits or more is the size needed, and `full` holds nothing then.
  if (length != 0 && length < static_cast<uint32_t>(kPathUnits)) SetWide(full, path, kPathUnits);
}

void* AllocZeroed(size_t size) {
  if (size == 0) return nullptr;
  void* block = ::operator new(size, std::nothrow);
  if (block != nullptr) memset(block, 0, size);
  return block;
}
