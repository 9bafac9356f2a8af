#include "shell/startup.h"

#include <gtest/gtest.h>

#include <string>

namespace {

HANDLE OpenForReading(const std::wstring& path) {
  return CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
}

}  // namespace

// Only the file this process started from counts as its own, not a copy of it
// with the same bytes (as one swapped in at the program's path would be).
TEST(Startup, OnlyTheRunningImagesOwnFileIsTheInstaller) {
  wchar_t own[MAX_PATH] = {0}, temp[MAX_PATH] = {0};
  ASSERT_NE(0u, GetModuleFileNameW(nullptr, own, MAX_PATH));
  ASSERT_NE(0u, GetTempPathW(MAX_PATH, temp));
  const std::wstring copy = std::wstring(temp) + L"startup-test-copy.exe";
  ASSERT_TRUE(CopyFileW(own, copy.c_str(), FALSE));
  HANDLE files[2] = {OpenForReading(own), OpenForReading(copy)};
  EXPECT_TRUE(IsRunningImageFile(files[0]));
  EXPECT_FALSE(IsRunningImageFile(files[1]));
  EXPECT_FALSE(IsRunningImageFile(INVALID_HANDLE_VALUE));
  for (HANDLE file : files) CloseHandle(file);
  DeleteFileW(copy.c_str());
}
