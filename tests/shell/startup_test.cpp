#include "shell/startup.h"

#include <gtest/gtest.h>

#include <string.h>

#include "setup_exe.h"
#include "test_dialog.h"
#include "test_modal.h"

TEST(Startup, InitializeContextStartsFromZero) {
  InstallerContext context;
  memset(&context, 0x5A, sizeof(context));
  InstallerContextSet(&context);
  InitializeContext(SetupExeModule());
  InstallerContextSet(nullptr);

  char system[4] = {0};
  SystemLanguageCode(system);
  EXPECT_STREQ(system, context.languageCode);
  EXPECT_EQ(FindStringTable(system), context.stringTable);
  EXPECT_NE(nullptr, context.icon);
  EXPECT_EQ("||||", std::string(context.productCode) + "|" + context.productName + "|" + context.productWindowClass +
                        "|" + context.mainProgramName + "|" + TestUtf8(context.languageFileBase));
  wchar_t own[1024];
  GetModuleFileNameW(nullptr, own, 1024);
  EXPECT_EQ(TestUtf8(AsUtf16(own)), TestUtf8(context.modulePath));
}

// The test program carries no payload: start-up shows the broken-file message
// under the program's file name, ends, clears the context and returns 0.
TEST(Startup, RunSetupWithoutPayloadEndsWithZero) {
  std::string caption;
  int result = WithModalAnswer(
      [&](HWND box) {
        caption = TestWindowText(box);
        PostMessageW(box, WM_CLOSE, 0, 0);
      },
      [] { return RunSetup(GetModuleHandleW(nullptr)); });
  EXPECT_EQ(0, result);
  EXPECT_EQ("shell_tests.exe", caption);
  EXPECT_EQ(nullptr, InstallerContextGet());
}
