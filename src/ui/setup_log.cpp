#include "ui/setup_log.h"

#include <windows.h>

#include "platform/wide.h"
#include "text/bounded_text.h"
#include "ui/installer_context.h"

namespace {

// A line holds a label, a path and a size; UTF-8 takes up to three bytes a unit.
const int kLineUnits = kPathUnits + 96;

InstallerContext* OpenLog() {
  InstallerContext* context = InstallerContextGet();
  if (context == nullptr || context->logFile == nullptr || context->logFile == PLATFORM_INVALID_FILE) return nullptr;
  return context->logFailed ? nullptr : context;
}

}  // namespace

uint32_t OpenSetupLog(const char16_t* path) {
  InstallerContext* context = InstallerContextGet();
  if (context == nullptr) return ERROR_INVALID_PARAMETER;
  HANDLE file = CreateFileW(AsWide(path), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    return error != 0 ? error : ERROR_ACCESS_DENIED;
  }
  context->logFile = file;
  context->logFailed = false;
  return 0;
}

void SetupLog(const char16_t* label, const char16_t* text) {
  InstallerContext* context = OpenLog();
  if (context == nullptr) return;
  char16_t line[kLineUnits];
  SetWide(label, line, kLineUnits);
  AppendWide(u": ", line, kLineUnits);
  AppendWide(text != nullptr ? text : u"", line, kLineUnits);
  AppendWide(u"\r\n", line, kLineUnits);
  char bytes[kLineUnits * 3];
  int count = WideCharToMultiByte(CP_UTF8, 0, AsWide(line), -1, bytes, sizeof(bytes), nullptr, nullptr);
  DWORD written = 0;
  // count includes the terminator, which the file does not get.
  if (count <= 1 || !WriteFile(context->logFile, bytes, count - 1, &written, nullptr) ||
      written != static_cast<DWORD>(count - 1)) {
    context->logFailed = true;
  }
}

void SetupLogSize(const char16_t* label, const char16_t* text, uint64_t size) {
  char16_t line[kLineUnits];
  SetWide(text, line, kLineUnits);
  AppendWide(u" (", line, kLineUnits);
  AppendDecimal(size, line, kLineUnits);
  AppendWide(u" bytes)", line, kLineUnits);
  SetupLog(label, line);
}

void SetupLogNumber(const char16_t* label, uint64_t number) {
  char16_t text[24];
  text[0] = 0;
  AppendDecimal(number, text, 24);
  SetupLog(label, text);
}

bool SetupLogFailed() {
  InstallerContext* context = InstallerContextGet();
  return context != nullptr && context->logFailed;
}

void CloseSetupLog() {
  InstallerContext* context = InstallerContextGet();
  if (context == nullptr || context->logFile == nullptr || context->logFile == PLATFORM_INVALID_FILE) return;
  if (!CloseHandle(context->logFile)) context->logFailed = true;
  context->logFile = PLATFORM_INVALID_FILE;
}
