#include "install/shortcuts.h"

#include <gtest/gtest.h>

#include "install_test_util.h"

namespace {

// Target, working directory, no arguments, no description, SW_SHOW.
std::string Shortcut(const std::string& target, const std::string& directory) {
  return target + " | " + directory + " |  |  | 5";
}

}  // namespace

TEST(CreateDesktopShortcut, NamedAfterTheProductWorkingInTheTargetsFolder) {
  ComScope com;
  fs::path desktop = TestSpecialFolder(CSIDL_DESKTOPDIRECTORY);
  CreateDesktopShortcut(u"C:\\Programs\\Tool\\tool.exe", u"Zq Tool");
  CreateDesktopShortcut(u"D:\\tool.exe", u"\\Zq Root");
  EXPECT_EQ(Shortcut("C:\\Programs\\Tool\\tool.exe", "C:\\Programs\\Tool"), TestReadShortcut(desktop / "Zq Tool.lnk"));
  EXPECT_EQ(Shortcut("D:\\tool.exe", "D:\\"), TestReadShortcut(desktop / "Zq Root.lnk"));
  fs::remove(desktop / "Zq Tool.lnk");
  fs::remove(desktop / "Zq Root.lnk");
  // No name, no shortcut: neither "<desktop>.lnk" beside the folder nor ".lnk" in it.
  CreateDesktopShortcut(u"D:\\tool.exe", u"");
  EXPECT_FALSE(fs::exists(desktop.wstring() + L".lnk"));
  EXPECT_FALSE(fs::exists(desktop / ".lnk"));
}

TEST(QuickLaunch, OnlyWithTheFolderAndWithoutPinnedTaskbar) {
  ComScope com;
  QuickLaunchScope scope;
  fs::path link = scope.folder / "Zq Tool.lnk";
  EXPECT_FALSE(HasQuickLaunch());
  CreateQuickLaunchShortcut(u"C:\\Tool\\tool.exe", u"Zq Tool");
  EXPECT_FALSE(fs::exists(scope.folder));

  fs::create_directories(scope.folder);
  EXPECT_TRUE(HasQuickLaunch());
  CreateQuickLaunchShortcut(u"C:\\Tool\\tool.exe", u"Zq Tool");
  EXPECT_EQ(Shortcut("C:\\Tool\\tool.exe", "C:\\Tool"), TestReadShortcut(link));

  fs::remove(link);
  fs::create_directories(scope.folder / "User Pinned" / "TaskBar");
  EXPECT_FALSE(HasQuickLaunch());
  CreateQuickLaunchShortcut(u"C:\\Tool\\tool.exe", u"Zq Tool");
  EXPECT_FALSE(fs::exists(link));
}
