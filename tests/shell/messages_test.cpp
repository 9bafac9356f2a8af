#include "shell/messages.h"

#include <gtest/gtest.h>

#include <string>

#include "test_dialog.h"
#include "test_modal.h"

namespace {

std::string Caption(const char16_t* path) {
  const char16_t* caption = MessageCaption(path);
  return caption == nullptr ? "(null)" : TestUtf8(caption);
}

// Reads the box's caption and text, then presses OK.
struct BoxReader {
  std::string caption, text;
  std::function<void(HWND)> Answer() {
    return [this](HWND box) {
      caption = TestWindowText(box);
      text = TestWindowText(GetDlgItem(box, 0xFFFF));
      PostMessageW(box, WM_COMMAND, IDOK, 0);
    };
  }
};

}  // namespace

TEST(MessageCaption, FileNamePartOrWholePath) {
  EXPECT_EQ("Setup.exe", Caption(u"C:\\Program Files\\Tool\\Setup.exe"));
  EXPECT_EQ("Setup.exe", Caption(u"C:/Tool/Setup.exe"));
  EXPECT_EQ("Setup.exe", Caption(u"Setup.exe"));
  EXPECT_EQ("C:\\Program Files\\Tool\\", Caption(u"C:\\Program Files\\Tool\\"));
  EXPECT_EQ("C:/", Caption(u"C:/"));
  EXPECT_EQ("", Caption(u""));
  EXPECT_EQ("(null)", Caption(nullptr));
}

TEST(ShowMessage, NoTextShowsNothingAndGivesCancel) {
  TestDialog d;
  EXPECT_EQ(IDCANCEL, ShowMessage(d.dialog, u"", u"Setup.exe", MB_ICONERROR));
  EXPECT_EQ(IDCANCEL, ShowMessage(d.dialog, nullptr, u"Setup.exe", MB_ICONERROR));
  EXPECT_EQ(IDCANCEL, ShowStringMessage(d.dialog, 4242, u"Setup.exe", MB_ICONERROR));
  d.context.stringTable = nullptr;
  EXPECT_EQ(IDCANCEL, ShowStringMessage(d.dialog, kTextBrokenFile, u"Setup.exe", MB_ICONERROR));
}

TEST(ShowMessage, BoxShowsTextUnderFileNameCaption) {
  TestDialog d("DE");
  BoxReader reader;
  int result = WithModalAnswer(reader.Answer(), [&] {
    return ShowStringMessage(d.dialog, kTextBrokenFile, u"C:\\Downloads\\ToolSetup.exe", MB_ICONERROR);
  });
  EXPECT_EQ(IDOK, result);
  EXPECT_EQ("ToolSetup.exe", reader.caption);
  EXPECT_EQ("Die Datei ist besch\xC3\xA4" "digt, bitte nochmal herunterladen!", reader.text);

  BoxReader whole;
  result = WithModalAnswer(whole.Answer(), [&] {
    return ShowMessage(nullptr, u"Example Tool has been successfully installed.", u"C:\\Tools\\", MB_ICONINFORMATION);
  });
  EXPECT_EQ(IDOK, result);
  EXPECT_EQ("C:\\Tools\\", whole.caption);
  EXPECT_EQ("Example Tool has been successfully installed.", whole.text);
}
