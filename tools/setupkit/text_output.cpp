#include "setupkit/text_output.h"

#include <stdio.h>
#include <string.h>

#include "setupkit/ansi_text.h"

namespace {

// Characters that show as nothing or reorder the text around them: the soft
// hyphen, bidirectional marks, overrides and isolates, zero-width characters,
// the line and paragraph separators, the byte order mark and tag characters
// (Unicode's format characters, Cf, with U+2028 and U+2029).
bool IsInvisible(uint32_t c) {
  static const uint32_t kRanges[][2] = {
      {0xAD, 0xAD},         {0x600, 0x605},     {0x61C, 0x61C},     {0x6DD, 0x6DD},     {0x70F, 0x70F},
      {0x890, 0x891},       {0x8E2, 0x8E2},     {0x180E, 0x180E},   {0x200B, 0x200F},   {0x2028, 0x202E},
      {0x2060, 0x2064},     {0x2066, 0x206F},   {0xFEFF, 0xFEFF},   {0xFFF9, 0xFFFB},   {0x110BD, 0x110BD},
      {0x110CD, 0x110CD},   {0x13430, 0x1343F}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0001, 0xE0001},
      {0xE0020, 0xE007F}};
  for (const auto& range : kRanges) {
    if (c >= range[0] && c <= range[1]) return true;
  }
  return false;
}

// "\u202e"; beyond the BMP as a surrogate pair, as JSON writes it.
void AppendUnicodeEscape(uint32_t c, std::string* out) {
  char escaped[16];
  if (c >= 0x10000) {
    snprintf(escaped, sizeof(escaped), "\\u%04x\\u%04x", 0xD800 + ((c - 0x10000) >> 10), 0xDC00 + (c & 0x3FF));
  } else {
    snprintf(escaped, sizeof(escaped), "\\u%04x", c);
  }
  *out += escaped;
}

// One loop for both forms. The C1 controls (U+0080 to U+009F) count too: some
// terminals obey them. In the text form a backslash is doubled where the
// character behind it would make it read as an escape, and a byte that is no
// UTF-8 shows as "\xff"; JSON has no room for such a byte and gets U+FFFD.
std::string Escaped(const std::string& utf8, bool json) {
  std::string out;
  for (size_t i = 0; i < utf8.size();) {
    const size_t at = i;
    uint32_t c = 0;
    const bool valid = DecodeUtf8(utf8, &i, &c);
    const char next = i < utf8.size() ? utf8[i] : 0;
    char escaped[8];
    if (!valid) {
      snprintf(escaped, sizeof(escaped), "\\x%02x", static_cast<unsigned char>(utf8[at]));
      out += json ? "\\ufffd" : escaped;
    } else if (c == '\\') {
      out += json || (next != 0 && strchr("\\xnrtu", next) != nullptr) ? "\\\\" : "\\";
    } else if (json && c == '"') {
      out += "\\\"";
    } else if (!json && (c == '\n' || c == '\r' || c == '\t')) {
      out += c == '\n' ? "\\n" : c == '\r' ? "\\r" : "\\t";
    } else if (c < 0x20 || c == 0x7F) {
      snprintf(escaped, sizeof(escaped), json ? "\\u%04x" : "\\x%02x", c);
      out += escaped;
    } else if ((c >= 0x80 && c <= 0x9F) || IsInvisible(c)) {
      AppendUnicodeEscape(c, &out);
    } else {
      out.append(utf8, at, i - at);
    }
  }
  return out;
}

// The separator and indentation before a member or element, and its key.
void JsonStart(JsonWriter* json, const char* key) {
  if (!json->levels.empty()) {
    JsonWriter::Level& level = json->levels.back();
    if (!level.empty) *json->out << ",";
    if (level.onLines) {
      *json->out << "\n" << std::string(2 * json->levels.size(), ' ');
    } else if (!level.empty) {
      *json->out << " ";
    }
    level.empty = false;
  }
  if (key != nullptr) *json->out << JsonString(key) << ": ";
}

}  // namespace

std::string Printable(const std::string& utf8) { return Escaped(utf8, false); }

std::string JsonString(const std::string& utf8) { return "\"" + Escaped(utf8, true) + "\""; }

void JsonOpen(JsonWriter* json, const char* key, char bracket, bool onLines) {
  JsonStart(json, key);
  *json->out << bracket;
  json->levels.push_back({bracket == '{' ? '}' : ']', onLines, true});
}

void JsonClose(JsonWriter* json) {
  const JsonWriter::Level level = json->levels.back();
  json->levels.pop_back();
  if (level.onLines) *json->out << "\n" << std::string(2 * json->levels.size(), ' ');
  *json->out << level.closer;
  if (json->levels.empty()) *json->out << "\n";
}

void JsonText(JsonWriter* json, const char* key, const std::string& utf8) {
  JsonStart(json, key);
  *json->out << JsonString(utf8);
}

void JsonNumber(JsonWriter* json, const char* key, uint64_t value) {
  JsonStart(json, key);
  *json->out << value;
}

void JsonBool(JsonWriter* json, const char* key, bool value) {
  JsonStart(json, key);
  *json->out << (value ? "true" : "false");
}
