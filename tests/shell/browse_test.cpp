#include "shell/browse.h"

#include <gtest/gtest.h>

#include <ole2.h>

#include <string>

#include "test_dialog.h"
#include "test_files.h"
#include "test_modal.h"
#include "text/bounded_text.h"

namespace {

const int kDestinationEdit = 1032;

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return text;
}

// The folder the browser would open at for `start`, lower-cased, or "(none)".
std::string StartFolder(const std::string& start) {
  char16_t path[1024];
  CopyWide(TestWidePath(start).c_str(), path, 1024);
  LPITEMIDLIST item = BrowseStartItem(nullptr, path);
  if (item == nullptr) return "(none)";
  wchar_t folder[MAX_PATH] = {0};
  SHGetPathFromIDListW(item, folder);
  CoTaskMemFree(item);
  return Lower(TestUtf8(AsUtf16(folder)));
}

// Runs the browser on the edit's text and presses `button` in it; returns the edit's text after.
std::string Browse(HWND dialog, const std::string& start, int button) {
  SetDlgItemTextW(dialog, kDestinationEdit, AsWide(TestWidePath(start).c_str()));
  auto press = [button](HWND browser) { PostMessageW(browser, WM_COMMAND, button, 0); };
  WithModalAnswer(press, [&] {
    BrowseForDestination(dialog, kDestinationEdit);
    return 0;
  });
  return TestWindowText(GetDlgItem(dialog, kDestinationEdit));
}

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

  EXPECT_EQ(Lower(folder), StartFolder(folder));
  EXPECT_EQ(Lower(root), StartFolder(root + "\\Not Yet"));
  EXPECT_EQ(Lower(folder), StartFolder(folder + "\\..\\Example Tool\\Later"));
  EXPECT_EQ(Lower(root), StartFolder(root + "\\" + std::string(300, 'x')));
  EXPECT_EQ("(none)", StartFolder(folder + "\\Not\\Yet"));

  // A relative text is taken against the current folder.
  wchar_t previous[1024];
  GetCurrentDirectoryW(1024, previous);
  SetCurrentDirectoryW(AsWide(TestWidePath(root).c_str()));
  EXPECT_EQ(Lower(folder), StartFolder("Example Tool"));
  SetCurrentDirectoryW(previous);
}

TEST(BrowseForDestination, CancelKeepsTheTextPickingSetsIt) {
  OleScope ole;
  TestDialog d;
  std::string folder = TestTempDir();
  EXPECT_EQ("Q:\\Nowhere\\Tool", Browse(d.dialog, "Q:\\Nowhere\\Tool", IDCANCEL));
  EXPECT_EQ("relative\\Tool", Browse(d.dialog, "relative\\Tool", IDCANCEL));
  EXPECT_EQ(folder, Browse(d.dialog, folder, IDCANCEL));
  // OK takes the selected folder: normally the pre-selected one, but the platform's
  // browser may still be filling its tree, so only a real folder is asked for.
  std::string picked = Browse(d.dialog, folder + "\\Not Yet", IDOK);
  EXPECT_NE(folder + "\\Not Yet", picked);
  EXPECT_EQ(0, PathExists(TestWidePath(picked).c_str())) << picked;
}
