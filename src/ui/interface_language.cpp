#include "ui/interface_language.h"

#include "platform/wide.h"
#include "ui/installer_context.h"

namespace {

// A window or control text looked up for a dialog: at most 1021 characters.
const int kDialogTextUnits = 1023;

}  // namespace

void SystemLanguageCode(char* out) { LanguageIdToCode(GetSystemDefaultLangID(), out); }

void SelectInterfaceLanguage() {
  InstallerContext* context = InstallerContextGet();
  if (context == nullptr) return;
  context->stringTable = kStringTables[0];
  if (context->languageCode[0] == 0) SystemLanguageCode(context->languageCode);
  context->stringTable = FindStringTable(context->languageCode);
}

const StringTable* CurrentStringTable() {
  InstallerContext* context = InstallerContextGet();
  return context != nullptr ? context->stringTable : nullptr;
}

void ApplyDialogTexts(HWND window, const StringTable* table, const int16_t* ids) {
  if (table == nullptr || ids == nullptr) return;
  char16_t text[kDialogTextUnits];
  if (ids[0] != 0) {
    LookupString(table, ids[0], text, kDialogTextUnits);
    SetWindowTextW(window, AsWide(text));
  }
  for (const int16_t* id = ids + 1; *id != 0; ++id) {
    LookupString(table, *id, text, kDialogTextUnits);
    SetDlgItemTextW(window, *id, AsWide(text));
  }
}

void ApplyDialogTexts(HWND window, const int16_t* ids) { ApplyDialogTexts(window, CurrentStringTable(), ids); }
