#include "text/file_name_rules.h"

namespace {

char16_t FoldAscii(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c; }

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
  if (base == 3) {
    return StartsWithFolded(name, "CON") || StartsWithFolded(name, "PRN") || StartsWithFolded(name, "AUX") ||
           StartsWithFolded(name, "NUL");
  }
  return base == 4 && (StartsWithFolded(name, "COM") || StartsWithFolded(name, "LPT")) && name[3] >= u'1' &&
         name[3] <= u'9';
}

bool IsUnsafeFileName(const char16_t* name, int length) {
  if (length <= 0 || name[length - 1] == u'.' || name[length - 1] == u' ') return true;
  for (int i = 0; i < length; ++i) {
    if (name[i] == u':') return true;
  }
  return IsDeviceName(name, length);
}
