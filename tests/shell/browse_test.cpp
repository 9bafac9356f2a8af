#include "ui/browse.h"

#include <gtest/gtest.h>

#include <ole2.h>

#include "archive/file_routines.h"
#include "shell_test_util.h"
#include "text/bounded_text.h"
#include "ui/control_ids.h"

namespace {

struct OleScope {
  OleScope() { EXPECT_TRUE(SUCCEEDED(OleInitialize(nullptr))); }
  ~OleScope() { OleUninitialize(); }
};

}  // namespace

TEST(BrowseStartItem, TheFolderElseItsParent) {
  OleScope ole;
  std::string root = TestTempDir();
  std::string folder = root + "\\Example Tool";
  CreateDirectoryW(AsWide(TestWidePath(folder).c_str()), nullptr);
  wchar_t previous[1024];
  GetCurrentDirectoryW(1024, previous);
  SetCurrentDirectoryW(AsWide(TestWidePath(root).c_str()));
  const std::string kCases[][2] = {
      {folder, folder},
      {root + "\\Not Yet", root},
      {folder + "\\..\\Example Tool\\Later", folder},
      {root + "\\" + std::string(300, 'x'), root},
      {folder + "\\Not\\Yet", "(none)"},
      {"Example Tool", folder},  // against the current folder
  };
  for (const auto& c : kCases) {
    char16_t path[1024];
    CopyWide(TestWidePath(c[0]).c_str(), path, 1024);
    LPITEMIDLIST item = BrowseStartItem(nullptr, path);
    wchar_t found[MAX_PATH] = L"(none)";
    if (item != nullptr) SHGetPathFromIDListW(item, found);
    CoTaskMemFree(item);
    EXPECT_STRCASEEQ(c[1].c_str(), TestUtf8(AsUtf16(found)).c_str()) << c[0];
  }
  SetCurrentDirectoryW(previous);
}

TEST(BrowseForDestination, CancelKeepsTheTextPickingSetsIt) {
  OleScope ole;
  TestDialog d;
  std::string folder = TestTempDir();
  // Starts the browser on `start` and presses `button` in it; gives the edit's text after.
  auto browse = [&](const std::string& start, int button) {
    SetDlgItemTextW(d.dialog, kDestinationEditId, AsWide(TestWidePath(start).c_str()));
    WithModalAnswer([button](HWND browser) { PostMessageW(browser, WM_COMMAND, button, 0); }, [&] {
      BrowseForDestination(d.dialog, kDestinationEditId);
      return 0;
    });
    return d.Text(kDestinationEditId);
  };
  EXPECT_EQ("Q:\\Nowhere\\Tool", browse("Q:\\Nowhere\\Tool", IDCANCEL));
  // OK takes the selected folder: normally the pre-selected one, but the platform's
  // browser may still be filling its tree, so only a real folder is asked for.
  std::string picked = browse(folder + "\\Not Yet", IDOK);
  EXPECT_NE(folder + "\\Not Yet", picked);
  EXPECT_TRUE(PathExists(TestWidePath(picked).c_str())) << picked;
}
