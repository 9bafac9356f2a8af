// The resources compiled into setup.exe, read back from the built file.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "setup_exe.h"
#include "test_dialog.h"

namespace {

std::u16string Resource(const wchar_t* type, int id) {
  HMODULE module = SetupExeModule();
  HRSRC found = module == nullptr ? nullptr : FindResourceW(module, MAKEINTRESOURCEW(id), type);
  if (found == nullptr) return u"";
  std::u16string units(SizeofResource(module, found) / 2, 0);
  memcpy(&units[0], LockResource(LoadResource(module, found)), units.size() * 2);
  return units;
}

// Reads the 16-bit units of a classic dialog template.
struct TemplateReader {
  std::u16string units;
  size_t at = 0;
  int Word() { return units[at++]; }
  uint32_t Dword() { return Word() | static_cast<uint32_t>(Word()) << 16; }
  // A name, or an ordinal: the predefined control classes as their names, others as "#<number>".
  std::string Text() {
    if (units[at] == 0xFFFF) {
      int ordinal = units[at + 1];
      at += 2;
      const char* kClasses[] = {"BUTTON", "EDIT", "STATIC"};
      return ordinal >= 0x80 && ordinal <= 0x82 ? kClasses[ordinal - 0x80] : "#" + std::to_string(ordinal);
    }
    size_t end = units.find(u'\0', at);
    std::string text = TestUtf8(units.substr(at, end - at));
    at = end + 1;
    return text;
  }
  // One control: "id class style x,y,cx,cy text"; records start on 4-byte boundaries.
  std::string Item() {
    at = (at + 1) & ~size_t(1);
    uint32_t style = Dword();
    EXPECT_EQ(0u, Dword());  // no extended style
    char line[64];
    int x = Word(), y = Word(), cx = Word(), cy = Word(), id = Word();
    snprintf(line, sizeof(line), " %08X %d,%d,%d,%d ", static_cast<unsigned>(style), x, y, cx, cy);
    std::string kind = Text();
    std::string item = std::to_string(id) + " " + kind + line + Text();
    EXPECT_EQ(0, Word());  // no creation data
    return item;
  }
};

}  // namespace

TEST(SetupResources, DialogTemplateAsLaidOut) {
  ASSERT_NE(nullptr, SetupExeModule()) << TestUtf8(SetupExePath());
  TemplateReader r = {Resource(RT_DIALOG, 1000)};
  ASSERT_GT(r.units.size(), 9u);
  EXPECT_EQ(static_cast<uint32_t>(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT), r.Dword());
  EXPECT_EQ(0u, r.Dword());
  int count = r.Word();
  std::string frame;
  for (int i = 0; i < 4; ++i) frame += std::to_string(r.Word()) + " ";
  EXPECT_EQ("0 0 330 200 ", frame);
  EXPECT_EQ("||", r.Text() + "|" + r.Text() + "|" + r.Text());  // no menu, the dialog class, no caption
  EXPECT_EQ(8, r.Word());
  EXPECT_EQ("MS Sans Serif", r.Text());

  // Tab order; every control a visible child (0x50000000).
  std::vector<std::string> expected = {
      "99 BUTTON 50010001 206,182,58,14 &O",       "2 BUTTON 50010000 267,182,58,14 ",
      "65535 STATIC 50020010 3,177,324,1 ",        "65535 STATIC 50000003 298,8,20,20 #1",
      "1001 STATIC 50020200 12,15,280,20 ",        "1010 SYSLISTVIEW32 50810011 235,40,88,132 ",
      "1031 STATIC 50020000 12,105,130,8 ",        "1032 EDIT 50810080 10,116,200,12 ",
      "1033 BUTTON 50010000 213,116,14,12 ...",    "1041 BUTTON 50010003 25,137,180,10 ",
      "1042 BUTTON 50010003 25,150,180,10 ",       "1043 BUTTON 50010003 25,163,180,10 ",
      "1047 STATIC 50020200 20,184,180,10 ",
  };
  std::vector<std::string> items;
  for (int i = 0; i < count; ++i) items.push_back(r.Item());
  EXPECT_EQ(expected, items);
}

TEST(SetupResources, IconGroupVersionAndManifest) {
  // Icon group 1: five images as (pixels, bits per pixel).
  std::u16string group = Resource(RT_GROUP_ICON, 1);
  ASSERT_GE(group.size(), 3u);
  ASSERT_EQ(5, group[2]);
  std::set<std::pair<int, int>> images;
  for (int i = 0; i < 5; ++i) images.insert({group[3 + 7 * i] & 0xFF, group[6 + 7 * i]});
  EXPECT_EQ((std::set<std::pair<int, int>>{{16, 32}, {32, 32}, {48, 32}, {16, 8}, {32, 8}}), images);
  EXPECT_NE(nullptr, LoadImageW(SetupExeModule(), MAKEINTRESOURCEW(1), IMAGE_ICON, 48, 48, 0));

  std::u16string version = Resource(RT_VERSION, 1);
  ASSERT_GT(version.size(), 46u);
  const VS_FIXEDFILEINFO* fixed = reinterpret_cast<const VS_FIXEDFILEINFO*>(version.data() + 20);
  ASSERT_EQ(VS_FFI_SIGNATURE, fixed->dwSignature);
  EXPECT_EQ(0x00040014u, fixed->dwFileVersionMS);  // 4.20
  EXPECT_EQ(0x00040014u, fixed->dwProductVersionMS);
  for (const char16_t* key : {u"FileVersion", u"ProductVersion"}) {
    EXPECT_NE(std::u16string::npos, version.find(key)) << TestUtf8(key);
  }
  EXPECT_NE(std::u16string::npos, version.find(u"4.20"));

  std::u16string units = Resource(MAKEINTRESOURCEW(24), 1);
  std::string manifest(reinterpret_cast<const char*>(units.data()), units.size() * 2);
  for (const char* field : {"name=\"Setup.exe\" version=\"5.1.0.0\" processorArchitecture=\"x86\"",
                            "<description>Setup</description>", "level=\"requireAdministrator\" uiAccess=\"false\"",
                            "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
                            "processorArchitecture=\"x86\" publicKeyToken=\"6595b64144ccf1df\" language=\"*\""}) {
    EXPECT_NE(std::string::npos, manifest.find(field)) << field;
  }
}
