#include "uninstall/uninstall_files.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring TempFolder(const wchar_t* name) {
  wchar_t temp[MAX_PATH] = {0};
  GetTempPathW(MAX_PATH, temp);
  std::wstring folder = std::wstring(temp) + name;
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

void WriteFile(const std::wstring& path, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
  CloseHandle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr));
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring PendingDeletions() {
  wchar_t pending[8192] = {0};
  DWORD size = sizeof(pending) - sizeof(wchar_t);
  RegGetValueW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager",
               L"PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ, nullptr, pending, &size);
  std::wstring names(pending, size / sizeof(wchar_t));
  for (wchar_t& c : names) c = c == 0 ? L'|' : c;
  return names;
}

std::wstring OwnProgram() {
  wchar_t own[MAX_PATH] = {0};
  GetModuleFileNameW(nullptr, own, MAX_PATH);
  return own;
}

}  // namespace

// Only a file in use goes at the restart, and under a name of its own: the
// restart cannot delete a file installed at its old name since.
TEST(UninstallFiles, ReadOnlyIsDeletedHeldIsKeptAnImageInUseGoesAtRestartUnderAnotherName) {
  const std::wstring folder = TempFolder(L"uninstall-files"), readOnly = folder + L"\\ReadOnly.txt",
                     held = folder + L"\\Held.txt", image = folder + L"\\Image.exe";
  WriteFile(readOnly, FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(kFileRemoved, RemoveInstalledFile(reinterpret_cast<const char16_t*>(readOnly.c_str())));
  EXPECT_FALSE(Exists(readOnly));

  WriteFile(held);
  HANDLE open = CreateFileW(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(kFileKept, RemoveInstalledFile(reinterpret_cast<const char16_t*>(held.c_str())));
  CloseHandle(open);
  EXPECT_TRUE(Exists(held));

  ASSERT_TRUE(CopyFileW(OwnProgram().c_str(), image.c_str(), FALSE));
  HMODULE mapped = LoadLibraryExW(image.c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(nullptr, mapped);
  EXPECT_EQ(kFileAtRestart, RemoveInstalledFile(reinterpret_cast<const char16_t*>(image.c_str())));
  FreeLibrary(mapped);
  EXPECT_FALSE(Exists(image));
  const std::wstring pending = PendingDeletions();
  EXPECT_EQ(std::wstring::npos, pending.find(image)) << pending;
  EXPECT_NE(std::wstring::npos, pending.find(folder + L"\\del")) << pending;
}

// From the copy until the handle is closed, nobody can write, delete or rename the copy.
TEST(UninstallFiles, TheCopyIsEqualAndCannotBeChangedWhileHeld) {
  char16_t copy[1024];
  const std::wstring own = OwnProgram();
  HANDLE held = CopyProgramHeld(reinterpret_cast<const char16_t*>(own.c_str()), copy);
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  const std::wstring path(reinterpret_cast<const wchar_t*>(copy));
  EXPECT_EQ(own.substr(own.find_last_of(L'\\')), path.substr(path.find_last_of(L'\\')));
  EXPECT_EQ(INVALID_HANDLE_VALUE,
            CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_EXISTING, 0, nullptr));
  EXPECT_FALSE(DeleteFileW(path.c_str()));
  EXPECT_FALSE(MoveFileW(path.c_str(), (path + L".old").c_str()));
  CloseHandle(held);
  EXPECT_TRUE(DeleteFileW(path.c_str()));
  EXPECT_TRUE(RemoveDirectoryW(path.substr(0, path.find_last_of(L'\\')).c_str()));
}

// What /X= names must be another process: not this one, a thread, an event or no handle.
TEST(UninstallFiles, OnlyAnotherProcessIsTheOriginal) {
  HANDLE own = nullptr, event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &own, 0, FALSE,
                  DUPLICATE_SAME_ACCESS);
  for (HANDLE bad : {GetCurrentProcess(), own, GetCurrentThread(), event, reinterpret_cast<HANDLE>(12344)}) {
    EXPECT_FALSE(IsOtherProcess(bad)) << bad;
  }
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION child = {};
  std::wstring command = L"\"" + OwnProgram() + L"\" --gtest_list_tests";
  ASSERT_TRUE(CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child));
  EXPECT_TRUE(IsOtherProcess(child.hProcess));
  WaitForSingleObject(child.hProcess, 10000);
  for (HANDLE handle : {child.hProcess, child.hThread, own, event}) CloseHandle(handle);
}

// The folder deleted is the one held, wherever it went; a folder put at its old path stays.
TEST(UninstallFiles, TheHeldFolderIsDeletedNotADecoyAtItsOldPath) {
  const std::wstring folder = TempFolder(L"uninstall-held"), moved = folder + L"-moved";
  HANDLE held = OpenFolderToDelete(reinterpret_cast<const char16_t*>(folder.c_str()));
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  ASSERT_TRUE(MoveFileW(folder.c_str(), moved.c_str()));
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  DeleteHeldFolder(held);
  EXPECT_TRUE(Exists(folder)) << "the decoy was deleted";
  RemoveDirectoryW(moved.c_str());

  WriteFile(folder + L"\\Left.txt");
  EXPECT_FALSE(DeleteHeldFolder(OpenFolderToDelete(reinterpret_cast<const char16_t*>(folder.c_str()))));
  EXPECT_TRUE(Exists(folder + L"\\Left.txt"));
  DeleteFileW((folder + L"\\Left.txt").c_str());
  EXPECT_TRUE(DeleteHeldFolder(OpenFolderToDelete(reinterpret_cast<const char16_t*>(folder.c_str()))));
  EXPECT_FALSE(Exists(folder));
}
