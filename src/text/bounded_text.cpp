#include "text/bounded_text.h"

#include "platform/platform.h"

namespace {

// Length of dest's text, but never more than capacity, so an unterminated
// buffer is not read past its end.
template <typename Char>
int BoundedLength(const Char* text, int capacity) {
  int length = 0;
  while (length < capacity && text[length] != 0) ++length;
  return length;
}

// Copies front to back and never reads a source unit after writing a lower
// destination unit, so a source further on in the same buffer survives.
template <typename Char>
int AppendBounded(const Char* source, Char* dest, int capacity) {
  if (capacity <= 0 || source == nullptr || dest == nullptr) return 0;
  int length = BoundedLength(dest, capacity);
  int room = capacity - 1 - length;
  if (room <= 0) return kAppendNoRoom;
  Char* out = dest + length;
  int i = 0;
  while (i < room && source[i] != 0) {
    out[i] = source[i];
    ++i;
  }
  bool whole = source[i] == 0;
  out[i] = 0;
  return whole ? 0 : kAppendTruncated;
}

}  // namespace

int WideLength(const char16_t* text) {
  int length = 0;
  if (text != nullptr) {
    while (text[length] != 0) ++length;
  }
  return length;
}

const char16_t* FindText(const char16_t* text, const char16_t* pattern) {
  if (text == nullptr || pattern == nullptr) return nullptr;
  for (; ; ++text) {
    int i = 0;
    while (pattern[i] != 0 && text[i] == pattern[i]) ++i;
    if (pattern[i] == 0) return text;
    if (*text == 0) return nullptr;
  }
}

char16_t* FindText(char16_t* text, const char16_t* pattern) {
  return const_cast<char16_t*>(FindText(static_cast<const char16_t*>(text), pattern));
}

bool SameTextFolded(const char16_t* a, const char16_t* b) {
  for (; FoldAscii(*a) == FoldAscii(*b); ++a, ++b) {
    if (*a == 0) return true;
  }
  return false;
}

void CopyWide(const char16_t* source, char16_t* dest, int capacity) {
  // A buffer of capacity 0 has no unit to write even the terminator into.
  if (dest == nullptr || capacity <= 0) return;
  dest[0] = 0;
  if (source == nullptr) return;
  int i = 0;
  for (; i < capacity - 1 && source[i] != 0; ++i) dest[i] = source[i];
  dest[i] = 0;
}

void NarrowToWide(const char* source, char16_t* dest, int capacity) {
  // A buffer of capacity 0 has no unit to write even the terminator into.
  if (dest == nullptr || capacity <= 0) return;
  dest[0] = 0;
  if (source == nullptr) return;
  // A source that does not fit fills the buffer and fails; the cut is what we keep.
  PlatformAnsiToWide(source, dest, capacity - 1);
  dest[capacity - 1] = 0;
}

void WideToNarrow(const char16_t* source, char* dest, int capacity) {
  // A buffer of capacity 0 has no unit to write even the terminator into.
  if (dest == nullptr || capacity <= 0) return;
  dest[0] = 0;
  if (source == nullptr) return;
  PlatformWideToAnsi(source, dest, capacity - 1);
  dest[capacity - 1] = 0;
}

int AppendWide(const char16_t* source, char16_t* dest, int capacity) {
  return AppendBounded(source, dest, capacity);
}

int AppendNarrow(const char* source, char* dest, int capacity) {
  return AppendBounded(source, dest, capacity);
}

int AppendDecimal(uint64_t number, char16_t* dest, int capacity) {
  char16_t digits[21];  // 2^64 has 20 digits
  int n = 20;
  digits[n] = 0;
  do {
    digits[--n] = static_cast<char16_t>(u'0' + number % 10);
    number /= 10;
  } while (number != 0);
  return AppendWide(digits + n, dest, capacity);
}

int SetWide(const char16_t* source, char16_t* dest, int capacity) {
  if (dest == nullptr || capacity <= 0) return 0;
  dest[0] = 0;
  return AppendWide(source, dest, capacity);
}

void AppendNarrowToWide(const char* source, char16_t* dest, int capacity) {
  if (dest == nullptr || capacity <= 0) return;
  int length = BoundedLength(dest, capacity);
  if (length < capacity) NarrowToWide(source, dest + length, capacity - length);
}

void EnsureTrailingSeparator(char16_t* path, int capacity) {
  if (path == nullptr || path[0] == 0) return;
  if (IsSeparator(path[WideLength(path) - 1])) return;
  AppendWide(u"\\", path, capacity);
}

int AppendPathComponent(const char16_t* component, char16_t* path, int capacity) {
  if (component == nullptr || path == nullptr || component[0] == 0) return 0;
  if (IsSeparator(component[0])) ++component;
  EnsureTrailingSeparator(path, capacity);
  return AppendWide(component, path, capacity);
}

void TrimTrailingSpaces(char16_t* text) {
  if (text == nullptr) return;
  for (int i = WideLength(text) - 1; i >= 0 && text[i] == u' '; --i) text[i] = 0;
}

void StripFileName(char16_t* path) {
  if (path == nullptr) return;
  int cut = 0;
  for (int i = 0; path[i] != 0; ++i) {
    if (IsSeparator(path[i])) cut = i;
  }
  if (cut == 2 && path[1] == u':') cut = 3;
  path[cut] = 0;
}

int FileNameOffset(const char16_t* path) {
  int offset = 0;
  if (path != nullptr) {
    for (int i = 0; path[i] != 0; ++i) {
      if (IsSeparator(path[i])) offset = i + 1;
    }
  }
  return offset;
}
