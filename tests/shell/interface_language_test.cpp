#include "shell/interface_language.h"

#include <gtest/gtest.h>

#include <string.h>

#include "test_dialog.h"

TEST(InterfaceLanguage, TableFollowsContextCodeElseSystemLanguage) {
  InstallerContext context = {};
  InstallerContextSet(&context);
  strcpy(context.languageCode, "de");
  SelectInterfaceLanguage();
  EXPECT_EQ(&kStringTableGerman, context.stringTable);
  strcpy(context.languageCode, "FR");
  SelectInterfaceLanguage();
  EXPECT_EQ(&kStringTableEnglish, context.stringTable);
  EXPECT_STREQ("FR", context.languageCode);

  // An empty code is filled from the system's default language, and decides.
  context.languageCode[0] = 0;
  SelectInterfaceLanguage();
  char expected[4];
  LanguageIdToCode(GetSystemDefaultLangID(), expected);
  EXPECT_STREQ(expected, context.languageCode) << "system language 0x" << std::hex << GetSystemDefaultLangID();
  EXPECT_EQ(FindStringTable(expected), context.stringTable);
  EXPECT_EQ(context.stringTable, CurrentStringTable());

  InstallerContextSet(nullptr);
  SelectInterfaceLanguage();
  EXPECT_EQ(nullptr, CurrentStringTable());
}

TEST(ApplyDialogTexts, TitleAndControlsTakeTheirTexts) {
  TestDialog d("DE");
  ApplyDialogTexts(d.dialog, kDialogTextIds);
  EXPECT_EQ("Installation", TestWindowText(d.dialog));
  EXPECT_EQ("&OK", d.Text(99));
  EXPECT_EQ("Abbruch", d.Text(2));
  EXPECT_EQ("Zielpfad:", d.Text(1031));
  EXPECT_EQ("Programmgruppe erstellen", d.Text(1041));
  EXPECT_EQ("Desktop-Symbol anlegen", d.Text(1042));
  EXPECT_EQ("Symbol in der Schnellstartleiste anlegen", d.Text(1043));
  EXPECT_EQ("...", d.Text(1033));

  // A title id of 0 leaves the title alone; the controls behind it still change.
  const int16_t controlsOnly[] = {0, kTextCancel, 0};
  ApplyDialogTexts(d.dialog, &kStringTableItalian, controlsOnly);
  EXPECT_EQ("Installation", TestWindowText(d.dialog));
  EXPECT_EQ("Annulla", d.Text(2));

  // Ids the table lacks empty their controls; without a table nothing changes.
  const StringRow rows[] = {{kTextDialogTitle, "Tab\\tTitle"}, {0, nullptr}};
  const StringTable table = {0, "XX", rows};
  ApplyDialogTexts(d.dialog, &table, kDialogTextIds);
  EXPECT_EQ("Tab\tTitle", TestWindowText(d.dialog));
  EXPECT_EQ("", d.Text(2));
  EXPECT_EQ("", d.Text(1043));
  ApplyDialogTexts(d.dialog, nullptr, kDialogTextIds);
  ApplyDialogTexts(d.dialog, &kStringTableEnglish, nullptr);
  EXPECT_EQ("Tab\tTitle", TestWindowText(d.dialog));
}
