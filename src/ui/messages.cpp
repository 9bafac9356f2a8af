#include "ui/messages.h"

#include "platform/wide.h"
#include "text/bounded_text.h"
#include "text/string_tables.h"
#include "ui/installer_context.h"
#include "ui/interface_language.h"
#include "ui/setup_log.h"

const char16_t* MessageCaption(const char16_t* captionPath) {
  if (captionPath == nullptr) return nullptr;
  const char16_t* name = captionPath + FileNameOffset(captionPath);
  return name[0] != 0 ? name : captionPath;
}

int ShowMessage(HWND owner, const char16_t* text, const char16_t* captionPath, UINT type) {
  if (text == nullptr || text[0] == 0) return IDCANCEL;
  if (owner == nullptr) owner = GetActiveWindow();
  return MessageBoxW(owner, AsWide(text), AsWide(MessageCaption(captionPath)), type);
}

int ShowStringMessage(HWND owner, int16_t textId, const char16_t* captionPath, UINT type) {
  char16_t text[kStringMessageUnits];
  LookupString(CurrentStringTable(), textId, text, kStringMessageUnits);
  return ShowMessage(owner, text, captionPath, type);
}

int ShowInstallerMessage(HWND owner, const char16_t* text, const char16_t* captionPath, UINT type) {
  SetupLog(u"message", text);
  InstallerContext* context = InstallerContextGet();
  if (context != nullptr && context->silent) return IDOK;
  return ShowMessage(owner, text, captionPath, type);
}
