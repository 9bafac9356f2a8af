#include "install/install_handler.h"

#include <gtest/gtest.h>

#include "install_test_util.h"
#include "shell/language_list.h"
#include "text/bounded_text.h"
#include "text/product_description.h"

TEST(InstallHandler, FiltersByTheListDeletesTheOldFileAndShowsThePath) {
  TestDialog d;
  TestAddStatusLine(d.dialog);
  PrepareLanguageList(d.List());
  int french = AddLanguageItem(d.List(), u"Fran\u00E7ais", LanguageCode4FromNarrow("FR"));
  SetLanguageItemCheck(d.List(), french, kLanguageUnchecked);
  CopyWide(u"Product", d.context.languageFileBase, 32);
  std::string folder = TestTempDir();
  InstallState state = {};
  state.owner = d.dialog;
  CopyWide(TestWidePath(folder).c_str(), state.destination, 1024);
  auto decide = [&](const char16_t* stored) {
    char16_t name[1024];
    CopyWide(stored, name, 1024);
    int result = InstallHandler(name, nullptr, 7, &state);
    return std::to_string(result) + " " + TestUtf8(name) + " | " + d.Text(1047);
  };

  TestWriteFile(folder + "\\Readme.txt", {'o', 'l', 'd'});
  std::string readme = folder + "\\Readme.txt";
  EXPECT_EQ("1 " + readme + " | " + readme, decide(u"Docs\\Readme.txt"));
  EXPECT_FALSE(fs::exists(readme));
  EXPECT_EQ("0  | " + readme, decide(u"Lang\\Product_fr.LNG"));
  std::string german = folder + "\\Product_DE.LNG";
  EXPECT_EQ("1 " + german + " | " + german, decide(u"Lang\\Product_DE.LNG"));

  char16_t name[1024] = u"Extra.exe";
  const uint8_t data[1] = {0};
  EXPECT_EQ(0, InstallHandler(name, data, 1, &state));
  EXPECT_EQ("Extra.exe", TestUtf8(name));
  // Without a list no language is filtered.
  state.owner = nullptr;
  EXPECT_EQ("1 " + folder + "\\Product_FR.LNG | " + german, decide(u"Product_FR.LNG"));
}
