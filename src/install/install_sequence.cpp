#include "install/install_sequence.h"

#include "archive/archive_pass.h"
#include "archive/file_routines.h"
#include "install/install_decisions.h"
#include "install/install_handler.h"
#include "install/install_record.h"
#include "install/shortcuts.h"
#include "install/stored_destination.h"
#include "install/uninstall_entry.h"
#include "platform/wide.h"
#include "text/bounded_text.h"
#include "text/string_tables.h"
#include "ui/control_ids.h"
#include "ui/installer_context.h"
#include "ui/interface_language.h"
#include "ui/messages.h"

namespace {

// At most 1021 characters as typed, so the separator a join puts behind it still fits a path buffer.
const int kDestinationLimit = kPathUnits - 2;

bool IsChecked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

void ShowFailure(HWND dialog, int result, const InstallerContext* context, MessageFunction show) {
  if (result < 0) {
    char16_t text[kStringMessageUnits];
    LookupString(context->stringTable, kTextBrokenFile, text, kStringMessageUnits);
    show(dialog, text, context->modulePath, MB_OK | MB_ICONERROR);
  } else {
    ShowSystemErrorWith(show, dialog, static_cast<uint32_t>(result), nullptr);
  }
}

// Steps after a successful pass; none of them can fail the install.
void RecordInstallation(HWND dialog, const InstallState* state, const char16_t* productName) {
  InstallerContext* context = InstallerContextGet();
  char16_t productCode[4];
  NarrowToWide(context != nullptr ? context->productCode : nullptr, productCode, 4);
  InstallRecordSteps steps;
  DecideInstallRecord(state, productName, productCode, &steps);
  if (steps.storeDestination) StoreDestination(state->destination);
  if (steps.uninstallEntry) WriteUninstallEntry(state);
  if (steps.programGroup && IsChecked(dialog, kStartMenuBoxId)) CreateProgramGroup(state);
  if (!steps.shortcuts) return;
  // Every path here names a file the pass has written, so it fits a path buffer.
  char16_t program[kPathUnits];
  JoinInstalledPath(state->destination, state->mainProgram, program, kPathUnits);
  if (IsChecked(dialog, kDesktopBoxId)) CreateDesktopShortcut(program, productName);
  if (IsChecked(dialog, kQuickLaunchBoxId)) CreateQuickLaunchShortcut(program, productName);
}

}  // namespace

int RunInstall(HWND dialog) { return RunInstallWith(dialog, ShowMessage); }

int RunInstallWith(HWND dialog, MessageFunction show) {
  InstallerContext* context = InstallerContextGet();
  if (context == nullptr) return -1;
  char16_t productName[kNameFieldUnits];
  NarrowToWide(context->productName, productName, kNameFieldUnits);
  InstallPassContext pass = {};
  pass.owner = dialog;
  InstallState& state = pass.state;
  NarrowToWide(context->mainProgramName, state.mainProgram, kNameFieldUnits);
  if (!IsUsableMainProgramName(state.mainProgram)) state.mainProgram[0] = 0;
  GetDlgItemTextW(dialog, kDestinationEditId, AsWide(state.destination), kDestinationLimit);
  if (state.destination[0] == 0) return -1;

  HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  SetErrorMode(SEM_FAILCRITICALERRORS);
  CreateDirectoryTree(state.destination);
  SetAsidePsapi(state.destination);
  int result = ArchivePassOnFile(context->moduleFile, InstallHandler, &pass, nullptr);
  if (result == 0) result = static_cast<int>(state.pathError);
  if (result != 0) {
    SetCursor(previous);
    ShowFailure(dialog, result, context, show);
    return result;
  }

  SetDlgItemTextW(dialog, kStatusLineId, L"");
  RecordInstallation(dialog, &state, productName);
  SetCursor(previous);

  char16_t text[kStringMessageUnits];
  char16_t installed[kStringMessageUnits];
  SetWide(productName, text, kStringMessageUnits);
  LookupString(context->stringTable, kTextInstalled, installed, kStringMessageUnits);
  AppendWide(installed, text, kStringMessageUnits);
  char16_t caption[kPathUnits];
  caption[0] = 0;
  GetWindowTextW(dialog, AsWide(caption), kPathUnits);
  show(dialog, text, caption, MB_OK | MB_ICONINFORMATION);
  return 0;
}

void SetAsidePsapi(const char16_t* destination) {
  if (destination == nullptr || destination[0] == 0) return;
  char16_t oldName[kPathUnits];
  char16_t newName[kPathUnits];
  SetWide(destination, oldName, kPathUnits);
  EnsureTrailingSeparator(oldName, kPathUnits);
  SetWide(oldName, newName, kPathUnits);
  // A cut name could name some other file, which must not be moved.
  if (AppendWide(u"PSAPI.DLL", oldName, kPathUnits) != 0 || AppendWide(kSetAsidePsapiName, newName, kPathUnits) != 0) {
    return;
  }
  MoveFileW(AsWide(oldName), AsWide(newName));
}
