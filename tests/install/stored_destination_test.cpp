#include "install/stored_destination.h"

#include <gtest/gtest.h>
#include <string.h>

#include "install_test_util.h"
#include "text/bounded_text.h"

namespace {

std::string Proposal(int capacity = 1024) {
  char16_t buffer[1024];
  CopyWide(u"stale stale stale stale", buffer, 1024);
  DefaultDestination(buffer, capacity);
  return TestUtf8(buffer);
}

// The product ZQT, "Zq Tool", with nothing stored and every source of the default saved.
struct DestinationScope : TestDialog {
  SavedRegistryValue stored{HKEY_CURRENT_USER, L"Software\\Halvorn", L"ZQT"};
  SavedRegistryValue programFiles{HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion",
                                  L"ProgramFilesDir"};
  SavedEnvironment environment{L"ProgramFiles"};
  DestinationScope() {
    strcpy(context.productCode, "ZQT");
    strcpy(context.productName, "Zq Tool");
    stored.Set(nullptr);
    programFiles.Set(L"X:\\Apps");
  }
};

}  // namespace

TEST(DefaultDestination, EachSourceInTurn) {
  DestinationScope d;
  EXPECT_EQ("X:\\Apps\\Zq Tool", Proposal());
  d.stored.Set(L"E:\\My Tools ");
  EXPECT_EQ("E:\\My Tools ", Proposal());
  d.context.productCode[0] = 0;
  EXPECT_EQ("X:\\Apps\\Zq Tool", Proposal());
  strcpy(d.context.productCode, "ZQT");
  d.stored.Set(L"");
  d.programFiles.Set(L"X:\\Apps\\");
  EXPECT_EQ("X:\\Apps\\Zq Tool", Proposal());
  d.context.productName[0] = 0;
  EXPECT_EQ("X:\\Apps\\", Proposal());
  strcpy(d.context.productName, "Zq Tool");

  d.programFiles.Set(nullptr);
  SetEnvironmentVariableW(L"ProgramFiles", L"Y:\\Env");
  EXPECT_EQ("Y:\\Env\\Zq Tool", Proposal());
  wchar_t windows[MAX_PATH];
  GetWindowsDirectoryW(windows, MAX_PATH);
  fs::path programme = fs::path(windows).root_path() / "Programme";
  ASSERT_FALSE(fs::exists(programme));
  // A source that does not fit counts as absent; the proposal is cut like any text.
  SetEnvironmentVariableW(L"ProgramFiles", L"Y:\\A long Program Files folder");
  EXPECT_EQ(TestText(programme.root_path()) + "Program Files\\Z", Proposal(19));
  SetEnvironmentVariableW(L"ProgramFiles", nullptr);
  EXPECT_EQ(TestText(programme.root_path()) + "Program Files\\Zq Tool", Proposal());
  fs::create_directory(programme);
  EXPECT_EQ(TestText(programme) + "\\Zq Tool", Proposal());
  fs::remove(programme);
}

TEST(DefaultDestination, RegistryTextNeverReadPastItsBuffer) {
  DestinationScope d;
  // A value without a terminator ends where its bytes end ...
  d.stored.Set(L"E:\\Mine123456789", 7 * 2);
  EXPECT_EQ("E:\\Mine", Proposal());
  // ... and one that fills the whole buffer leaves no room for one: the next source is asked.
  d.stored.Set(L"E:\\Mine123456789", 16 * 2);
  EXPECT_EQ("X:\\Apps\\Zq Tool", Proposal(16));
  EXPECT_EQ("E:\\Mine123456789", Proposal(17));
}

TEST(StoreDestination, ExactlyAsTypedAndOnlyWithAProductCode) {
  DestinationScope d;
  StoreDestination(u"D:\\My Tools\\ ");
  StoreDestination(u"");
  d.context.productCode[0] = 0;
  StoreDestination(u"E:\\Other");
  wchar_t value[64] = {0};
  DWORD type = 0, size = sizeof(value);
  RegGetValueW(HKEY_CURRENT_USER, L"Software\\Halvorn", L"ZQT", RRF_RT_ANY, &type, value, &size);
  EXPECT_EQ("D:\\My Tools\\ ", TestUtf8(AsUtf16(value)));
  EXPECT_EQ(DWORD(REG_SZ), type);
  EXPECT_EQ(14u * 2, size);
}
