#include "install/setup_options.h"

#include <gtest/gtest.h>

#include <string>

#include "text/file_name_rules.h"

namespace {

std::string Utf8(const char16_t* text) {
  std::string out;
  for (; *text != 0; ++text) out += static_cast<char>(*text);
  return out;
}

// "S" for silent, "?" for help, then "D=", "LOG=" and the shortcut bits, as one line to compare.
std::string Parsed(const char16_t* line) {
  SetupOptions options;
  int result = ParseSetupOptions(line, &options);
  if (result != 0) return std::string("refused ") + Utf8(options.rejected) + (options.silent ? " S" : "");
  return std::string(options.silent ? "S" : "-") + (options.help ? "?" : "-") + " D=" + Utf8(options.destination) +
         " LOG=" + Utf8(options.logPath) + " shortcuts=" + std::to_string(options.shortcuts);
}

}  // namespace

TEST(SetupOptions, EachFormALauncherWritesGivesTheSameFolder) {
  const std::string tool = "S- D=C:\\Program Files\\Tool LOG= shortcuts=-1";
  EXPECT_EQ(tool, Parsed(u"/S /D=C:\\Program Files\\Tool"));
  EXPECT_EQ(tool, Parsed(u"/s /d=C:\\Program Files\\Tool  \t"));
  EXPECT_EQ(tool, Parsed(u"/D=\"C:\\Program Files\\Tool\" /S"));
  EXPECT_EQ(tool, Parsed(u"\"/D=C:\\Program Files\\Tool\" /S"));
  EXPECT_EQ("-- D=\\\\server\\share\\Tool LOG= shortcuts=-1", Parsed(u"/D=\\\\server\\share\\Tool"));
  EXPECT_EQ("-- D= LOG= shortcuts=-1", Parsed(u""));
  EXPECT_EQ("-- D= LOG= shortcuts=-1", Parsed(nullptr));
}

TEST(SetupOptions, LogShortcutsAndHelp) {
  EXPECT_EQ("S- D= LOG=C:\\a b\\setup.log shortcuts=6",
            Parsed(u"/LOG=\"C:\\a b\\setup.log\" /SHORTCUTS=Desktop,quicklaunch /S"));
  EXPECT_EQ("-- D= LOG=x.log shortcuts=0", Parsed(u"/log=x.log /shortcuts=none"));
  EXPECT_EQ("-- D= LOG= shortcuts=7", Parsed(u"/SHORTCUTS=startmenu,desktop,quicklaunch"));
  EXPECT_EQ("-? D= LOG= shortcuts=-1", Parsed(u"/?"));
  SetupOptions options;
  EXPECT_EQ(0, ParseSetupOptions(u"/S /AllowDowngrade", &options));
  EXPECT_TRUE(options.allowDowngrade);
}

// Nothing unknown is passed over, and /S is still seen around a refused word,
// so the refusal knows whether it may show a window.
TEST(SetupOptions, WhatIsNotUnderstoodIsRefused) {
  EXPECT_EQ("refused /bogus S", Parsed(u"/S /bogus"));
  EXPECT_EQ("refused /bogus S", Parsed(u"/bogus /S"));
  EXPECT_EQ("refused setup", Parsed(u"setup"));
  EXPECT_EQ("refused /SS", Parsed(u"/SS"));
  EXPECT_EQ("refused /", Parsed(u"/"));
  for (const char16_t* relative : {u"/D=dir", u"/D=relative\\dir", u"/D=\\dir", u"/D=C:dir", u"/D=\\\\server",
                                   u"/D=\\\\server\\", u"/D=1:\\dir", u"/D=", u"/D=\"\""}) {
    EXPECT_EQ("refused " + Utf8(relative), Parsed(relative));
  }
  EXPECT_EQ("refused /D=\"C:\\open", Parsed(u"/D=\"C:\\open"));
  EXPECT_EQ("refused /LOG=", Parsed(u"/LOG="));
  EXPECT_EQ("refused /SHORTCUTS=desktop,start", Parsed(u"/SHORTCUTS=desktop,start"));
  EXPECT_EQ("refused /SHORTCUTS=", Parsed(u"/SHORTCUTS="));
  std::u16string tooLong = u"/D=C:\\" + std::u16string(1030, u'a');
  EXPECT_EQ(0u, Parsed(tooLong.c_str()).find("refused /D=C:\\aaa"));
  // A word longer than the parser holds is refused, not cut: cut here it would be a whole list.
  std::u16string longList = u"/SHORTCUTS=none";
  for (int i = 0; i < 200; ++i) longList += u",desktop";
  EXPECT_EQ(0u, Parsed(longList.c_str()).find("refused /SHORTCUTS=none,desktop"));
}

TEST(SetupOptions, FullyQualifiedPaths) {
  for (const char16_t* path : {u"C:\\", u"c:/Apps", u"Z:\\a b\\c", u"\\\\server\\share", u"//server/share/x"}) {
    EXPECT_TRUE(IsFullyQualifiedPath(path)) << Utf8(path);
  }
  for (const char16_t* path : {u"", u"C:", u"C:dir", u"\\dir", u"dir", u"\\\\", u"\\\\\\share", u"\\\\s\\\\x"}) {
    EXPECT_FALSE(IsFullyQualifiedPath(path)) << Utf8(path);
  }
  EXPECT_FALSE(IsFullyQualifiedPath(nullptr));
}
