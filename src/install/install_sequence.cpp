#include "install/install_sequence.h"

#include "archive/archive_pass.h"
#include "archive/file_routines.h"
#include "install/install_decisions.h"
#include "install/folder_record.h"
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
#include "ui/setup_log.h"
#include "text/file_name_rules.h"

namespace {

// At most 1021 characters as typed, so the separator a join puts behind it still fits a path buffer.
const int kDestinationLimit = kPathUnits - 2;

bool IsChecked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

void ShowFailure(HWND owner, int result, const InstallerContext* context, MessageFunction show) {
  if (result < 0) {
    char16_t text[kStringMessageUnits];
    LookupString(context->stringTable, kTextBrokenFile, text, kStringMessageUnits);
    show(owner, text, context->modulePath, MB_OK | MB_ICONERROR);
  } else {
    ShowSystemErrorWith(show, owner, static_cast<uint32_t>(result), nullptr);
  }
}

// Steps after a successful pass; none of them can fail the install.
void RecordInstallation(const InstallState* state, int shortcuts, const char16_t* productName) {
  InstallerContext* context = InstallerContextGet();
  char16_t productCode[4];
  NarrowToWide(context != nullptr ? context->productCode : nullptr, productCode, 4);
  InstallRecordSteps steps;
  DecideInstallRecord(state, productName, productCode, &steps);
  if (steps.storeDestination) StoreDestination(state->destination);
  if (steps.uninstallEntry) WriteUninstallEntry(state);
  if (steps.programGroup && (shortcuts & kShortcutStartMenu) != 0) CreateProgramGroup(state);
  if (!steps.shortcuts) return;
  // Every path here names a file the pass has written, so it fits a path buffer.
  char16_t program[kPathUnits];
  JoinInstalledPath(state->destination, state->mainProgram, program, kPathUnits);
  if ((shortcuts & kShortcutDesktop) != 0) CreateDesktopShortcut(program, productName);
  if ((shortcuts & kShortcutQuickLaunch) != 0) CreateQuickLaunchShortcut(program, productName);
}

// False when a newer version is recorded in the folder and the install should
// not go over it: the user said No, or a silent run was not allowed to.
bool MayInstallOver(HWND owner, const RecordView* record, const InstallChoices* choices, const char16_t* productName,
                    MessageFunction show) {
  InstallerContext* context = InstallerContextGet();
  char16_t offered[kRecordVersionUnits];
  NarrowToWide(context->productVersion, offered, kRecordVersionUnits);
  if (CompareVersions(record->version, offered) != 1 || choices->allowDowngrade) return true;
  char16_t pattern[kStringMessageUnits], text[kStringMessageUnits];
  LookupString(context->stringTable, kTextDowngrade, pattern, kStringMessageUnits);
  const char16_t* args[3] = {record->version, productName, offered};
  FormatString(pattern, args, 3, text, kStringMessageUnits);
  if (context->silent) {
    SetupLog(u"result", text);
    return false;
  }
  return show(owner, text, context->modulePath, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

// Starts the folder's new record with the names the old one lists; without
// memory for it the install goes on unrecorded.
void BeginRecord(const RecordView* old, InstallPassContext* pass) {
  InstallerContext* context = InstallerContextGet();
  // One block: the record's bytes, then its index.
  const SIZE_T indexBytes = kRecordIndexSlots * sizeof(uint32_t);
  uint8_t* bytes = static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), 0, kRecordMax + indexBytes));
  if (bytes == nullptr) return;
  char16_t version[kRecordVersionUnits];
  NarrowToWide(context->productVersion, version, kRecordVersionUnits);
  RecordBegin(&pass->record, bytes, kRecordMax, reinterpret_cast<uint32_t*>(bytes + kRecordMax), version);
  char16_t name[kPathUnits];
  for (uint32_t cursor = 0; RecordNextName(old, &cursor, name, kPathUnits);) RecordAddName(&pass->record, name);
}

void StoreRecord(const char16_t* destination, RecordBuilder* record) {
  if (record->bytes == nullptr) return;
  uint32_t size = RecordFinish(record);
  if (size != 0 && RecordStore(destination, record->bytes, size) == 0) SetupLog(u"record", kRecordFileName);
  HeapFree(GetProcessHeap(), 0, record->bytes);
  record->bytes = nullptr;
}

