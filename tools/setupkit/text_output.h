// What the tool prints: names and texts from an installer made safe to show,
// and a JSON writer that lays out every object the tool prints the same way.
#pragma once

#include <stdint.h>

#include <ostream>
#include <string>
#include <vector>

// The version of the JSON that list, verify and plan print, its "format"
// member. It grows when members change meaning or go away; new members keep it.
const int kJsonFormat = 1;

// A name or text from a payload made safe to print, so that two different
// texts never print alike: control characters (C0, DEL and C1) escaped as
// "\x1b", "\n", "\u009d"; format characters that hide or reorder text (U+202E,
// U+2028, U+200B, U+FEFF, ...) as "\u202e"; bytes that are no UTF-8 as "\xff";
// a backslash doubled where the character behind it would make it read as one
// of these escapes ("\\x1b" is a backslash, 'x', '1', 'b'). And the same as a
// quoted JSON string, always valid UTF-8: every control and format character
// as "\u00XX", a byte that is no UTF-8 as U+FFFD.
std::string Printable(const std::string& utf8);
std::string JsonString(const std::string& utf8);

// Writes JSON to *out as it goes. An object or array opened "on lines" puts
// each member on a line of its own, indented two spaces a level, and its
// closing bracket on a new line; one opened inline keeps everything on one
// line, members separated by ", ". The outermost close ends the line.
struct JsonWriter {
  std::ostream* out;
  struct Level {
    char closer;
    bool onLines;
    bool empty;
  };
  std::vector<Level> levels;
};

// `key` names the member in an object; null in an array and at the top.
void JsonOpen(JsonWriter* json, const char* key, char bracket, bool onLines);
void JsonClose(JsonWriter* json);
void JsonText(JsonWriter* json, const char* key, const std::string& utf8);
void JsonNumber(JsonWriter* json, const char* key, uint64_t value);
void JsonBool(JsonWriter* json, const char* key, bool value);
