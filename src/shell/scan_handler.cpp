#include "shell/scan_handler.h"

#include "archive/archive_pass.h"
#include "install/install_record.h"
#include "platform/wide.h"
#include "text/bounded_text.h"
#include "text/product_description.h"
#include "ui/installer_context.h"
#include "ui/language_list.h"
#include "ui/product_closer.h"
#include "ui/window_dpi.h"

namespace {

// The dialog's title as read back, at most 1024 characters, and what is appended to it.
const int kTitleCapacity = 1025;

void SetText(const char* text, char* field, int capacity) {
  field[0] = 0;
  AppendNarrow(text, field, capacity);
}

// The context's name and version from the first description with a usable name.
void AdoptDescription(const ProductDescription& description) {
  InstallerContext* context = InstallerContextGet();
  if (context == nullptr || context->productName[0] != 0) return;
  AdoptProductName(description.name, context->productName, sizeof(context->productName));
  // The version goes with the name that was adopted, not with a later description's.
  if (context->productName[0] != 0) {
    AppendNarrow(description.version, context->productVersion, sizeof(context->productVersion));
  }
}

void NoteLanguageFileBase(const char16_t* name) {
  InstallerContext* installer = InstallerContextGet();
  if (installer != nullptr) {
    SetLanguageFileBase(name, installer->languageFileBase, sizeof installer->languageFileBase / sizeof(char16_t));
  }
}

int ChoicesScanHandler(char16_t* name, const uint8_t* data, uint32_t size, void* context) {
  if (data == nullptr) return 0;
  ProductDescription description;
  char16_t text[1024];
  switch (ClassifyScanEntry(name)) {
    case kScanEntryDescription:
      ParseDescriptionLine(data, size, &description);
      AdoptDescription(description);
      break;
    case kScanEntryLanguageFile:
      NoteLanguageFileBase(name);
      if (ReadLanguageFileName(data, size, text, 1024)) {
        AddLanguageChoice(static_cast<LanguageChoices*>(context), LanguageFileCode(name));
      }
      break;
    case kScanEntryOther:
      break;
  }
  return 0;
}

int ScanPassWith(EntryHandler handler, void* handlerContext, KeptStream* kept) {
  InstallerContext* context = InstallerContextGet();
  if (context == nullptr) return -1;
  ArchivePassSummary summary;
  int result = ArchivePassKeeping(context->moduleFile, handler, handlerContext, &summary, kept);
  if (result != 0) return result;
  // Only a whole payload names the product; a broken one leaves the fields as they were.
  SetText(summary.productCode, context->productCode, sizeof context->productCode);
  SetText(summary.productWindowClass, context->productWindowClass, sizeof context->productWindowClass);
  SetText(summary.mainProgramName, context->mainProgramName, sizeof context->mainProgramName);
  if (context->productWindowClass[0] == 0) {
    AppendNarrow(context->productName, context->productWindowClass, kWindowClassCapacity);
  }
  return 0;
}

}  // namespace

int ScanPass(HWND dialog) { return ScanPassWith(ScanHandler, dialog, nullptr); }

int ScanPassForChoices(LanguageChoices* choices, KeptStream* kept) {
  *choices = LanguageChoices{};
  AddLanguageChoice(choices, kLanguageCodeEnglish);
  AddLanguageChoice(choices, kLanguageCodeGerman);
  return ScanPassWith(ChoicesScanHandler, choices, kept);
}

int ScanHandler(char16_t* name, const uint8_t* data, uint32_t size, void* context) {
  if (data == nullptr) return 0;
  HWND dialog = static_cast<HWND>(context);
  switch (ClassifyScanEntry(name)) {
    case kScanEntryDescription:
      ParseProductDescription(dialog, data, size);
      break;
    case kScanEntryLanguageFile:
      NoteLanguageFileBase(name);
      AddLanguageEntry(dialog, data, size, name);
      break;
    case kScanEntryOther:
      break;
  }
  return 0;
}

void ParseProductDescription(HWND dialog, const uint8_t* data, uint32_t count) {
  ProductDescription description;
  ParseDescriptionLine(data, count, &description);

  char title[kTitleCapacity];
  title[0] = 0;
  GetWindowTextA(dialog, title, kTitleCapacity);
  AppendNarrow(" ", title, kTitleCapacity);
  AppendProductTitle(&description, title, kTitleCapacity);
  SetWindowTextA(dialog, title);

  char line[kTitleCapacity];
  line[0] = 0;
  AppendProductTitle(&description, line, kTitleCapacity);

  SetTitleFont(dialog);
  SetDlgItemTextA(dialog, kTitleLineId, line);

  AdoptDescription(description);
}

void AddLanguageEntry(HWND dialog, const uint8_t* data, uint32_t count, const char16_t* name) {
  char16_t text[1024];
  if (!ReadLanguageFileName(data, count, text, 1024)) return;
  uint32_t code = LanguageFileCode(name);
  HWND list = GetDlgItem(dialog, kLanguageListId);
  if (list != nullptr && FindLanguageItem(list, code) < 0) AddLanguageItem(list, text, code);
}

void ProductNameFont(LOGFONTW* font, int pixelsPerInchY) {
  *font = LOGFONTW{};
  font->lfHeight = -MulDiv(18, pixelsPerInchY, 72);
  font->lfWeight = FW_NORMAL;
  font->lfCharSet = ANSI_CHARSET;
  font->lfOutPrecision = OUT_STRING_PRECIS;
  font->lfClipPrecision = CLIP_STROKE_PRECIS;
  font->lfQuality = DRAFT_QUALITY;
  font->lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
  CopyWide(u"Microsoft Sans Serif", AsUtf16(font->lfFaceName), LF_FACESIZE);
}

void SetTitleFont(HWND dialog) {
  HWND title = GetDlgItem(dialog, kTitleLineId);
  LOGFONTW font;
  ProductNameFont(&font, WindowDpi(dialog));
  HFONT handle = title != nullptr ? CreateFontIndirectW(&font) : nullptr;
  if (handle == nullptr) return;
  HGDIOBJ previous = reinterpret_cast<HGDIOBJ>(SendMessageW(title, WM_GETFONT, 0, 0));
  SendMessageW(title, WM_SETFONT, reinterpret_cast<WPARAM>(handle), TRUE);
  // The title line's last font stays until the program ends; one it had before was an earlier title's.
  if (previous != nullptr && previous != reinterpret_cast<HGDIOBJ>(SendMessageW(dialog, WM_GETFONT, 0, 0))) {
    DeleteObject(previous);
  }
}
