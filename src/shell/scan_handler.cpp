#include "shell/scan_handler.h"

#include "archive/archive_pass.h"
#include "install/install_record.h"
#include "platform/wide.h"
#include "text/bounded_text.h"
#include "text/product_description.h"
#include "ui/installer_context.h"
#include "ui/language_list.h"

namespace {

// The dialog's title as read back, at most 1024 characters, and what is appended to it.
const int kTitleCapacity = 1025;

void SetText(const char* text, char* field, int capacity) {
  field[0] = 0;
  AppendNarrow(text, field, capacity);
}

}  // namespace

int ScanPass(HWND dialog) {
  InstallerContext* context = InstallerContextGet();
  if (context == nullptr) return -1;
  ArchivePassSummary summary;
  int result = ArchivePassOnFile(context->moduleFile, ScanHandler, dialog, &summary);
  if (result != 0) return result;
  // Only a whole payload names the product; a broken one leaves the fields as they were.
  SetText(summary.productCode, context->productCode, sizeof context->productCode);
  SetText(summary.productWindowClass, context->productWindowClass, sizeof context->productWindowClass);
  SetText(summary.mainProgramName, context->mainProgramName, sizeof context->mainProgramName);
  return 0;
}

int ScanHandler(char16_t* name, const uint8_t* data, uint32_t size, void* context) {
  if (data == nullptr) return 0;
  HWND dialog = static_cast<HWND>(context);
  switch (ClassifyScanEntry(name)) {
    case kScanEntryDescription:
      ParseProductDescription(dialog, data, size);
      break;
    case kScanEntryLanguageFile: {
      InstallerContext* installer = InstallerContextGet();
      if (installer != nullptr) SetLanguageFileBase(name, installer->languageFileBase, sizeof installer->languageFileBase / sizeof(char16_t));
      AddLanguageEntry(dialog, data, size, name);
      break;
    }
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

  LOGFONTW font;
  HDC dc = GetDC(dialog);
  ProductNameFont(&font, GetDeviceCaps(dc, LOGPIXELSY));
  ReleaseDC(dialog, dc);
  // Never deleted: the title line shows it until the program ends.
  HFONT handle = CreateFontIndirectW(&font);
  if (handle != nullptr) SendDlgItemMessageW(dialog, kTitleLineId, WM_SETFONT, reinterpret_cast<WPARAM>(handle), FALSE);
  SetDlgItemTextA(dialog, kTitleLineId, line);

  InstallerContext* context = InstallerContextGet();
  if (context != nullptr) AdoptProductName(description.name, context->productName, sizeof(context->productName));
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
  CopyWide(u"MS Sans Serif", AsUtf16(font->lfFaceName), LF_FACESIZE);
}
