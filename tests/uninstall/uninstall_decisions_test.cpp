#include "uninstall/uninstall_decisions.h"

#include "uninstall/uninstall_texts.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

std::string Ascii(const char16_t* text) {
  std::string ascii;
  for (; *text != 0; ++text) ascii += static_cast<char>(*text);
  return ascii;
}

std::u16string Wide(const std::string& text) { return std::u16string(text.begin(), text.end()); }

// "silent handle" for a line understood, "-" for one refused.
std::string Parse(const char* line) {
  UninstallCommand command;
  if (ParseUninstallCommand(Wide(line).c_str(), &command) != 0) return "-";
  return std::to_string(command.silent) + " " + std::to_string(command.original);
}

std::string Owner(const char* command) {
  char16_t folder[64];
  return UninstallCommandFolder(Wide(command).c_str(), folder, 64) ? Ascii(folder) : "-" + Ascii(folder);
}

}  // namespace

TEST(UninstallCommandLine, OnlySilentAndAProcessHandleAreUnderstood) {
  EXPECT_EQ("0 0", Parse(""));
  EXPECT_EQ("1 0", Parse("/S"));
  EXPECT_EQ("1 0", Parse(" /s\t/S "));
  EXPECT_EQ("0 12344", Parse("/X=12344"));
  EXPECT_EQ("1 4294967292", Parse("/x=4294967292 /S"));
  // Pseudo handles, odd values and what does not fit in a handle never reach a wait.
  for (const char* refused : {"/X=12345", "/X=4294967295", "/X=4294967294", "/X=4294967296", "/X=0", "/X=",
                              "/X=-4", "/X=+4", "/X=4x", "/X=4 /X=8", "/Silent", "/D=C:\\x", "S", "/S /Q", "/?"}) {
    EXPECT_EQ("-", Parse(refused)) << refused;
  }
  UninstallCommand command;
  EXPECT_EQ(0, ParseUninstallCommand(nullptr, &command));
}

TEST(UninstallEntryOwner, TheProgramFolderOfQuotedQuietAndOldBareCommands) {
  EXPECT_EQ("C:\\Apps\\Tool", Owner("\"C:\\Apps\\Tool\\UnInst.exe\""));
  EXPECT_EQ("C:\\Apps\\Tool", Owner("\"C:\\Apps\\Tool\\UnInst.exe\" /S"));
  EXPECT_EQ("C:\\Program Files\\Tool", Owner("C:\\Program Files\\Tool\\UnInst.exe"));
  EXPECT_EQ("C:\\", Owner("\"C:\\UnInst.exe\""));
  for (const char* none : {"", "\"\"", "\"C:\\Apps\\Tool\\UnInst.exe", "UnInst.exe", "\"UnInst.exe\" /S",
                           "\"C:\\a-folder-name-far-longer-than-the-sixty-four-unit-buffer\\UnInst.exe\""}) {
    EXPECT_EQ("-", Owner(none)) << none;
  }
}

TEST(UninstallTrailerNames, NamesThatWouldLeaveTheFolderOrNameADeviceAreRefused) {
  char16_t out[64];
  for (const char* name : {"..\\..\\..\\..\\..\\..\\vd", "a\\b", "C:x", "\\x", "CON", "NUL", "COM1", "PRN.txt",
                           "..", ".", "...", " ", ""}) {
    TrailerProductName(name, out, 64);
    EXPECT_EQ("", Ascii(out)) << name;
    EXPECT_FALSE(TrailerFileName(name, out, 64)) << name;
    EXPECT_EQ("", Ascii(out)) << name;
  }
  EXPECT_FALSE(TrailerFileName("a.", out, 64)) << "Windows drops the dot: another file";
  TrailerProductName("Pebble Notes", out, 64);
  EXPECT_EQ("Pebble Notes", Ascii(out));
  EXPECT_TRUE(TrailerFileName("Readme.txt", out, 64));
  EXPECT_EQ("Readme.txt", Ascii(out));
}

// Each language's table holds every text once, and the texts that name
// something have one place for it; the system's language code chooses.
TEST(UninstallTexts, EveryTableHasEveryTextAndTheLanguageChooses) {
  const StringTable* english = UninstallStringTableFor("US");
  std::map<std::string, const StringTable*> chosen;
  for (const char* code : {"DE", "IT", "US", "FR", ""}) chosen[code] = UninstallStringTableFor(code);
  EXPECT_EQ(english, chosen["FR"]);
  EXPECT_EQ("DE IT", std::string(chosen["DE"]->languageCode) + " " + chosen["IT"]->languageCode);
  for (const StringTable* table : {chosen["US"], chosen["DE"], chosen["IT"]}) {
    std::map<int16_t, std::string> rows;
    for (const StringRow* row = table->rows; row->id != 0; ++row) {
      EXPECT_TRUE(rows.emplace(row->id, row->text).second) << table->languageCode << ": id " << row->id << " twice";
    }
    EXPECT_EQ(8u, rows.size()) << table->languageCode;
    for (int16_t id = kTextUninstallCaption; id <= kTextUninstallNoRecord; ++id) {
      const std::string& text = rows[id];
      EXPECT_NE("", text) << table->languageCode << ": text " << id;
      bool names = id == kTextUninstallConfirm || id == kTextUninstallDone || id == kTextUninstallFolderKept;
      EXPECT_EQ(names, text.find("%s") != std::string::npos) << table->languageCode << ": text " << id;
      EXPECT_EQ(text.find("%s"), text.rfind("%s")) << table->languageCode << ": text " << id;
      char16_t own[512], base[512];
      LookupString(table, id, own, 512);
      LookupString(english, id, base, 512);
      if (table != english) {
        EXPECT_NE(Ascii(base), Ascii(own)) << table->languageCode << ": English text " << id;
      }
    }
  }
  char16_t out[40];
  ComposeText(english, kTextUninstallDone, u"Pebble", out, 40);
  EXPECT_EQ("Pebble has been removed from this compu", Ascii(out));
  ComposeText(chosen["DE"], kTextUninstallFolderKept, u"C:\\P", out, 40);
  EXPECT_EQ("Der Ordner C:\\P bleibt erhalten: er ent", Ascii(out));
}
