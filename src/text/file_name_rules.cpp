#include "text/file_name_rules.h"

#include <string.h>

#include "platform/platform.h"
#include "text/bounded_text.h"

namespace {

bool StartsWithFolded(const char16_t* name, const char* prefix) {
  for (; *prefix != 0; ++name, ++prefix) {
    if (FoldAscii(*name) != static_cast<char16_t>(*prefix)) return false;
  }
  return true;
}

}  // namespace

bool IsForbiddenInFileName(char16_t c) {
  if (c < 32) return true;
  for (const char* p = "\\/:*?\"<>|"; *p != 0; ++p) {
    if (c == static_cast<char16_t>(*p)) return true;
  }
  return false;
}

bool IsDeviceName(const char16_t* name, int length) {
  int base = 0;
  while (base < length && name[base] != u'.') ++base;
  while (base > 0 && name[base - 1] == u' ') --base;
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char* device : kDevices) {
    if (base == static_cast<int>(strlen(device)) && StartsWithFolded(name, device)) return true;
  }
  // Windows takes the superscript digits for port numbers too.
  const char16_t digit = base == 4 ? name[3] : 0;
  return base == 4 && (StartsWithFolded(name, "COM") || StartsWithFolded(name, "LPT")) &&
         ((digit >= u'1' && digit <= u'9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3);
}

bool IsUnsafeFileName(const char16_t* name, int length) {
  if (length <= 0 || name[length - 1] == u'.' || name[length - 1] == u' ') return true;
  for (int i = 0; i < length; ++i) {
    if (name[i] == u':') return true;
  }
  return IsDeviceName(name, length);
}

bool IsFullyQualifiedPath(const char16_t* path) {
  if (path == nullptr) return false;
  char16_t letter = FoldAscii(path[0]);
  if (letter >= u'A' && letter <= u'Z') return path[1] == u':' && IsSeparator(path[2]);
  if (!IsSeparator(path[0]) || !IsSeparator(path[1])) return false;
  // \\server\share: a server name, one separator, a share name.
  int i = 2;
  while (path[i] != 0 && !IsSeparator(path[i])) ++i;
  return i > 2 && IsSeparator(path[i]) && path[i + 1] != 0 && !IsSeparator(path[i + 1]);
}
