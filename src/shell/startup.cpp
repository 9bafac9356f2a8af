#include "shell/startup.h"

#include <commctrl.h>
#include <ole2.h>

#include "platform/wide.h"
#include "shell/setup_dialog.h"
#include "ui/installer_context.h"
#include "ui/interface_language.h"

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
}

int RunSetup(HINSTANCE instance) {
  InstallerContext* context =
      static_cast<InstallerContext*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(InstallerContext)));
  if (context == nullptr) return 0;
  InstallerContextSet(context);
  // The folder browser and the shell links need OLE on this thread.
  HRESULT ole = OleInitialize(nullptr);
  InitializeContext(instance);
  DialogBoxParamW(instance, MAKEINTRESOURCEW(kSetupDialogId), nullptr, SetupDialog, 0);
  if (context->moduleFile != PLATFORM_INVALID_FILE) PlatformCloseHandle(context->moduleFile);
  if (SUCCEEDED(ole)) OleUninitialize();
  InstallerContextSet(nullptr);
  HeapFree(GetProcessHeap(), 0, context);
  return 0;
}
