#include "ui/language_list.h"

#include <commctrl.h>

#include "archive/file_routines.h"
#include "platform/wide.h"
#include "text/bounded_text.h"
#include "text/product_description.h"
#include "text/string_tables.h"
#include "ui/installer_context.h"
#include "ui/interface_language.h"
#include "ui/window_dpi.h"

namespace {

const DWORD kLanguageListStyles = LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP;
const UINT kCheckMask = LVIS_STATEIMAGEMASK;

const int16_t kLanguageMenuIds[] = {kCommandCheckAll, kCommandUncheckAll, kCommandInvertChecks, 0};

int ItemCount(HWND list) { return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

}  // namespace

const ListColumn kLanguageColumns[] = {
    {kTextLanguageColumn, -1, LVCFMT_LEFT},
    {0, 0, 0},
};

int ListColumnWidth(const ListColumn* columns, int index, int clientWidth, int scrollBarWidth, int dpi) {
  if (columns[index].width >= 0) return ScaleToDpi(columns[index].width, dpi);
  int taken = 0;
  for (const ListColumn* column = columns; column->textId != 0; ++column) {
    if (column->width > 0) taken += ScaleToDpi(column->width, dpi);
  }
  int width = clientWidth - taken - (scrollBarWidth + ScaleToDpi(4, dpi));
  int least = ScaleToDpi(100, dpi);
  return width < least ? least : width;
}

void FitLanguageColumns(HWND list) {
  if (list == nullptr) return;
  RECT client = {};
  GetClientRect(list, &client);
  int dpi = WindowDpi(list);
  int scrollBar = SystemMetricForDpi(SM_CXVSCROLL, dpi);
  for (int i = 0; kLanguageColumns[i].textId != 0; ++i) {
    int width = ListColumnWidth(kLanguageColumns, i, client.right - client.left, scrollBar, dpi);
    SendMessageW(list, LVM_SETCOLUMNWIDTH, i, MAKELPARAM(width, 0));
  }
}

void PrepareLanguageList(HWND list) {
  if (list == nullptr) return;
  wchar_t empty[1] = {0};
  for (int i = 0; kLanguageColumns[i].textId != 0; ++i) {
    LVCOLUMNW column = {};
    column.mask = LVCF_FMT | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = static_cast<int>(kLanguageColumns[i].format & 3);
    column.pszText = empty;
    column.iSubItem = 0;
    SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
  }
  FitLanguageColumns(list);

  const StringTable* table = CurrentStringTable();
  char16_t text[63];
  for (int i = 0; kLanguageColumns[i].textId != 0; ++i) {
    LookupString(table, kLanguageColumns[i].textId, text, 63);
    LVCOLUMNW column = {};
    column.mask = LVCF_TEXT;
    column.pszText = AsWide(text);
    SendMessageW(list, LVM_SETCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
  }

  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, kLanguageListStyles);

  char16_t name[31];
  LookupString(table, kTextLanguageEnglish, name, 31);
  AddLanguageItem(list, name, kLanguageCodeEnglish);
  LookupString(table, kTextLanguageGerman, name, 31);
  AddLanguageItem(list, name, kLanguageCodeGerman);
}

int AddLanguageItem(HWND list, const char16_t* text, uint32_t code) {
  if (list == nullptr) return -1;
  LVITEMW item = {};
  item.mask = LVIF_TEXT | LVIF_PARAM;
  item.iItem = ItemCount(list);
  item.pszText = const_cast<wchar_t*>(AsWide(text));
  item.lParam = static_cast<LPARAM>(code);
  int index = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  // A refused insertion gives -1, which as a state index would check every item.
  if (index >= 0) SetLanguageItemCheck(list, index, kLanguageChecked);
  return index;
}

int FindLanguageItem(HWND list, uint32_t code) {
  if (list == nullptr) return -1;
  LVFINDINFOW find = {};
  find.flags = LVFI_PARAM;
  find.lParam = static_cast<LPARAM>(code);
  return static_cast<int>(SendMessageW(list, LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)));
}

uint32_t LanguageItemCode(HWND list, int index) {
  if (list == nullptr) return 0;
  wchar_t text[1024];
  LVITEMW item = {};
  item.mask = LVIF_TEXT | LVIF_PARAM;
  item.iItem = index;
  item.iSubItem = 0;
  item.pszText = text;
  item.cchTextMax = 1024;
  if (!SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return 0;
  return static_cast<uint32_t>(item.lParam);
}

int LanguageItemCheck(HWND list, int index) {
  if (list == nullptr) return kLanguageNoCheck;
  UINT state = static_cast<UINT>(SendMessageW(list, LVM_GETITEMSTATE, index, kCheckMask));
  return static_cast<int>((state & kCheckMask) >> 12);
}

void SetLanguageItemCheck(HWND list, int index, int check) {
  if (list == nullptr) return;
  LVITEMW item = {};
  item.stateMask = kCheckMask;
  item.state = INDEXTOSTATEIMAGEMASK(check);
  SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

void MarkInstalledLanguages(HWND dialog, const char16_t* destination) {
  HWND list = GetDlgItem(dialog, kLanguageListId);
  if (list == nullptr) return;
  InstallerContext* context = InstallerContextGet();
  const char16_t* base = context != nullptr ? context->languageFileBase : u"";
  int count = ItemCount(list);
  for (int i = 0; i < count; ++i) {
    if (!KeepsLanguageCheck(destination, base, LanguageItemCode(list, i))) SetLanguageItemCheck(list, i, kLanguageUnchecked);
  }
}

HMENU CreateLanguageMenu() {
  HMENU menu = CreatePopupMenu();
  if (menu == nullptr) return nullptr;
  const StringTable* table = CurrentStringTable();
  char16_t text[63];
  for (const int16_t* id = kLanguageMenuIds; *id != 0; ++id) {
    LookupString(table, *id, text, 63);
    if (text[0] != 0) AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(*id), AsWide(text));
  }
  return menu;
}

void LanguageMenu(HWND dialog) {
  POINT pointer = {};
  GetCursorPos(&pointer);
  HMENU menu = CreateLanguageMenu();
  if (menu == nullptr) return;
  TrackPopupMenu(menu, TPM_RIGHTBUTTON, pointer.x, pointer.y, 0, dialog, nullptr);
  DestroyMenu(menu);
}

void CheckAll(HWND list) { SetLanguageItemCheck(list, -1, kLanguageChecked); }

void UncheckAll(HWND list) { SetLanguageItemCheck(list, -1, kLanguageUnchecked); }

void InvertChecks(HWND list) {
  if (list == nullptr) return;
  HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  int count = ItemCount(list);
  for (int i = 0; i < count; ++i) {
    int check = LanguageItemCheck(list, i) == kLanguageUnchecked ? kLanguageChecked : kLanguageUnchecked;
    SetLanguageItemCheck(list, i, check);
  }
  SetCursor(previous);
}
