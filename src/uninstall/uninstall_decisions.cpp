#include "uninstall/uninstall_decisions.h"

#include "install/install_decisions.h"
#include "text/bounded_text.h"

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

// The /X= value: decimal digits only, no sign, within 32 bits.
bool ParseHandleValue(const char16_t* digits, const char16_t* end, uint32_t* value) {
  uint64_t number = 0;
  if (digits == end) return false;
  for (const char16_t* at = digits; at < end; ++at) {
    if (*at < u'0' || *at > u'9') return false;
    number = number * 10 + static_cast<uint64_t>(*at - u'0');
    if (number > 0xFFFFFFFFu) return false;
  }
  if (number == 0 || number % 4 != 0) return false;
  *value = static_cast<uint32_t>(number);
  return true;
}

}  // namespace

int ParseUninstallCommand(const char16_t* arguments, UninstallCommand* command) {
  command->silent = false;
  command->original = 0;
  int result = 0;
  for (const char16_t* at = arguments; at != nullptr && *at != 0;) {
    while (IsBlank(*at)) ++at;
    const char16_t* word = at;
    while (*at != 0 && !IsBlank(*at)) ++at;
    int length = static_cast<int>(at - word);
    if (length == 0) break;
    bool silent = length == 2 && word[0] == u'/' && FoldAscii(word[1]) == u'S';
    command->silent = command->silent || silent;
    bool handle = !silent && length > 3 && word[0] == u'/' && FoldAscii(word[1]) == u'X' && word[2] == u'=' &&
                  command->original == 0 && ParseHandleValue(word + 3, at, &command->original);
    if (!silent && !handle) result = 1;
  }
  return result;
}

bool UninstallCommandFolder(const char16_t* command, char16_t* folder, int capacity) {
  CopyWide(nullptr, folder, capacity);
  if (command == nullptr) return false;
  const char16_t* start = command;
  int length = WideLength(command);
  if (command[0] == u'"') {
    start = command + 1;
    const char16_t* quote = FindText(start, u"\"");
    if (quote == nullptr) return false;
    length = static_cast<int>(quote - start);
  }
  while (length > 0 && IsBlank(start[length - 1])) --length;
  if (length == 0 || length >= capacity) return false;
  CopyWide(start, folder, length + 1);
  int offset = FileNameOffset(folder);
  if (offset == 0) {
    folder[0] = 0;
    return false;
  }
  StripFileName(folder);
  return folder[0] != 0;
}

void TrailerProductName(const char* name, char16_t* out, int capacity) {
  NarrowToWide(name, out, capacity);
  if (!IsUsableProductName(out)) CopyWide(nullptr, out, capacity);
}

bool TrailerFileName(const char* name, char16_t* out, int capacity) {
  NarrowToWide(name, out, capacity);
  if (IsUsableMainProgramName(out)) return true;
  CopyWide(nullptr, out, capacity);
  return false;
}
