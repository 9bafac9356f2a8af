#include "text/string_tables.h"

#include "text/bounded_text.h"

namespace {

bool SameCodeIgnoringCase(const char* a, const char* b) {
  for (; FoldAscii(static_cast<unsigned char>(*a)) == FoldAscii(static_cast<unsigned char>(*b)); ++a, ++b) {
    if (*a == 0) return true;
  }
  return false;
}

}  // namespace

void LanguageIdToCode(uint16_t languageId, char* out) {
  const char* code = "US";
  switch (languageId) {
    case 0x0407: case 0x0807: case 0x0C07: case 0x1007: case 0x1407:
      code = "DE";
      break;
    case 0x0410: case 0x0810:
      code = "IT";
      break;
  }
  out[0] = code[0];
  out[1] = code[1];
  out[2] = 0;
}

const StringTable* FindStringTable(const char* code) {
  if (code != nullptr) {
    for (int i = 0; kStringTables[i] != nullptr; ++i) {
      if (SameCodeIgnoringCase(kStringTables[i]->languageCode, code)) return kStringTables[i];
    }
  }
  return kStringTables[0];
}

void LookupString(const StringTable* table, int16_t id, char16_t* out, int capacity) {
  // A buffer of capacity 0 has no unit to write even the terminator into.
  if (out == nullptr || capacity <= 0) return;
  out[0] = 0;
  if (table == nullptr) return;
  const StringRow* row = table->rows;
  while (row->id != 0 && row->id != id) ++row;
  if (row->id == 0 || row->text == nullptr) return;
  // One unit is held back for the terminator written below, so the text keeps capacity - 2.
  int reduced = capacity - 1;
  NarrowToWide(row->text, out, reduced);
  out[reduced] = 0;
  ExpandTabEscapes(out);
}

void ExpandTabEscapes(char16_t* text) {
  if (text == nullptr) return;
  int out = 0;
  for (int in = 0; text[in] != 0; ++in) {
    if (text[in] == u'\\' && text[in + 1] == u't') {
      text[out++] = u'\t';
      ++in;
    } else {
      text[out++] = text[in];
    }
  }
  text[out] = 0;
}

void FormatString(const char16_t* pattern, const char16_t* const* args, int count, char16_t* out, int capacity) {
  if (out == nullptr || capacity <= 0) return;
  out[0] = 0;
  for (const char16_t* p = pattern; p != nullptr && *p != 0; ++p) {
    int n = p[0] == u'%' && p[1] >= u'1' && p[1] <= u'9' ? p[1] - u'0' : 0;
    if (n > 0 && n <= count) {
      AppendWide(args[n - 1], out, capacity);
      ++p;
      continue;
    }
    char16_t unit[2] = {*p, 0};
    AppendWide(unit, out, capacity);
  }
}
