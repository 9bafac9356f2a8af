#include "install/setup_options.h"

#include "text/bounded_text.h"
#include "text/file_name_rules.h"

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

// True when the switch text at word (no slash) is `name` followed by end, a
// blank or "=" as the name requires.
bool IsSwitch(const char16_t* word, int length, const char* name, bool takesValue) {
  int i = 0;
  for (; name[i] != 0; ++i) {
    if (i >= length || FoldAscii(word[i]) != static_cast<char16_t>(name[i])) return false;
  }
  return takesValue ? (i < length && word[i] == u'=') : i == length;
}

// Copies the `length` units at source into dest (capacity in units); false
// when they do not fit or are empty.
bool TakeValue(const char16_t* source, int length, char16_t* dest, int capacity) {
  if (length <= 0 || length >= capacity) return false;
  for (int i = 0; i < length; ++i) dest[i] = source[i];
  dest[length] = 0;
  return true;
}

// The comma-separated list of /SHORTCUTS= as bits, or -2 for a word not known.
int ShortcutBits(const char16_t* list, int length) {
  static const struct {
    const char* name;
    int bits;
  } kNames[] = {{"STARTMENU", kShortcutStartMenu}, {"DESKTOP", kShortcutDesktop},
                {"QUICKLAUNCH", kShortcutQuickLaunch}, {"NONE", 0}};
  int bits = 0;
  for (int start = 0; start <= length;) {
    int end = start;
    while (end < length && list[end] != u',') ++end;
    int found = -2;
    for (const auto& known : kNames) {
      if (IsSwitch(list + start, end - start, known.name, false)) found = known.bits;
    }
    if (found == -2) return -2;
    bits |= found;
    start = end + 1;
  }
  return bits;
}

// One switch, its text at word (after the slash, `length` units, quotes
// removed). Returns false when it is not understood.
bool ApplySwitch(const char16_t* word, int length, SetupOptions* options) {
  if (IsSwitch(word, length, "S", false)) return options->silent = true;
  if (IsSwitch(word, length, "?", false)) return options->help = true;
  if (IsSwitch(word, length, "ALLOWDOWNGRADE", false)) return options->allowDowngrade = true;
  if (IsSwitch(word, length, "D", true)) {
    return TakeValue(word + 2, length - 2, options->destination, kPathUnits - 2) &&
           IsFullyQualifiedPath(options->destination);
  }
  if (IsSwitch(word, length, "LOG", true)) return TakeValue(word + 4, length - 4, options->logPath, kPathUnits);
  if (IsSwitch(word, length, "SHORTCUTS", true)) {
    options->shortcuts = ShortcutBits(word + 10, length - 10);
    return options->shortcuts >= 0;
  }
  return false;
}

// Where the word starting at `at` ends, and its text without quotes: a word
// quoted whole, a switch with a quoted value (/D="..."), an unquoted /D= that
// takes the rest of the line, or text up to the next blank. Quoted text is
// copied into buffer with the quotes dropped. False for an unterminated quote.
bool ReadWord(const char16_t* at, const char16_t** next, char16_t* buffer, int capacity, int* length) {
  int n = 0;
  const char16_t* p = at;
  bool quoted = false;
  bool restOfLine = p[0] == u'/' && FoldAscii(p[1]) == u'D' && p[2] == u'=' && p[3] != u'"';
  while (*p != 0 && (quoted || restOfLine || !IsBlank(*p))) {
    if (*p == u'"') {
      quoted = !quoted;
    } else if (n < capacity - 1) {
      buffer[n++] = *p;
    } else {
      n = capacity;  // marks a word too long to keep
    }
    ++p;
  }
  if (restOfLine) {
    while (n > 0 && n < capacity && IsBlank(buffer[n - 1])) --n;
  }
  *next = p;
  *length = n;
  return !quoted && n < capacity;
}

}  // namespace

int ParseSetupOptions(const char16_t* arguments, SetupOptions* options) {
  *options = SetupOptions{};
  options->shortcuts = kShortcutsAsProposed;
  if (arguments == nullptr) return 0;
  int result = 0;
  char16_t word[kPathUnits + 16];
  for (const char16_t* p = arguments; *p != 0;) {
    if (IsBlank(*p)) {
      ++p;
      continue;
    }
    const char16_t* start = p;
    int length = 0;
    bool whole = ReadWord(start, &p, word, kPathUnits + 16, &length);
    if (whole && length > 1 && word[0] == u'/' && ApplySwitch(word + 1, length - 1, options)) continue;
    if (result == 0) {
      int shown = static_cast<int>(p - start);
      TakeValue(start, shown < 63 ? shown : 63, options->rejected, 64);
      result = 1;
    }
  }
  return result;
}
