#include "text/product_description.h"

#include <string.h>

#include "platform/platform.h"
#include "text/bounded_text.h"

namespace {

bool EndsDescriptionLine(char c) { return c == 0 || c == '\n' || c == '\r' || c == '(' || c == '['; }

void CutAtFirst(char16_t* text, char16_t c) {
  for (; *text != 0; ++text) {
    if (*text == c) {
      *text = 0;
      return;
    }
  }
}

uint32_t LeadingCount(uint32_t count) { return count < kLeadingBytesMax ? count : kLeadingBytesMax; }

}  // namespace

uint32_t LanguageCode4FromNarrow(const char* code) {
  uint32_t value = 0;
  if (code == nullptr) return 0;
  for (int i = 0; i < 4 && code[i] != 0; ++i) value |= static_cast<uint32_t>(static_cast<uint8_t>(code[i])) << (8 * i);
  return value;
}

void LanguageCode4ToNarrow(uint32_t code, char* out) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<char>(code >> (8 * i));
  out[4] = 0;
}

ScanEntryKind ClassifyScanEntry(const char16_t* name) {
  int length = WideLength(name);
  if (length <= 6) return kScanEntryOther;
  if (SameTextFolded(name, u"FILE_ID.DIZ")) return kScanEntryDescription;
  if (SameTextFolded(name + length - 4, u".LNG")) return kScanEntryLanguageFile;
  return kScanEntryOther;
}

void ParseDescriptionLine(const uint8_t* data, uint32_t count, ProductDescription* out) {
  out->name[0] = 0;
  out->version[0] = 0;
  if (data == nullptr) return;
  char line[kLeadingBytesMax + 1];
  uint32_t n = LeadingCount(count);
  memcpy(line, data, n);
  line[n] = 0;

  uint32_t end = 0;
  while (!EndsDescriptionLine(line[end])) ++end;
  if (end == 0) return;
  if (line[end - 1] == ' ') --end;
  line[end] = 0;

  static const char kMarker[] = " Version ";
  char* marker = strstr(line, kMarker);
  if (marker != nullptr) {
    *marker = 0;
    AppendNarrow(marker + sizeof(kMarker) - 1, out->version, sizeof(out->version));
  }
  AppendNarrow(line, out->name, sizeof(out->name));
}

void AppendProductTitle(const ProductDescription* description, char* text, int capacity) {
  AppendNarrow(description->name, text, capacity);
  AppendNarrow(" ", text, capacity);
  AppendNarrow(description->version, text, capacity);
}

bool ReadLanguageFileName(const uint8_t* data, uint32_t count, char16_t* name, int capacity) {
  if (name == nullptr || capacity <= 0) return false;
  name[0] = 0;
  if (data == nullptr) return false;
  uint32_t n = LeadingCount(count);

  if (n >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
    // An odd last byte makes a unit of its own with a zero high byte.
    int units = 0;
    for (uint32_t i = 2; i < n && units < capacity - 1; i += 2) {
      char16_t unit = static_cast<char16_t>(data[i] | (i + 1 < n ? data[i + 1] << 8 : 0));
      if (unit == 0) break;
      name[units++] = unit;
    }
    name[units] = 0;
  } else {
    char narrow[kLeadingBytesMax + 1];
    memcpy(narrow, data, n);
    narrow[n] = 0;
    NarrowToWide(narrow, name, capacity);
  }

  char16_t* key = name[0] == u'[' ? FindText(name, u"Language") : nullptr;
  if (key == nullptr) {
    name[0] = 0;
    return false;
  }
  // Skip the key and the one separator character behind it, if the text has one.
  if (key[8] == 0) {
    name[0] = 0;
  } else {
    SetWide(key + 9, name, capacity);
  }
  CutAtFirst(name, u'(');
  CutAtFirst(name, u'=');
  CutAtFirst(name, u'\r');
  CutAtFirst(name, u'\n');
  if (name[0] == 0) return false;
  TrimTrailingSpaces(name);
  return true;
}

uint32_t LanguageFileCode(const char16_t* entryName) {
  if (entryName == nullptr) return 0;
  int length = WideLength(entryName);
  char code[4] = {0, 0, 0, 0};
  WideToNarrow(entryName + (length >= 6 ? length - 6 : 0), code, sizeof(code));
  code[2] = 0;
  for (int i = 0; i < 2; ++i) {
    if (code[i] >= 'a' && code[i] <= 'z') code[i] = static_cast<char>(code[i] - 'a' + 'A');
  }
  return LanguageCode4FromNarrow(code);
}

void SetLanguageFileBase(const char16_t* entryName, char16_t* base, int capacity) {
  if (entryName == nullptr || base == nullptr || capacity <= 0 || base[0] != 0) return;
  AppendWide(entryName + FileNameOffset(entryName), base, capacity);
  int length = WideLength(base);
  if (length > 7) base[length - 7] = 0;
}

void BuildLanguageFilePath(const char16_t* destination, const char16_t* base, const char* code, char16_t* out,
                           int capacity) {
  if (out == nullptr || capacity <= 0) return;
  out[0] = 0;
  AppendWide(destination, out, capacity);
  EnsureTrailingSeparator(out, capacity);
  AppendWide(base, out, capacity);
  AppendWide(u"_", out, capacity);
  AppendNarrowToWide(code, out, capacity);
  AppendWide(u".LNG", out, capacity);
}

bool KeepsLanguageCheck(const char16_t* destination, const char16_t* languageFileBase, uint32_t code) {
  if (code == LanguageCode4FromNarrow("US") || code == LanguageCode4FromNarrow("DE")) return true;
  char narrow[5];
  LanguageCode4ToNarrow(code, narrow);
  char16_t path[kPathUnits];
  BuildLanguageFilePath(destination, languageFileBase, narrow, path, kPathUnits);
  return PlatformPathExists(path);
}
