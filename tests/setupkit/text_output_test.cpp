// What the tool prints of names from a payload: nothing that a terminal obeys
// or hides, no two names alike, and JSON that is always valid UTF-8.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <set>

#include "setupkit/ansi_text.h"
#include "setupkit/system_error.h"
#include "setupkit/text_output.h"

TEST(TextOutput, DifferentNamesNeverPrintAlike) {
  const std::vector<std::string> names = {
      "ab", "a\x1b" "b", "a\\x1bb", "a\\\\x1bb", "a\nb", "a\\nb", u8"a\u202eb", "a\\u202eb", u8"a\u2028b",
      u8"a\u200bb", u8"a\u00adb", u8"a\ufeffb", u8"a\U000e0041b", u8"a\u0085b", "a\\u0085b", "a\xff" "b",
      "a\\xffb", u8"a\u00ffb", "a\\b", "a\\\\b", "a\\", "a\\\\", "C:\\Tool\\readme"};
  std::set<std::string> printed, json;
  for (const std::string& name : names) {
    const std::string text = Printable(name), quoted = JsonString(name);
    EXPECT_TRUE(printed.insert(text).second) << text;
    EXPECT_EQ(std::string::npos, text.find_first_of("\x1b\n")) << text;
    for (const char* hidden : {u8"\u202e", u8"\u2028", u8"\u200b", u8"\u00ad", u8"\ufeff", u8"\u0085"}) {
      EXPECT_EQ(std::string::npos, text.find(hidden)) << text;
      EXPECT_EQ(std::string::npos, quoted.find(hidden)) << quoted;
    }
    for (size_t i = 0; i < quoted.size();) {
      uint32_t c;
      ASSERT_TRUE(DecodeUtf8(quoted, &i, &c)) << quoted;
    }
    json.insert(quoted);
  }
  EXPECT_EQ(names.size(), json.size());
  EXPECT_EQ("C:\\Tool\\\\readme", Printable("C:\\Tool\\readme"));
  EXPECT_EQ("\"a\\u202eb\\\\\\\"\"", JsonString(u8"a\u202eb\\\""));
}

// A system error reads as the errno that caused it, when that is still set, else
// as the usual cause of that number; a number without words keeps its digits.
TEST(SystemErrorText, TheCauseInTheSystemsWords) {
#ifdef _WIN32
  EXPECT_EQ("disk full (error 112)", SystemErrorText(112));
#else
  const struct { uint32_t error; int current; int shown; } cases[] = {
      {2, 0, ENOENT},       {3, ENOTDIR, ENOTDIR}, {3, EACCES, ENOENT},   {5, EROFS, EROFS}, {5, 0, EACCES},
      {112, EDQUOT, EDQUOT}, {112, 0, ENOSPC},     {32, EBUSY, EBUSY},    {206, 0, ENAMETOOLONG}, {1117, 0, EIO},
  };
  for (const auto& c : cases) {
    errno = c.current;
    EXPECT_EQ(strerror(c.shown), SystemErrorText(c.error)) << c.error << " " << c.current;
  }
#endif
  EXPECT_EQ("system error 7", SystemErrorText(7));
}
