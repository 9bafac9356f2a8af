// The resources compiled into setup.exe, read back from the built file.
#include <gtest/gtest.h>

#include <string>

#include "shell_test_util.h"

TEST(SetupResources, IconAndManifest) {
  HMODULE module = SetupExeModule();
  ASSERT_NE(nullptr, module) << "setup.exe not found beside the tests";
  EXPECT_NE(nullptr, LoadImageW(module, MAKEINTRESOURCEW(1), IMAGE_ICON, 48, 48, 0));

  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), RT_MANIFEST);
  ASSERT_NE(nullptr, found);
  std::string manifest(static_cast<const char*>(LockResource(LoadResource(module, found))), SizeofResource(module, found));
#ifdef _WIN64
  const std::string architecture = "processorArchitecture=\"amd64\"";
#else
  const std::string architecture = "processorArchitecture=\"x86\"";
#endif
  // Administrator rights for the machine-wide uninstall entry and program group;
  // version 6 of the common controls for the list's check boxes.
  for (const std::string& field : {"name=\"Setup.exe\" version=\"5.1.0.0\" " + architecture,
                                   std::string("level=\"requireAdministrator\""),
                                   std::string("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""),
                                   std::string("publicKeyToken=\"6595b64144ccf1df\"")}) {
    EXPECT_NE(std::string::npos, manifest.find(field)) << field;
  }
}
