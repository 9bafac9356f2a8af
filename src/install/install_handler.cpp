#include "install/install_handler.h"

#include "archive/file_routines.h"

#include "platform/wide.h"
#include "text/bounded_text.h"
#include "ui/control_ids.h"
#include "ui/installer_context.h"
#include "ui/language_list.h"
#include "ui/setup_log.h"

int InstallHandler(char16_t* name, const uint8_t* data, uint32_t size, void* context) {
  if (data != nullptr || context == nullptr) return 0;
  InstallPassContext* pass = static_cast<InstallPassContext*>(context);
  HWND owner = pass->owner;
  InstallerContext* installer = InstallerContextGet();
  const char16_t* base = installer != nullptr ? installer->languageFileBase : u"";
  if (DecideInstallEntry(name, base, pass->checkOf, pass->checks, &pass->state) != kInstallWrite) return 0;

  // No test for the file first: a missing one just fails the call, and each lookup
  // of a name scans the whole folder on some file systems.
  DeleteFileW(AsWide(name));
  pass->state.bytesWritten += size;
  if (pass->record.bytes != nullptr) RecordAddName(&pass->record, name + FileNameOffset(name));
  SetupLogSize(u"file", name, size);
  if (owner == nullptr) return 1;
  SetDlgItemTextW(owner, kStatusLineId, AsWide(name));
  // The dialog's loop waits for the whole pass, so the line repaints here or not at all.
  HWND status = GetDlgItem(owner, kStatusLineId);
  if (status != nullptr) UpdateWindow(status);
  return 1;
}

int LanguageListCheckOf(uint32_t code, void* queryContext) {
  HWND list = static_cast<HWND>(queryContext);
  if (list == nullptr) return kLanguageNoCheck;
  int index = FindLanguageItem(list, code);
  return index < 0 ? kLanguageNoCheck : LanguageItemCheck(list, index);
}