void ShowSuccess(HWND owner, const InstallerContext* context, const char16_t* productName, MessageFunction show) {
  char16_t text[kStringMessageUnits];
  char16_t installed[kStringMessageUnits];
  SetWide(productName, text, kStringMessageUnits);
  LookupString(context->stringTable, kTextInstalled, installed, kStringMessageUnits);
  AppendWide(installed, text, kStringMessageUnits);
  char16_t caption[kPathUnits];
  caption[0] = 0;
  if (owner != nullptr) GetWindowTextW(owner, AsWide(caption), kPathUnits);
  show(owner, text, caption, MB_OK | MB_ICONINFORMATION);
}

}  // namespace

int RunInstall(HWND dialog) { return RunInstallWith(dialog, ShowInstallerMessage); }

int RunInstallWith(HWND dialog, MessageFunction show) {
  InstallChoices choices;
  choices.destination[0] = 0;
  GetDlgItemTextW(dialog, kDestinationEditId, AsWide(choices.destination), kDestinationLimit);
  choices.shortcuts = (IsChecked(dialog, kStartMenuBoxId) ? kShortcutStartMenu : 0) |
                      (IsChecked(dialog, kDesktopBoxId) ? kShortcutDesktop : 0) |
                      (IsChecked(dialog, kQuickLaunchBoxId) ? kShortcutQuickLaunch : 0);
  choices.checkOf = LanguageListCheckOf;
  choices.checks = GetDlgItem(dialog, kLanguageListId);
  choices.allowDowngrade = false;
  choices.kept = nullptr;
  return RunInstallChoices(dialog, &choices, show);
}

int RunInstallChoices(HWND owner, const InstallChoices* choices, MessageFunction show) {
  InstallerContext* context = InstallerContextGet();
  if (context == nullptr) return -1;
  char16_t productName[kNameFieldUnits];
  NarrowToWide(context->productName, productName, kNameFieldUnits);
  InstallPassContext pass = {};
  pass.owner = owner;
  pass.checkOf = choices->checkOf;
  pass.checks = choices->checks;
  InstallState& state = pass.state;
  NarrowToWide(context->mainProgramName, state.mainProgram, kNameFieldUnits);
  if (!IsUsableMainProgramName(state.mainProgram)) state.mainProgram[0] = 0;
  CopyWide(choices->destination, state.destination, kDestinationLimit);
  if (state.destination[0] == 0) return -1;
  SetupLog(u"destination", state.destination);
  // A relative folder would be stored as typed and name another place from
  // the next working folder: the uninstall command would then fail.
  if (!IsFullyQualifiedPath(state.destination)) {
    char16_t text[kStringMessageUnits];
    LookupString(context->stringTable, kTextFolderNotFull, text, kStringMessageUnits);
    show(owner, text, context->modulePath, MB_OK | MB_ICONERROR);
    return kErrorFolderNotFull;
  }

  // What earlier installs recorded in this folder: their version and files.
  uint8_t* oldBytes = nullptr;
  RecordView old;
  RecordLoad(state.destination, &oldBytes, &old);
  bool go = MayInstallOver(owner, &old, choices, productName, show);
  if (go) BeginRecord(&old, &pass);
  if (oldBytes != nullptr) HeapFree(GetProcessHeap(), 0, oldBytes);
  if (!go) return kErrorNewerInstalled;

  HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  SetErrorMode(SEM_FAILCRITICALERRORS);
  CreateDirectoryTree(state.destination);
  SetAsidePsapi(state.destination);
  int result = choices->kept != nullptr && choices->kept->whole
                   ? ArchivePassOnKept(choices->kept, InstallHandler, &pass, nullptr)
                   : ArchivePassOnFile(context->moduleFile, InstallHandler, &pass, nullptr);
  if (result == 0) result = static_cast<int>(state.pathError);
  // Also after a failure: the files written so far are in the folder now.
  StoreRecord(state.destination, &pass.record);
  if (result != 0) {
    SetCursor(previous);
    SetupLog(u"result", result < 0 ? u"the installer is damaged" : u"not installed: a file could not be written");
    ShowFailure(owner, result, context, show);
    return result;
  }

  if (owner != nullptr) SetDlgItemTextW(owner, kStatusLineId, L"");
  RecordInstallation(&state, choices->shortcuts, productName);
  SetCursor(previous);
  SetupLog(u"result", u"installed");
  ShowSuccess(owner, context, productName, show);
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
  if (MoveFileW(AsWide(oldName), AsWide(newName))) SetupLog(u"set aside", newName);
}
