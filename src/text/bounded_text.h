// Bounded text and path operations on caller-owned buffers.
//
// Conventions every operation keeps:
// - UTF-16 text is char16_t units ended by a zero unit; narrow text is bytes in
//   the system ANSI code page ended by a zero byte.
// - A capacity is the destination's size in its own units (UTF-16 units or
//   bytes), terminator included: a buffer of capacity n holds at most n - 1
//   characters, and nothing is written at index n or beyond; a capacity of 0 or
//   less means nothing is written at all.
// - Whatever an operation writes ends terminated; text that does not fit is cut
//   at the capacity, silently unless the result says so.
// - Separators are the backslash and the slash, both recognised when looking for
//   one; the separator added is always the backslash.
// - A null pointer anywhere makes an operation do nothing (see each one for what
//   it returns then). No operation allocates.
#pragma once

#include <stdint.h>

// Results of the bounded appends; 0 is success (or nothing to do).
constexpr int kAppendTruncated = 111;  // the source was cut; destination full and terminated
constexpr int kAppendNoRoom = 123;     // not one unit free; destination unchanged

// Units before the terminator; 0 for null.
int WideLength(const char16_t* text);

// First occurrence of pattern in text, case-sensitive. Returns a pointer into
// text (text itself for an empty pattern), or null when there is none or
// either argument is null.
const char16_t* FindText(const char16_t* text, const char16_t* pattern);
char16_t* FindText(char16_t* text, const char16_t* pattern);

// c upper-cased when it is an ASCII letter; every other unit as it is.
inline char16_t FoldAscii(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c; }

// True when a and b hold the same text once ASCII letters are folded (FoldAscii).
bool SameTextFolded(const char16_t* a, const char16_t* b);

// Copies at most capacity - 1 units of source into dest and terminates it.
// With capacity > 0, dest is emptied first, also when source is null.
void CopyWide(const char16_t* source, char16_t* dest, int capacity);

// Converts from the ANSI code page. Empties dest first (as CopyWide);
// then, with capacity > 0 and a source, dest holds the first capacity - 1
// characters of the conversion, terminated.
void NarrowToWide(const char* source, char16_t* dest, int capacity);

// Converts to the ANSI code page, capacity in bytes; characters the code page
// cannot hold become the system default character ('?'). Emptying and cut as
// NarrowToWide: capacity 4 keeps the first three bytes.
void WideToNarrow(const char16_t* source, char* dest, int capacity);

// Appends source behind dest's text. Returns 0 when all of source was appended
// (or capacity <= 0 or an argument is null: nothing changes), kAppendTruncated
// when source was cut so that dest holds capacity - 1 units, or kAppendNoRoom
// when dest's text already fills capacity - 1 units (even for an empty source;
// dest unchanged). A dest with no terminator within capacity counts as full.
int AppendWide(const char16_t* source, char16_t* dest, int capacity);

// AppendWide on narrow bytes, capacity in bytes; same results.
int AppendNarrow(const char* source, char* dest, int capacity);

// Empties dest, then AppendWide; same results. Source may point further on
// into dest's own buffer (the text is moved to the front). Null dest or
// capacity <= 0: returns 0, nothing written.
int SetWide(const char16_t* source, char16_t* dest, int capacity);

// Appends number in decimal digits; same results as AppendWide.
int AppendDecimal(uint64_t number, char16_t* dest, int capacity);

// Converts source from the ANSI code page and appends it behind dest's text,
// cut so that dest holds at most capacity - 1 units. Nothing changes when dest's
// text already reaches capacity (or dest is null, or capacity <= 0).
void AppendNarrowToWide(const char* source, char16_t* dest, int capacity);

// Appends a backslash to a non-empty path that does not end in a separator.
// Nothing changes when there is no room for it.
void EnsureTrailingSeparator(char16_t* path, int capacity);

// Appends component to path after a separator; one leading separator of the
// component is skipped, and an empty path gets no separator. Returns 0 when
// component is null or empty or path is null (path unchanged), otherwise the
// AppendWide result for the component. On kAppendNoRoom the path may still have
// gained its trailing backslash.
int AppendPathComponent(const char16_t* component, char16_t* path, int capacity);

// Replaces trailing blanks (U+0020 only, not tabs) with terminators in place.
void TrimTrailingSpaces(char16_t* text);

// Cuts path at its last separator in place: "C:\dir\file.exe" -> "C:\dir".
// A drive root keeps its separator ("C:\file.exe" -> "C:\"); a path with no
// separator, or whose only one is its first character, becomes empty.
void StripFileName(char16_t* path);

// Index of the first unit after the last separator; 0 when there is none (or
// path is null). A path ending in a separator gives its length.
int FileNameOffset(const char16_t* path);
