#include "install/system_error.h"

#include "archive/file_routines.h"
#include "platform/wide.h"
#include "text/bounded_text.h"
#include "ui/installer_context.h"
#include "ui/messages.h"

namespace {

const int kSystemTextUnits = 512;

}  // namespace

void SystemMessageText(uint32_t code, char16_t* buffer, int capacity) {
  if (buffer == nullptr || capacity <= 0) return;
  buffer[0] = 0;
  buffer[capacity - 1] = 0;
  wchar_t* text = nullptr;
  // Without IGNORE_INSERTS a text with "%1" would read arguments that were never passed.
  DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
      MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  if (length != 0 && text != nullptr) AppendWide(AsUtf16(text), buffer, capacity - 1);
  if (text != nullptr) LocalFree(text);
}

int ShowSystemError(HWND owner, uint32_t code, const char16_t* caption) {
  return ShowSystemErrorWith(ShowMessage, owner, code, caption);
}

int ShowSystemErrorWith(MessageFunction show, HWND owner, uint32_t code, const char16_t* caption) {
  char16_t text[kSystemTextUnits] = {};
  if (code == 0) code = static_cast<uint32_t>(LastErrorOr(0));
  if (code == 0) return 0;
  SystemMessageText(code, text, kSystemTextUnits);
  if (text[0] == 0) return 2;
  if (caption == nullptr) {
    InstallerContext* context = InstallerContextGet();
    if (context != nullptr) caption = context->modulePath;
  }
  return show(owner, text, caption, MB_OK | MB_ICONERROR);
}
