#include "shell/setup_dialog.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>

#include "install/shortcuts.h"
#include "shell/scan_handler.h"
#include "shell_test_util.h"
#include "text/bounded_text.h"
#include "text/product_description.h"
#include "ui/language_list.h"

namespace {

// Product "Example Tool" 3.2 of code "ZQT" with no window class, languages English, German and French.
std::string WriteInstaller(size_t cut = 0) {
  return TestInstaller({"ZQT", "", "tool.exe"},
                       {{"FILE_ID.DIZ", TestBytes("Example Tool Version 3.2\r\n")},
                        {"tool.exe", TestBytes("MZ")},
                        {"Lang\\Tool_FR.LNG", TestBytes("[Info]\r\nLanguage=Francais\r\n")}},
                       cut);
}

// The context as start-up leaves it, in English, for an installer.
void StartContext(InstallerContext* context, const std::string& installer) {
  strcpy(context->languageCode, "US");
  InstallerContextSet(context);
  SelectInterfaceLanguage();
  context->icon = LoadIconW(nullptr, IDI_APPLICATION);
  CopyWide(TestWidePath(installer).c_str(), context->modulePath, 1024);
  context->moduleFile = PlatformCreateFile(context->modulePath, false);
}

// Feeds one entry to the handler as the archive pass does: decision call, then data call.
void Scan(HWND dialog, const char16_t* name, const std::string& data) {
  char16_t buffer[1024];
  CopyWide(name, buffer, 1024);
  EXPECT_EQ(0, ScanHandler(buffer, nullptr, static_cast<uint32_t>(data.size()), dialog));
  EXPECT_EQ(0, ScanHandler(buffer, reinterpret_cast<const uint8_t*>(data.data()), static_cast<uint32_t>(data.size()),
                           dialog));
}

// The DPI this run's Wine prefix gives the screen: SETUP_WINE_DPI (tests/CMakeLists.txt), else 96.
int ConfiguredDpi() {
  const char* value = getenv("SETUP_WINE_DPI");
  return value != nullptr && value[0] != 0 ? atoi(value) : 96;
}

// What of a static's, button's or check box's text does not fit the control, as
// "id: text needs WxH in WxH", or "": its extent in the control's own font, beside
// a check box's box, against the client rectangle.
std::string Clipped(HWND control, int dpi) {
  wchar_t text[256] = {0};
  GetWindowTextW(control, text, 256);
  std::wstring shown;
  for (const wchar_t* c = text; *c != 0; ++c) {
    if (*c != L'&') shown += *c;
  }
  RECT client = {};
  GetClientRect(control, &client);
  LONG_PTR style = GetWindowLongPtrW(control, GWL_STYLE);
  wchar_t kind[32] = {0};
  GetClassNameW(control, kind, 32);
  if (shown.empty() || (_wcsicmp(kind, L"Static") == 0 && (style & SS_TYPEMASK) > SS_RIGHT)) return "";
  int room = client.right;
  if (_wcsicmp(kind, L"Button") == 0 && (style & BS_TYPEMASK) == BS_AUTOCHECKBOX) {
    room -= GetSystemMetrics(SM_CXMENUCHECK) + MulDiv(4, dpi, 96);
  } else if (_wcsicmp(kind, L"Button") == 0) {
    room -= 2 * GetSystemMetrics(SM_CXEDGE);
  }
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
  SIZE size = {};
  GetTextExtentPoint32W(dc, shown.c_str(), static_cast<int>(shown.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  if (size.cx <= room && size.cy <= client.bottom) return "";
  return std::to_string(GetDlgCtrlID(control)) + ": " + TestUtf8(AsUtf16(text)) + " needs " + std::to_string(size.cx) +
         "x" + std::to_string(size.cy) + " in " + std::to_string(room) + "x" + std::to_string(client.bottom);
}

struct ClippedControls {
  int dpi;
  std::string found;
};

BOOL CALLBACK NoteClipped(HWND control, LPARAM controls) {
  auto* clipped = reinterpret_cast<ClippedControls*>(controls);
  std::string found = Clipped(control, clipped->dpi);
  if (!found.empty()) clipped->found += found + "; ";
  return TRUE;
}

}  // namespace

// The manifest's fields are checked on every host by cmake/check-stub.cmake; here the icon must load.
TEST(SetupResources, IconLoads) {
  HMODULE module = SetupExeModule();
  ASSERT_NE(nullptr, module) << "setup.exe not found beside the tests";
  EXPECT_NE(nullptr, LoadImageW(module, MAKEINTRESOURCEW(1), IMAGE_ICON, 48, 48, 0));
}

TEST(SetupDialog, InitDialogFillsTheRealTemplate) {
  InstallerContext context = {};
  StartContext(&context, WriteInstaller());
  HWND dialog = CreateDialogParamW(SetupExeModule(), MAKEINTRESOURCEW(kSetupDialogId), nullptr, SetupDialog, 0);
  ASSERT_NE(nullptr, dialog);
  EXPECT_EQ("Setup Example Tool 3.2|Cancel", TestWindowText(dialog) + "|" + TestWindowText(GetDlgItem(dialog, 2)));
  // Without a window class the closer looks for the product name.
  EXPECT_EQ("ZQT|Example Tool|tool.exe",
            std::string(context.productCode) + "|" + context.productWindowClass + "|" + context.mainProgramName);
  EXPECT_EQ(reinterpret_cast<ULONG_PTR>(context.icon), GetClassLongPtrW(dialog, GCLP_HICON));
  RECT desktop, window;
  GetWindowRect(GetDesktopWindow(), &desktop);
  GetWindowRect(dialog, &window);
  EXPECT_LE(abs(2 * window.left - (desktop.right - (window.right - window.left))), 1);
  EXPECT_LE(abs(2 * window.top - (desktop.bottom - (window.bottom - window.top))), 1);

  // The product name stands in an 18-point font of its own.
  LOGFONTW title = {};
  HFONT titleFont = reinterpret_cast<HFONT>(SendDlgItemMessageW(dialog, kTitleLineId, WM_GETFONT, 0, 0));
  ASSERT_EQ(static_cast<int>(sizeof title), GetObjectW(titleFont, sizeof title, &title));
  HDC dc = GetDC(dialog);
  EXPECT_EQ(-MulDiv(18, GetDeviceCaps(dc, LOGPIXELSY), 72), title.lfHeight);
  ReleaseDC(dialog, dc);
  EXPECT_STREQ(L"Microsoft Sans Serif", title.lfFaceName);

  // A new destination: every box checked, the Quick Launch box hidden without its folder.
  for (int id : {kStartMenuBoxId, kDesktopBoxId, kQuickLaunchBoxId}) EXPECT_TRUE(IsDlgButtonChecked(dialog, id)) << id;
  LONG_PTR boxStyle = GetWindowLongPtrW(GetDlgItem(dialog, kQuickLaunchBoxId), GWL_STYLE);
  EXPECT_EQ(HasQuickLaunch(), (boxStyle & WS_VISIBLE) != 0);
  DestroyWindow(dialog);
  PlatformCloseHandle(context.moduleFile);
  InstallerContextSet(nullptr);
}

// A broken installer shows the message alone: the dialog never appears and ends with 0.
TEST(SetupDialog, BrokenInstallerShowsOnlyTheMessage) {
  InstallerContext context = {};
  StartContext(&context, WriteInstaller(8));
  std::string shown;
  auto answer = [&](HWND box) {
    bool over = IsWindowVisible(GetWindow(box, GW_OWNER));
    shown = TestWindowText(box) + ": " + TestWindowText(GetDlgItem(box, 0xFFFF)) + (over ? " (over the dialog)" : "");
    PostMessageW(box, WM_CLOSE, 0, 0);
  };
  EXPECT_EQ(0, WithModalAnswer(answer, [] {
              return DialogBoxParamW(SetupExeModule(), MAKEINTRESOURCEW(kSetupDialogId), nullptr, SetupDialog, 0);
            }));
  PlatformCloseHandle(context.moduleFile);
  InstallerContextSet(nullptr);
  EXPECT_EQ("setup.exe: Broken file, please download again.", shown);
  EXPECT_STREQ("", context.productCode) << "a broken payload names no product";
}

// The first description names the product and the first language file the base;
// later ones add to the title, and languages whose code is listed are not added again.
TEST(ScanHandler, TitleProductAndLanguagesEntryByEntry) {
  TestDialog d("DE");
  SetWindowTextW(d.dialog, L"Installation");
  PrepareLanguageList(d.List());
  Scan(d.dialog, u"FILE_ID.DIZ", "Tool Version 2\r\nThe tool.");
  Scan(d.dialog, u"Lang\\Tool_FR.LNG", "[Info]\r\nLanguage=Fran\xE7" "ais\r\n");
  Scan(d.dialog, u"Other_IT.LNG", "[Language=Italiano");
  Scan(d.dialog, u"Tool_fr.lng", "[Language=French");
  Scan(d.dialog, u"Tool_US.LNG", "[Language=American");
  Scan(d.dialog, u"file_id.diz", "Other\r\n");
  EXPECT_EQ("Installation Tool 2 Other ", TestWindowText(d.dialog));
  EXPECT_EQ("Other ", d.Text(kTitleLineId));
  EXPECT_EQ("Tool|Tool", std::string(d.context.productName) + "|" + TestUtf8(d.context.languageFileBase));
  EXPECT_EQ("Deutsch[x] Englisch[x] Fran\xC3\xA7" "ais[x] Italiano[x]", d.Items());

  // A product name longer than the context holds is cut.
  d.context.productName[0] = 0;
  Scan(d.dialog, u"FILE_ID.DIZ", std::string(200, 'n'));
  EXPECT_EQ(std::string(31, 'n'), d.context.productName);
  // One that would lead the program group and the links elsewhere is shown but counts as none.
  d.context.productName[0] = 0;
  Scan(d.dialog, u"FILE_ID.DIZ", "..\\..\\X Version 1");
  EXPECT_EQ("|..\\..\\X 1", std::string(d.context.productName) + "|" + d.Text(kTitleLineId));
}

// Each item of the language list's menu, chosen in the setup dialog, runs its command on the list.
TEST(LanguageList, MenuItemsCheckUncheckAndInvert) {
  TestDialog d;
  PrepareLanguageList(d.List());
  AddLanguageItem(d.List(), u"Fran\u00E7ais", LanguageCode4FromNarrow("FR"));
  SetLanguageItemCheck(d.List(), 1, kLanguageUnchecked);
  HMENU menu = CreateLanguageMenu();
  ASSERT_EQ(3, GetMenuItemCount(menu));
  const struct { int position; const char *text, *items; } kChoices[] = {
      {2, "&Invert selection", "English[ ] Fran\xC3\xA7" "ais[x] German[ ]"},
      {0, "Select &all", "English[x] Fran\xC3\xA7" "ais[x] German[x]"},
      {1, "&Deselect all", "English[ ] Fran\xC3\xA7" "ais[ ] German[ ]"},
      {2, "&Invert selection", "English[x] Fran\xC3\xA7" "ais[x] German[x]"},
  };
  for (const auto& choice : kChoices) {
    wchar_t text[64] = {0};
    GetMenuStringW(menu, choice.position, text, 64, MF_BYPOSITION);
    EXPECT_EQ(choice.text, TestUtf8(AsUtf16(text)));
    SetupDialog(d.dialog, WM_COMMAND, GetMenuItemID(menu, choice.position), 0);
    EXPECT_EQ(choice.items, d.Items()) << choice.text;
  }
  DestroyMenu(menu);
}

// Over an earlier installation a language stays checked only where its file is;
// English and German, built into the product, always do.
TEST(LanguageList, MarkInstalledLanguagesUnchecksMissingFiles) {
  TestDialog d;
  PrepareLanguageList(d.List());
  AddLanguageItem(d.List(), u"Fran\u00E7ais", LanguageCode4FromNarrow("FR"));
  AddLanguageItem(d.List(), u"Italiano", LanguageCode4FromNarrow("IT"));
  CopyWide(u"Tool", d.context.languageFileBase, 32);
  std::string destination = TestTempDir();
  TestWriteFile(destination + "\\Tool_FR.LNG", TestBytes("["));
  MarkInstalledLanguages(d.dialog, TestWidePath(destination).c_str());
  EXPECT_EQ("English[x] Fran\xC3\xA7" "ais[x] German[x] Italiano[ ]", d.Items());
}

// The real dialog in each interface language at the DPI of this run (96, and 144
// and 192 in prefixes of their own): the title line's font is 18 points at that
// DPI, every text fits its control and every control the dialog, and the
// language list's column holds its header and items beside the scroll bar.
TEST(SetupDialogDpi, TextsFitAndTitleScalesInEveryLanguage) {
  // The installer is DPI aware by its manifest; this test program has none.
  SetProcessDPIAware();
  const int dpi = ConfiguredDpi();
  for (const char* language : {"US", "DE", "IT"}) {
    SCOPED_TRACE(language);
    InstallerContext context = {};
    std::string installer = WriteInstaller();
    StartContext(&context, installer);
    strcpy(context.languageCode, language);
    SelectInterfaceLanguage();
    HWND dialog = CreateDialogParamW(SetupExeModule(), MAKEINTRESOURCEW(kSetupDialogId), nullptr, SetupDialog, 0);
    ASSERT_NE(nullptr, dialog);
    HDC dc = GetDC(dialog);
    EXPECT_EQ(dpi, GetDeviceCaps(dc, LOGPIXELSY)) << "the prefix's LogPixels did not take";
    ReleaseDC(dialog, dc);

    LOGFONTW title = {};
    GetObjectW(reinterpret_cast<HFONT>(SendDlgItemMessageW(dialog, kTitleLineId, WM_GETFONT, 0, 0)), sizeof title, &title);
    EXPECT_EQ(-MulDiv(18, dpi, 72), title.lfHeight);

    ClippedControls clipped = {dpi, ""};
    EnumChildWindows(dialog, NoteClipped, reinterpret_cast<LPARAM>(&clipped));
    EXPECT_EQ("", clipped.found);
    RECT client, control;
    GetClientRect(dialog, &client);
    MapWindowPoints(dialog, nullptr, reinterpret_cast<POINT*>(&client), 2);
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
      GetWindowRect(child, &control);
      EXPECT_TRUE(control.left >= client.left && control.top >= client.top && control.right <= client.right &&
                  control.bottom <= client.bottom)
          << "control " << GetDlgCtrlID(child) << " leaves the dialog";
    }

    HWND list = GetDlgItem(dialog, kLanguageListId);
    RECT listClient;
    GetClientRect(list, &listClient);
    int column = ListView_GetColumnWidth(list, 0);
    EXPECT_LE(column + GetSystemMetrics(SM_CXVSCROLL), listClient.right) << "the column needs a horizontal scroll bar";
    int box = 0, boxHeight = 0;
    ImageList_GetIconSize(ListView_GetImageList(list, LVSIL_STATE), &box, &boxHeight);
    EXPECT_GT(box, 0) << "the list has no check boxes";
    wchar_t header[64] = {0};
    LVCOLUMNW headerColumn = {};
    headerColumn.mask = LVCF_TEXT;
    headerColumn.pszText = header;
    headerColumn.cchTextMax = 64;
    ListView_GetColumn(list, 0, &headerColumn);
    EXPECT_LE(ListView_GetStringWidth(list, header) + MulDiv(12, dpi, 96), column) << TestUtf8(AsUtf16(header));
    for (int i = 0; i < ListView_GetItemCount(list); ++i) {
      wchar_t text[64] = {0};
      ListView_GetItemText(list, i, 0, text, 64);
      EXPECT_LE(ListView_GetStringWidth(list, text) + box + MulDiv(12, dpi, 96), column) << TestUtf8(AsUtf16(text));
    }
    DestroyWindow(dialog);
    PlatformCloseHandle(context.moduleFile);
    InstallerContextSet(nullptr);
  }
}

// After a move to a screen of another DPI the system scales the dialog but not
// what the code sized in pixels: the dialog's message to itself sets the title
// font and the language column again for the dialog's DPI.
TEST(SetupDialogDpi, FitToDpiMessageRestoresTitleFontAndColumn) {
  InstallerContext context = {};
  StartContext(&context, WriteInstaller());
  HWND dialog = CreateDialogParamW(SetupExeModule(), MAKEINTRESOURCEW(kSetupDialogId), nullptr, SetupDialog, 0);
  ASSERT_NE(nullptr, dialog);
  HWND list = GetDlgItem(dialog, kLanguageListId);
  int fitted = ListView_GetColumnWidth(list, 0);
  ListView_SetColumnWidth(list, 0, 20);
  LOGFONTW stale = {};
  ProductNameFont(&stale, 48);
  SendDlgItemMessageW(dialog, kTitleLineId, WM_SETFONT, reinterpret_cast<WPARAM>(CreateFontIndirectW(&stale)), FALSE);

  SendMessageW(dialog, kFitToDpiMessage, 0, 0);
  LOGFONTW title = {};
  GetObjectW(reinterpret_cast<HFONT>(SendDlgItemMessageW(dialog, kTitleLineId, WM_GETFONT, 0, 0)), sizeof title, &title);
  EXPECT_EQ(-MulDiv(18, ConfiguredDpi(), 72), title.lfHeight);
  EXPECT_EQ(fitted, ListView_GetColumnWidth(list, 0));
  DestroyWindow(dialog);
  PlatformCloseHandle(context.moduleFile);
  InstallerContextSet(nullptr);
}
