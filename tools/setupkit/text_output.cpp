#include "setupkit/text_output.h"

#include <stdio.h>

namespace {

// One loop for both forms. The C1 controls (U+0080 to U+009F, C2 80 to C2 9F
// in UTF-8) count too: some terminals obey them.
std::string Escaped(const std::string& utf8, bool json) {
  std::string out;
  for (size_t i = 0; i < utf8.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    const unsigned char next = i + 1 < utf8.size() ? static_cast<unsigned char>(utf8[i + 1]) : 0;
    const bool c1 = c == 0xC2 && next >= 0x80 && next <= 0x9F;
    char escaped[8];
    if (json && (c == '"' || c == '\\')) {
      out += '\\';
      out += static_cast<char>(c);
    } else if (!json && (c == '\n' || c == '\r' || c == '\t')) {
      out += c == '\n' ? "\\n" : c == '\r' ? "\\r" : "\\t";
    } else if (c < 0x20 || c == 0x7F || c1) {
      snprintf(escaped, sizeof(escaped), json || c1 ? "\\u%04x" : "\\x%02x", c1 ? next : c);
      out += escaped;
      i += c1 ? 1 : 0;
    } else {
      out += static_cast<char>(c);
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
