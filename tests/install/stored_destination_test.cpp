#include "install/stored_destination.h"

#include <gtest/gtest.h>
#include <string.h>

#include "install_test_util.h"
#include "text/bounded_text.h"

namespace {

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
  }
  std::string Proposal(int capacity = 1024) {
    char16_t buffer[1024] = u"stale stale stale stale";
    DefaultDestination(buffer, capacity);
    return TestUtf8(buffer);
  }
};

}  // namespace

TEST(StoredDestination, StoredAsTypedThenEachSourceOfTheDefaultInTurn) {
  DestinationScope d;
  d.programFiles.Set(L"X:\\Apps\\");
  StoreDestination(u"E:\\My Tools\\ ");
  StoreDestination(u"");
  EXPECT_EQ("E:\\My Tools\\ |E:\\My Tools\\ ", TestRegistry(HKEY_CURRENT_USER, L"Software\\Halvorn", L"ZQT") + "|" + d.Proposal());
  // A stored text is read within its bytes and its buffer; one that leaves no room for its end counts as absent.
  d.stored.Set(L"E:\\Mine123456789", 7 * 2);
  EXPECT_EQ("E:\\Mine", d.Proposal());
  d.stored.Set(L"E:\\Mine123456789", 16 * 2);
  EXPECT_EQ("X:\\Apps\\Zq Tool|E:\\Mine123456789", d.Proposal(16) + "|" + d.Proposal(17));
  d.stored.Set(L"");
  EXPECT_EQ("X:\\Apps\\Zq Tool", d.Proposal());
  // Without a product code nothing is stored or read.
  d.context.productCode[0] = 0;
  StoreDestination(u"E:\\Other");
  EXPECT_EQ("(none)", TestRegistry(HKEY_CURRENT_USER, L"Software\\Halvorn", L""));
  d.stored.Set(L"E:\\Mine");
  EXPECT_EQ("X:\\Apps\\Zq Tool", d.Proposal());

  d.programFiles.Set(nullptr);
  SetEnvironmentVariableW(L"ProgramFiles", L"Y:\\Env");
  EXPECT_EQ("Y:\\Env\\Zq Tool", d.Proposal());
  // A source that does not fit counts as absent, and the folder beside Windows' is proposed.
  SetEnvironmentVariableW(L"ProgramFiles", L"Y:\\A long Program Files folder");
  wchar_t windows[MAX_PATH];
  GetWindowsDirectoryW(windows, MAX_PATH);
  std::string drive = TestUtf8(fs::path(windows).root_path().u16string());
  ASSERT_FALSE(fs::exists(drive + "Programme"));
  EXPECT_EQ(drive + "Program Files\\Z", d.Proposal(19));
  SetEnvironmentVariableW(L"ProgramFiles", nullptr);
  EXPECT_EQ(drive + "Program Files\\Zq Tool", d.Proposal());
}
