#include "shell/startup.h"

#include <commctrl.h>
#include <ole2.h>

#include "install/install_record.h"
#include "install/install_sequence.h"
#include "install/stored_destination.h"
#include "install/system_error.h"
#include "shell/scan_handler.h"
#include "platform/wide.h"
#include "text/bounded_text.h"
#include "text/product_description.h"
#include "text/string_tables.h"
#include "archive/file_routines.h"
#include "ui/language_list.h"
#include "ui/product_closer.h"
#include "ui/exit_codes.h"
#include "ui/messages.h"
#include "ui/setup_log.h"
#include "shell/setup_dialog.h"
#include "ui/installer_context.h"
#include "ui/interface_language.h"

namespace {

typedef LONG(WINAPI* SameMappedFilesCall)(PVOID imageView, PVOID fileView);

}  // namespace

bool IsRunningImageFile(PlatformFile file) {
  SameMappedFilesCall sameFiles = reinterpret_cast<SameMappedFilesCall>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtAreMappedFilesTheSame")));
  if (sameFiles == nullptr || file == PLATFORM_INVALID_FILE) return false;
  HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  if (mapping == nullptr) return false;
  void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 1);
  // 0 is STATUS_SUCCESS: both views map the same file.
  bool same = view != nullptr && sameFiles(GetModuleHandleW(nullptr), view) == 0;
  if (view != nullptr) UnmapViewOfFile(view);
  CloseHandle(mapping);
  return same;
}

void InitializeContext(HINSTANCE instance) {
  InstallerContext* context = InstallerContextGet();
  if (context == nullptr) return;
  InitCommonControls();
  ZeroMemory(context, sizeof(*context));
  context->icon = LoadIconW(instance, MAKEINTRESOURCEW(kProgramIconId));
  SelectInterfaceLanguage();
  GetModuleFileNameW(GetModuleHandleW(nullptr), AsWide(context->modulePath), kPathUnits);
  // Older systems leave a cut path unterminated.
  context->modulePath[kPathUnits - 1] = 0;
  // Held until exit and shared for reading only: nobody can rename, replace or
  // change the installer between the scan that checked it and the install.
  context->moduleFile = PlatformCreateFile(context->modulePath, false);
  // The path may name another file by now than the one the process started from.
  if (context->moduleFile != PLATFORM_INVALID_FILE && !IsRunningImageFile(context->moduleFile)) {
    PlatformCloseHandle(context->moduleFile);
    context->moduleFile = PLATFORM_INVALID_FILE;
  }
}

