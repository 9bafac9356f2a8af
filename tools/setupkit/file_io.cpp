#include "setupkit/file_io.h"

#include <stdio.h>

#include <algorithm>
#include <random>
#include <system_error>

#include "platform/platform.h"
#include "setupkit/system_error.h"

namespace fs = std::filesystem;

std::string ShowPath(const fs::path& path) { return path.u8string(); }

Problem CannotRead(const fs::path& path) {
  return Failure(ShowPath(path) + ": cannot be read (" + SystemErrorText(PlatformGetLastError()) + ")");
}

Problem ReadFileBytes(const fs::path& path, uint64_t limit, bool tail, std::vector<uint8_t>* bytes) {
  bytes->clear();
  std::error_code error;
  if (fs::is_directory(path, error)) return Failure(ShowPath(path) + ": is a folder");
  PlatformFile file = PlatformCreateFile(path.u16string().c_str(), false);
  if (file == PLATFORM_INVALID_FILE) return CannotRead(path);
  if (tail) {
    const uint32_t size = PlatformGetFileSize(file);
    PlatformSetFilePointer(file, size > limit ? static_cast<uint32_t>(size - limit) : 0);
  }
  uint8_t buffer[65536];
  Problem problem = NoProblem();
  while (bytes->size() < limit) {
    uint32_t got = 0;
    const uint64_t want = std::min<uint64_t>(sizeof(buffer), limit - bytes->size());
    if (!PlatformReadFile(file, buffer, static_cast<uint32_t>(want), &got)) {
      problem = CannotRead(path);
      break;
    }
    if (got == 0) break;
    bytes->insert(bytes->end(), buffer, buffer + got);
  }
  PlatformCloseHandle(file);
  return problem;
}

Problem ReadWholeFile(const fs::path& path, std::vector<uint8_t>* bytes) {
  return ReadFileBytes(path, UINT64_MAX, false, bytes);
}

FreshName MakeFreshName(const std::function<FreshName(const std::string& random)>& make) {
  std::random_device random;
  for (int attempt = 0; attempt < 16; ++attempt) {
    char digits[16];
    snprintf(digits, sizeof(digits), "%08x", static_cast<unsigned>(random()));
    const FreshName result = make(digits);
    if (result != kNameTaken) return result;
  }
  return kNameTaken;
}
