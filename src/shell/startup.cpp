#include "shell/startup.h"

#include <commctrl.h>
#include <ole2.h>

#include "platform/wide.h"
#include "shell/installer_context.h"
#include "shell/interface_language.h"
#include "shell/setup_dialog.h"

namespace {

const int kModulePathCapacity = 1024;

}  // namespace

void InitializeContext(HINSTANCE instance) {
  InstallerContext* context = InstallerContextGet();
  if (context == nullptr) return;
  InitCommonControls();
  ZeroMemory(context, sizeof(*context));
  context->icon = LoadIconW(instance, MAKEINTRESOURCEW(kProgramIconId));
  SelectInterfaceLanguage();
  GetModuleFileNameW(GetModuleHandleW(nullptr), AsWide(context->modulePath), kModulePathCapacity);
  // Older systems leave a cut path unterminated.
  context->modulePath[kModulePathCapacity - 1] = 0;
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
  if (SUCCEEDED(ole)) OleUninitialize();
  InstallerContextSet(nullptr);
  HeapFree(GetProcessHeap(), 0, context);
  return 0;
}
