#include "install/install_decisions.h"

#include "archive/file_routines.h"

#include "text/bounded_text.h"
#include "text/file_name_rules.h"
#include "text/product_description.h"

const char16_t kSetAsidePsapiName[] = u"HVPSAPI.DLL";

namespace {

// The state images a LanguageCheckQuery answers with, as the dialog's list holds them.
const uint8_t kChecked = 2;

// A longer name would be cut by its 32-unit field and then name no written file.
bool IsMainProgramName(const char16_t* name) {
  int length = WideLength(name);
  if (length <= 4 || length >= kNameFieldUnits) return false;
  if (name[0] != u'E' && name[0] != u'e') return false;
  return SameTextFolded(name + length - 4, u".EXE");
}

}  // namespace

bool InstallLanguageCode(const char16_t* name, const char16_t* languageFileBase, uint32_t* code) {
  if (name == nullptr || code == nullptr) return false;
  const char16_t* s = name;
  for (const char16_t* p = name; *p != 0; ++p) {
    if (*p == u'\\') {
      s = p + 1;
      break;
    }
  }
  int n = WideLength(languageFileBase);
  if (WideLength(s) <= n || s[n] != u'_') return false;

  char16_t k[5];
  int length = 0;
  for (const char16_t* p = s + n + 1; *p != 0 && *p != u'.'; ++p) {
    if (length == 4) return false;
    k[length++] = FoldAscii(*p);
  }
  k[length] = 0;
  char narrow[4];
  WideToNarrow(k, narrow, 4);
  *code = LanguageCode4FromNarrow(narrow);
  return true;
}

int DecideInstallEntry(char16_t* name, const char16_t* languageFileBase, LanguageCheckQuery checkOf,
                       void* queryContext, InstallState* state) {
  if (name == nullptr || name[0] == 0 || state == nullptr) return kInstallSkip;
  uint32_t code = 0;
  if (checkOf != nullptr && InstallLanguageCode(name, languageFileBase, &code) && checkOf(code, queryContext) == 1) {
    name[0] = 0;
    return kInstallSkip;
  }

  const char16_t* file = name + FileNameOffset(name);
  char16_t path[kPathUnits];
  SetWide(state->destination, path, kPathUnits);
  if (AppendPathComponent(file, path, kPathUnits) != 0) {
    state->pathError = kErrorPathTooLong;
    name[0] = 0;
    return kInstallSkip;
  }

  if (SameTextFolded(file, u"UnInst.exe")) {
    CopyWide(file, state->uninstaller, kNameFieldUnits);
  } else if (state->mainProgram[0] == 0 && IsMainProgramName(file)) {
    CopyWide(file, state->mainProgram, kNameFieldUnits);
  }
  CopyWide(path, name, kPathUnits);
  return kInstallWrite;
}

bool EndRegistryText(char16_t* buffer, int capacity, uint32_t bytes) {
  if (buffer == nullptr || capacity <= 0) return false;
  uint32_t units = bytes / sizeof(char16_t);
  if (units < static_cast<uint32_t>(capacity)) {
    buffer[units] = 0;
    return true;
  }
  if (buffer[capacity - 1] == 0) return true;
  buffer[0] = 0;
  return false;
}

void ProgramFilesBesideWindows(char16_t* windowsFolder, int capacity) {
  if (windowsFolder == nullptr || capacity <= 0) return;
  StripFileName(windowsFolder);
  // With no parent left, appending would give a relative "Programme".
  if (windowsFolder[0] == 0) return;
  EnsureTrailingSeparator(windowsFolder, capacity);
  int length = WideLength(windowsFolder);
  if (!IsSeparator(windowsFolder[length - 1])) {
    windowsFolder[0] = 0;
    return;
  }
  if (AppendWide(u"Programme", windowsFolder, capacity) == 0 && PathExists(windowsFolder)) return;
  windowsFolder[length] = 0;
  if (AppendWide(u"Program Files", windowsFolder, capacity) != 0) windowsFolder[0] = 0;
}

void QuickLaunchFolderBelow(char16_t* appData, int capacity) {
  if (appData == nullptr || capacity <= 0 || appData[0] == 0) return;
  if (AppendWide(u"\\Microsoft\\Internet Explorer\\Quick Launch", appData, capacity) != 0) {
    appData[0] = 0;
    return;
  }
  int length = WideLength(appData);
  bool pinned = AppendWide(u"\\User Pinned\\TaskBar", appData, capacity) != 0 || PathExists(appData);
  appData[length] = 0;
  if (pinned || !PathExists(appData)) appData[0] = 0;
}

bool BuildShortcutPath(const char16_t* folder, const char16_t* name, char16_t* out, int capacity) {
  if (out == nullptr || capacity <= 0) return false;
  out[0] = 0;
  if (folder == nullptr || folder[0] == 0 || name == nullptr) return false;
  if (name[IsSeparator(name[0]) ? 1 : 0] == 0) return false;
  if (SetWide(folder, out, capacity) != 0 || AppendPathComponent(name, out, capacity) != 0 ||
      AppendWide(u".lnk", out, capacity) != 0) {
    out[0] = 0;
    return false;
  }
  return true;
}

namespace {

bool HoldsForbiddenCharacter(const char16_t* name) {
  for (; *name != 0; ++name) {
    if (IsForbiddenInFileName(*name)) return true;
  }
  return false;
}

}  // namespace

bool IsUsableProductName(const char16_t* name) {
  if (name == nullptr || HoldsForbiddenCharacter(name)) return false;
  // Windows drops trailing dots and spaces, so "..." and ". ." would read as "." or nothing.
  bool onlyDotsAndSpaces = true;
  for (const char16_t* p = name; *p != 0; ++p) onlyDotsAndSpaces = onlyDotsAndSpaces && (*p == u'.' || *p == u' ');
  return !onlyDotsAndSpaces && !IsDeviceName(name, WideLength(name));
}

bool IsUsableMainProgramName(const char16_t* name) {
  return name != nullptr && !HoldsForbiddenCharacter(name) && !IsUnsafeFileName(name, WideLength(name));
}

void AddLanguageChoice(LanguageChoices* choices, uint32_t code) {
  for (int i = 0; i < choices->count; ++i) {
    if (choices->codes[i] == code) return;
  }
  if (choices->count >= kLanguageChoiceMax) return;
  choices->codes[choices->count] = code;
  choices->checks[choices->count++] = kChecked;
}

int LanguageChoiceCheckOf(uint32_t code, void* queryContext) {
  const LanguageChoices* choices = static_cast<const LanguageChoices*>(queryContext);
  for (int i = 0; choices != nullptr && i < choices->count; ++i) {
    if (choices->codes[i] == code) return choices->checks[i];
  }
  return 0;
}

int ProposedShortcuts(const char16_t* destination) { return PathExists(destination) ? 0 : 7; }
