#include "install/registry_text.h"

#include "install/install_decisions.h"
#include "platform/platform.h"
#include "platform/wide.h"
#include "text/bounded_text.h"
#include "ui/setup_log.h"

bool ReadRegistryText(HKEY root, const char16_t* subKey, const char16_t* name, char16_t* buffer, int capacity) {
  if (buffer == nullptr || capacity <= 0) return false;
  buffer[0] = 0;
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, AsWide(subKey), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  DWORD bytes = static_cast<DWORD>(capacity) * sizeof(char16_t);
  LONG result = RegQueryValueExW(key, AsWide(name), nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &bytes);
  RegCloseKey(key);
  if (result == ERROR_SUCCESS) return EndRegistryText(buffer, capacity, bytes);
  buffer[0] = 0;
  return false;
}

LONG WriteRegistryText(HKEY key, const char16_t* name, const char16_t* text) {
  if (text == nullptr) text = u"";
  DWORD bytes = static_cast<DWORD>(WideLength(text) + 1) * sizeof(char16_t);
  return RegSetValueExW(key, AsWide(name), 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes);
}

LONG WriteRegistryNumber(HKEY key, const char16_t* name, uint32_t number) {
  DWORD value = number;
  return RegSetValueExW(key, AsWide(name), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

namespace {

void LogRegistryValue(const char16_t* root, const char16_t* subKey, const char16_t* name, const char16_t* shown) {
  char16_t line[kPathUnits + 96];
  const int units = kPathUnits + 96;
  SetWide(root, line, units);
  AppendWide(u"\\", line, units);
  AppendWide(subKey, line, units);
  AppendWide(u"\\", line, units);
  AppendWide(name, line, units);
  AppendWide(u" = ", line, units);
  AppendWide(shown, line, units);
  SetupLog(u"registry", line);
}

}  // namespace

void LogRegistryText(const char16_t* root, const char16_t* subKey, const char16_t* name, const char16_t* text) {
  LogRegistryValue(root, subKey, name, text);
}

void LogRegistryNumber(const char16_t* root, const char16_t* subKey, const char16_t* name, uint32_t number) {
  char16_t digits[16];
  digits[0] = 0;
  AppendDecimal(number, digits, 16);
  LogRegistryValue(root, subKey, name, digits);
}
