#include "uninstall/uninstall_files.h"

#include "install/install_record.h"
#include "uninstall/uninstall_registration.h"

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

// What the installer registered goes with the folder it names, however that is
// spelled; the entry and stored folder of a copy installed elsewhere stay, and
// so does the maker's key while another product's folder is stored in it.
TEST(UninstallRegistration, OnlyTheEntryAndStoredFolderOfThisFolderGo) {
  const std::wstring own = TempFolder(L"Pebble Own"), other = TempFolder(L"Pebble Other");
  std::wstring upper = own;
  for (wchar_t& c : upper) c = towupper(c);
  const std::wstring entry = std::wstring(reinterpret_cast<const wchar_t*>(kUninstallKeyBase)) + L"Pebble Reg";
  const wchar_t* maker = reinterpret_cast<const wchar_t*>(kStoredDestinationKey);
  const struct {
    std::wstring command, stored;
    const char16_t* name;
    bool entryGoes, storedGoes;
  } cases[] = {
      {L"\"" + own + L"\\UnInst.exe\"", own, u"Pebble Reg", true, true},
      {upper + L"\\UnInst.exe", upper + L"\\", u"Pebble Reg", true, true},
      {L"\"" + own + L"\\sub\\UnInst.exe\" /S", own + L"\\sub", u"Pebble Reg", false, false},
      {L"\"" + own + L"-2\\UnInst.exe\"", own + L"-2", u"Pebble Reg", false, false},
      {L"\"" + own + L"\\UnInst.exe\"", own, u"", false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, entry.c_str());
    ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueW(HKEY_LOCAL_MACHINE, entry.c_str(), L"UninstallString", REG_SZ,
                                             c.command.c_str(), DWORD((c.command.size() + 1) * 2)));
    for (const wchar_t* code : {L"PBR", L"XYZ"}) {
      const std::wstring& folder = code[0] == L'P' ? c.stored : other;
      ASSERT_EQ(ERROR_SUCCESS,
                RegSetKeyValueW(HKEY_CURRENT_USER, maker, code, REG_SZ, folder.c_str(), DWORD((folder.size() + 1) * 2)));
    }
    char16_t notDeleted[256] = {};
    RemoveRegistration(c.name, "PBR", reinterpret_cast<const char16_t*>(own.c_str()), notDeleted, 256);
    EXPECT_EQ(u"", std::u16string(notDeleted));
    HKEY key = nullptr;
    EXPECT_EQ(c.entryGoes, RegOpenKeyExW(HKEY_LOCAL_MACHINE, entry.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS);
    if (key != nullptr) RegCloseKey(key);
    EXPECT_EQ(c.storedGoes, RegGetValueW(HKEY_CURRENT_USER, maker, L"PBR", RRF_RT_REG_SZ, nullptr, nullptr, nullptr) !=
                                ERROR_SUCCESS);
    EXPECT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_CURRENT_USER, maker, L"XYZ", RRF_RT_REG_SZ, nullptr, nullptr, nullptr));
  }
  // A key that cannot be deleted (it has a key below it) is named for the final message.
  const std::string command = "\"" + std::string(own.begin(), own.end()) + "\\UnInst.exe\"";
  RegSetKeyValueA(HKEY_LOCAL_MACHINE, std::string(entry.begin(), entry.end()).c_str(), "UninstallString", REG_SZ,
                  command.c_str(), DWORD(command.size() + 1));
  RegSetKeyValueW(HKEY_LOCAL_MACHINE, (entry + L"\\Below").c_str(), L"x", REG_SZ, L"", 2);
  char16_t notDeleted[256] = u"kept:";
  RemoveRegistration(u"Pebble Reg", "", reinterpret_cast<const char16_t*>(own.c_str()), notDeleted, 256);
  EXPECT_EQ(u"kept:\nHKEY_LOCAL_MACHINE\\" + std::u16string(entry.begin(), entry.end()), std::u16string(notDeleted));
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, (entry + L"\\Below").c_str());

  // The last product's folder takes the maker's key with it.
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, entry.c_str());
  RegDeleteKeyValueW(HKEY_CURRENT_USER, maker, L"XYZ");
  RegSetKeyValueW(HKEY_CURRENT_USER, maker, L"PBR", REG_SZ, own.c_str(), DWORD((own.size() + 1) * 2));
  RemoveRegistration(u"Pebble Reg", "PBR", reinterpret_cast<const char16_t*>(own.c_str()), nullptr, 0);
  HKEY key = nullptr;
  EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, maker, 0, KEY_READ, &key));
  if (key != nullptr) RegCloseKey(key);
  RegDeleteKeyW(HKEY_CURRENT_USER, maker);
}