namespace {

// What RunInstallChoices's result means for a script; its -1 for an empty
// destination never comes here, RunSilent having refused that first.
int InstallExitCode(int result) {
  if (result == 0) return kExitSuccess;
  if (result == kErrorNewerInstalled) return kExitDowngradeRefused;
  return result < 0 ? kExitDamaged : kExitInstallFailed;
}

// The command line not understood, or /?: a box with the switches, unless silent.
void ShowUsage(const SetupOptions* options, bool rejected) {
  InstallerContext* context = InstallerContextGet();
  char16_t text[2 * kStringMessageUnits];
  text[0] = 0;
  if (rejected) {
    LookupString(context->stringTable, kTextBadSwitch, text, kStringMessageUnits);
    AppendWide(options->rejected, text, 2 * kStringMessageUnits);
    AppendWide(u"\n\n", text, 2 * kStringMessageUnits);
  }
  char16_t usage[kStringMessageUnits];
  LookupString(context->stringTable, kTextUsage, usage, kStringMessageUnits);
  AppendWide(usage, text, 2 * kStringMessageUnits);
  if (!context->silent) ShowMessage(nullptr, text, context->modulePath, rejected ? MB_ICONERROR : MB_ICONINFORMATION);
}

void LogStart(const InstallerContext* context) {
  SetupLog(u"installer", context->modulePath);
  SetupLog(u"installer version", kInstallerVersion);
  SetupLog(u"mode", context->silent ? u"silent" : u"interactive");
}

// What Install on the dialog as proposed would do, with no window at all: the
// languages the list would check, the proposed (or given) destination and
// boxes; the running product closed first, with a bounded wait.
int RunSilent(const SetupOptions* options) {
  InstallerContext* context = InstallerContextGet();
  LanguageChoices languages;
  KeptStream kept = {nullptr, 0, 0, kSilentKeptMax, false};
  if (ScanPassForChoices(&languages, &kept) != 0) {
    char16_t text[kStringMessageUnits];
    LookupString(context->stringTable, kTextBrokenFile, text, kStringMessageUnits);
    ShowInstallerMessage(nullptr, text, context->modulePath, MB_ICONERROR);
    return kExitDamaged;
  }
  InstallChoices choices;
  choices.destination[0] = 0;
  if (options->destination[0] != 0) {
    SetWide(options->destination, choices.destination, kPathUnits);
  } else {
    DefaultDestination(choices.destination, kPathUnits);
  }
  choices.shortcuts =
      options->shortcuts == kShortcutsAsProposed ? ProposedShortcuts(choices.destination) : options->shortcuts;
  for (int i = 0; PathExists(choices.destination) && i < languages.count; ++i) {
    if (!KeepsLanguageCheck(choices.destination, context->languageFileBase, languages.codes[i])) {
      languages.checks[i] = kLanguageUnchecked;
    }
  }
  choices.checkOf = LanguageChoiceCheckOf;
  choices.checks = &languages;
  choices.allowDowngrade = options->allowDowngrade;
  choices.kept = &kept;
  int code = kExitSuccess;
  if (choices.destination[0] == 0) {
    SetupLog(u"result", u"no destination folder: give one with /D=");
    code = kExitInstallFailed;
  }
  context->closer = code == kExitSuccess ? StartInstanceCloser(context->productWindowClass) : nullptr;
  if (context->closer != nullptr && WaitForSingleObject(context->closer, kSilentCloseWaitMs) != WAIT_OBJECT_0) {
    SetupLog(u"result", u"the running product could not be closed");
    code = kExitInstallFailed;
  }
  if (code == kExitSuccess) code = InstallExitCode(RunInstallChoices(nullptr, &choices, ShowInstallerMessage));
  ReleaseKeptStream(&kept);
  return code;
}

int RunWithOptions(HINSTANCE instance, const SetupOptions* options, int parsed) {
  InstallerContext* context = InstallerContextGet();
  if (parsed != 0 || options->help) {
    ShowUsage(options, parsed != 0);
    return parsed != 0 ? kExitBadCommandLine : kExitSuccess;
  }
  if (options->logPath[0] != 0) {
    uint32_t error = OpenSetupLog(options->logPath);
    if (error != 0) {
      if (!context->silent) ShowSystemError(nullptr, error, options->logPath);
      return kExitLogFailed;
    }
  }
  LogStart(context);
  if (context->silent) return RunSilent(options);
  DialogBoxParamW(instance, MAKEINTRESOURCEW(kSetupDialogId), nullptr, SetupDialog, reinterpret_cast<LPARAM>(options));
  return context->exitCode;
}

}  // namespace

int RunSetup(HINSTANCE instance, const char16_t* arguments) {
  InstallerContext* context =
      static_cast<InstallerContext*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(InstallerContext)));
  if (context == nullptr) return kExitInstallFailed;
  InstallerContextSet(context);
  // The folder browser and the shell links need OLE on this thread.
  HRESULT ole = OleInitialize(nullptr);
  InitializeContext(instance);
  SetupOptions options;
  int parsed = ParseSetupOptions(arguments, &options);
  context->silent = options.silent;
  int code = RunWithOptions(instance, &options, parsed);
  if (context->closer != nullptr) CloseHandle(context->closer);
  if (context->moduleFile != PLATFORM_INVALID_FILE) PlatformCloseHandle(context->moduleFile);
  SetupLogNumber(u"exit code", static_cast<uint64_t>(code));
  CloseSetupLog();
  // An install that worked but whose log lost lines is still a failure to report.
  if (code == kExitSuccess && SetupLogFailed()) code = kExitLogFailed;
  if (SUCCEEDED(ole)) OleUninitialize();
  InstallerContextSet(nullptr);
  HeapFree(GetProcessHeap(), 0, context);
  return code;
}
