#include "shell/setup_dialog.h"

#include "archive/file_routines.h"
#include "install/install_sequence.h"
#include "install/shortcuts.h"
#include "install/stored_destination.h"
#include "platform/wide.h"
#include "shell/scan_handler.h"
#include "text/bounded_text.h"
#include "text/string_tables.h"
#include "ui/browse.h"
#include "ui/installer_context.h"
#include "ui/interface_language.h"
#include "ui/language_list.h"
#include "ui/exit_codes.h"
#include "ui/messages.h"
#include "ui/setup_log.h"

namespace {

void OnCommand(HWND dialog, int id) {
  switch (id) {
    case kInstallButtonId:
      if (RunInstall(dialog) == 0) PostMessageW(dialog, WM_CLOSE, 0, 0);
      break;
    case kCancelButtonId:
      PostMessageW(dialog, WM_CLOSE, 0, 0);
      break;
    case kCommandCheckAll:
      CheckAll(GetDlgItem(dialog, kLanguageListId));
      break;
    case kCommandUncheckAll:
      UncheckAll(GetDlgItem(dialog, kLanguageListId));
      break;
    case kCommandInvertChecks:
      InvertChecks(GetDlgItem(dialog, kLanguageListId));
      break;
    case kBrowseButtonId:
      BrowseForDestination(dialog, kDestinationEditId);
      break;
  }
}

}  // namespace

INT_PTR CALLBACK SetupDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      InitDialog(dialog, reinterpret_cast<const SetupOptions*>(lParam));
      return FALSE;
    case WM_CLOSE:
      EndDialog(dialog, 0);
      return TRUE;
    case WM_CONTEXTMENU:
      if (reinterpret_cast<HWND>(wParam) != GetDlgItem(dialog, kLanguageListId)) return FALSE;
      LanguageMenu(dialog);
      return TRUE;
    case WM_COMMAND:
      OnCommand(dialog, LOWORD(wParam));
      return TRUE;
    case WM_DPICHANGED:
      // The system's own scaling of the dialog and its controls runs after this returns.
      PostMessageW(dialog, kFitToDpiMessage, 0, 0);
      return FALSE;
    case kFitToDpiMessage:
      FitToDpi(dialog);
      return TRUE;
  }
  return FALSE;
}

void FitToDpi(HWND dialog) {
  HWND title = GetDlgItem(dialog, kTitleLineId);
  if (SendMessageW(title, WM_GETFONT, 0, 0) != SendMessageW(dialog, WM_GETFONT, 0, 0)) SetTitleFont(dialog);
  FitLanguageColumns(GetDlgItem(dialog, kLanguageListId));
}

void InitDialog(HWND dialog, const SetupOptions* options) {
  InstallerContext* context = InstallerContextGet();
  if (context == nullptr) return;
  HWND list = GetDlgItem(dialog, kLanguageListId);
  CenterOnDesktop(dialog);
  SetClassLongPtrW(dialog, GCLP_HICON, reinterpret_cast<LONG_PTR>(context->icon));
  ApplyDialogTexts(dialog, kDialogTextIds);
  if (list == nullptr) return;

  PrepareLanguageList(list);
  int scan = ScanPass(dialog);
  if (scan == 0) context->closer = StartInstanceCloser(context->productWindowClass);
  ApplyDefaults(dialog, options != nullptr ? options->destination : nullptr);
  if (options != nullptr) ApplyShortcutChoice(dialog, options->shortcuts);

  if (scan != 0) {
    context->exitCode = kExitDamaged;
    char16_t text[kStringMessageUnits];
    LookupString(context->stringTable, kTextBrokenFile, text, kStringMessageUnits);
    ShowInstallerMessage(dialog, text, context->modulePath, MB_ICONERROR);
    PostMessageW(dialog, WM_CLOSE, 0, 0);
  }
}

POINT CenteredPosition(const RECT& desktop, const RECT& window) {
  POINT position;
  position.x = (desktop.right - desktop.left + window.left - window.right) >> 1;
  position.y = (desktop.bottom - desktop.top + window.top - window.bottom) >> 1;
  return position;
}

void CenterOnDesktop(HWND window) {
  RECT desktop = {};
  RECT own = {};
  GetWindowRect(GetDesktopWindow(), &desktop);
  GetWindowRect(window, &own);
  POINT position = CenteredPosition(desktop, own);
  SetWindowPos(window, nullptr, position.x, position.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void ApplyDefaults(HWND dialog, const char16_t* destinationGiven) {
  char16_t destination[kPathUnits];
  destination[0] = 0;
  if (destinationGiven != nullptr && destinationGiven[0] != 0) {
    SetWide(destinationGiven, destination, kPathUnits);
  } else {
    DefaultDestination(destination, kPathUnits);
  }
  SetDlgItemTextW(dialog, kDestinationEditId, AsWide(destination));
  if (!HasQuickLaunch()) ShowWindow(GetDlgItem(dialog, kQuickLaunchBoxId), SW_HIDE);
  if (PathExists(destination)) MarkInstalledLanguages(dialog, destination);
  ApplyShortcutChoice(dialog, ProposedShortcuts(destination));
}

void ApplyShortcutChoice(HWND dialog, int shortcuts) {
  if (shortcuts == kShortcutsAsProposed) return;
  const struct {
    int box;
    int bit;
  } kBoxes[] = {{kStartMenuBoxId, kShortcutStartMenu}, {kDesktopBoxId, kShortcutDesktop},
                {kQuickLaunchBoxId, kShortcutQuickLaunch}};
  for (const auto& box : kBoxes) CheckDlgButton(dialog, box.box, (shortcuts & box.bit) != 0 ? BST_CHECKED : BST_UNCHECKED);
}
