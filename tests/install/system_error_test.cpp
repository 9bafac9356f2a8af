#include "install/system_error.h"

#include <gtest/gtest.h>

#include "install_test_util.h"
#include "text/bounded_text.h"

namespace {

std::string Text(uint32_t code, int capacity = 512) {
  char16_t buffer[512] = u"stale";
  SystemMessageText(code, buffer, capacity);
  return TestUtf8(buffer);
}

}  // namespace

TEST(SystemError, TheSystemsWordingCutToTheBufferOrNoBoxAtAll) {
  const std::string accessDenied = "Access denied.\r\n";  // the system's English wording, line break kept
  EXPECT_EQ(accessDenied, Text(ERROR_ACCESS_DENIED));
  EXPECT_EQ("Acce", Text(ERROR_ACCESS_DENIED, 6));
  // Insertion marks stay as they are instead of being filled from arguments never passed.
  EXPECT_EQ("Insert disk for drive %1.\r\n", Text(107));

  TestDialog d;
  CopyWide(u"C:\\Downloads\\ToolSetup.exe", d.context.modulePath, 1024);
  TestBoxes().clear();
  SetLastError(0);
  EXPECT_EQ(0, ShowSystemErrorWith(TestRecordBox, d.dialog, 0, nullptr));
  EXPECT_EQ(2, ShowSystemErrorWith(TestRecordBox, d.dialog, 0x2FFFFFFF, nullptr));  // the system has no text
  SetLastError(ERROR_ACCESS_DENIED);
  EXPECT_EQ(IDOK, ShowSystemErrorWith(TestRecordBox, d.dialog, 0, u"C:\\Other\\Caption.exe"));
  EXPECT_EQ(IDOK, ShowSystemErrorWith(TestRecordBox, d.dialog, ERROR_PATH_NOT_FOUND, nullptr));
  EXPECT_EQ((std::vector<std::string>{"Caption.exe: " + accessDenied + " [16]",
                                      "ToolSetup.exe: " + Text(ERROR_PATH_NOT_FOUND) + " [16]"}),
            TestBoxes());
}
