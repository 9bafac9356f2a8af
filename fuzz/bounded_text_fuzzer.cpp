// The bounded text and path operations, driven by a little program in the input.
//
// Each step reads: an operation, flags, a capacity (-2 up to a few hundred), the
// destination's old text and a source text. The destination is a heap block of
// exactly its capacity (ASan sees every unit past it) or, with the canary flag,
// one with eight canary units behind the capacity that must survive. Sources are
// exact-size terminated copies. After each operation the result and the text are
// compared with a model written here with the standard library.
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "fuzz_support.h"
#include "text/bounded_text.h"

namespace {

const int kCanaryUnits = 8;
const char16_t kCanary = 0xCA5E;

// Units that matter to the operations: separators, drive colons, blanks, "t"
// for escapes, non-ASCII that the code page holds or not, lone surrogates.
const char16_t kUnits[16] = {u'a',   u'B',   u'\\',  u'/',   u' ',   u':',   u'.', u't',
                             0x00E9, 0x20AC, 0x0081, 0x4E2D, 0xD800, 0xDC00, u'C', u'Z'};

enum Op {
  kCopyWide,
  kNarrowToWide,
  kWideToNarrow,
  kAppendWide,
  kAppendNarrow,
  kSetWide,
  kSetWideFromItself,
  kAppendNarrowToWide,
  kEnsureTrailingSeparator,
  kAppendPathComponent,
  kTrimTrailingSpaces,
  kStripFileName,
  kFileNameOffset,
  kFindText,
  kOpCount,
};

const char* const kOpNames[kOpCount] = {"CopyWide",
                                        "NarrowToWide",
                                        "WideToNarrow",
                                        "AppendWide",
                                        "AppendNarrow",
                                        "SetWide",
                                        "SetWide(itself)",
                                        "AppendNarrowToWide",
                                        "EnsureTrailingSeparator",
                                        "AppendPathComponent",
                                        "TrimTrailingSpaces",
                                        "StripFileName",
                                        "FileNameOffset",
                                        "FindText"};

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

// A destination buffer of `capacity` units (none for capacity <= 0), optionally
// followed by canaries.
template <typename Char>
struct Dest {
  std::unique_ptr<Char[]> block;
  int capacity;
  int units;  // allocated before the canaries
  bool canary;

  Dest(int capacity_, int units_, bool canary_) : capacity(capacity_), units(units_), canary(canary_) {
    block.reset(new Char[static_cast<size_t>(units + (canary ? kCanaryUnits : 0))]);
    for (int i = 0; i < units; ++i) block[static_cast<size_t>(i)] = static_cast<Char>('G');
    if (canary) {
      for (int i = 0; i < kCanaryUnits; ++i) block[static_cast<size_t>(units + i)] = static_cast<Char>(kCanary);
    }
  }
  Char* get() { return block.get(); }
  std::basic_string<Char> All() const { return std::basic_string<Char>(block.get(), static_cast<size_t>(units)); }
  bool CanariesIntact() const {
    for (int i = 0; i < (canary ? kCanaryUnits : 0); ++i) {
      if (block[static_cast<size_t>(units + i)] != static_cast<Char>(kCanary)) return false;
    }
    return true;
  }
  // The text before the first terminator; false when there is none within the capacity.
  bool Text(std::basic_string<Char>* text) const {
    int length = 0;
    while (length < capacity && length < units && block[static_cast<size_t>(length)] != 0) ++length;
    if (length >= capacity || length >= units) return false;
    text->assign(block.get(), static_cast<size_t>(length));
    return true;
  }
};

std::u16string ConvertNarrow(const std::string& narrow) {
  std::u16string out;
  for (char c : narrow) {
    char one[2] = {c, 0};
    char16_t wide[2];
    NarrowToWide(one, wide, 2);
    out += wide[0];
  }
  return out;
}

std::string ConvertWide(const std::u16string& wide) {
  std::string out;
  for (char16_t c : wide) {
    char16_t one[2] = {c, 0};
    char narrow[2];
    WideToNarrow(one, narrow, 2);
    out += narrow[0];
  }
  return out;
}

template <typename Char>
std::basic_string<Char> Front(const std::basic_string<Char>& text, int units) {
  return units <= 0 ? std::basic_string<Char>() : text.substr(0, static_cast<size_t>(units));
}

// AppendWide's rules over a model destination; returns the result.
template <typename Char>
int ModelAppend(const std::basic_string<Char>* source, std::basic_string<Char>* text, bool* unchanged, int capacity,
                int boundedLength) {
  *unchanged = true;
  if (capacity <= 0 || source == nullptr) return 0;
  int room = capacity - 1 - boundedLength;
  if (room <= 0) return kAppendNoRoom;
  *unchanged = false;
  *text += Front(*source, room);
  return source->size() <= static_cast<size_t>(room) ? 0 : kAppendTruncated;
}

struct Step {
  int op;
  bool canary, nullSource, nullDest;
  int capacity;
  std::u16string old;  // destination text (may reach the capacity: unterminated)
  std::u16string source;
  std::string oldNarrow, sourceNarrow;
  int offset;  // for kSetWideFromItself
};

std::string Describe(const Step& s) {
  char head[96];
  snprintf(head, sizeof head, "%s cap %d%s%s%s: old [", kOpNames[s.op], s.capacity, s.canary ? " canary" : "",
           s.nullSource ? " null-source" : "", s.nullDest ? " null-dest" : "");
  return head + FuzzHex(s.old) + "] source [" + FuzzHex(s.source) + "]";
}

// Operations that take the destination as a terminated path need its text to end within the buffer.
bool NeedsTerminatedDest(int op) { return op == kSetWideFromItself || op >= kEnsureTrailingSeparator; }

void RunWide(const Step& s) {
  const bool terminated = static_cast<int>(s.old.size()) < s.capacity;
  int units = s.capacity > 0 ? s.capacity : 0;
  if (NeedsTerminatedDest(s.op) && !terminated) return;  // the step reader never builds these
  Dest<char16_t> dest(s.capacity, units, s.canary);
  for (size_t i = 0; i < s.old.size() && i < static_cast<size_t>(units); ++i) dest.get()[i] = s.old[i];
  if (terminated && units > 0) dest.get()[s.old.size()] = 0;
  const std::u16string before = dest.All();
  std::unique_ptr<char16_t[]> source = FuzzExactCopy(s.source.c_str(), s.source.size() + 1);
  std::unique_ptr<char[]> narrow = FuzzExactCopy(s.sourceNarrow.c_str(), s.sourceNarrow.size() + 1);
  const char16_t* src = s.nullSource ? nullptr : source.get();
  const char* nsrc = s.nullSource ? nullptr : narrow.get();
  char16_t* d = s.nullDest ? nullptr : dest.get();
  const int boundedLength = terminated ? static_cast<int>(s.old.size()) : s.capacity;

  int result = 0, expectedResult = 0;
  bool unchanged = false;
  std::u16string expected = s.old;
  switch (s.op) {
    case kCopyWide:
      CopyWide(src, d, s.capacity);
      unchanged = d == nullptr || s.capacity <= 0;
      expected = src == nullptr ? u"" : Front(s.source, s.capacity - 1);
      break;
    case kNarrowToWide:
      NarrowToWide(nsrc, d, s.capacity);
      unchanged = d == nullptr || s.capacity <= 0;
      expected = nsrc == nullptr ? u"" : Front(ConvertNarrow(s.sourceNarrow), s.capacity - 1);
      break;
    case kAppendWide:
      result = AppendWide(src, d, s.capacity);
      if (d == nullptr) {
        unchanged = true;
      } else {
        expectedResult = ModelAppend(src ? &s.source : nullptr, &expected, &unchanged, s.capacity, boundedLength);
      }
      break;
    case kSetWide:
      result = SetWide(src, d, s.capacity);
      unchanged = d == nullptr || s.capacity <= 0;
      expected.clear();
      if (!unchanged) {
        bool ignored;
        expectedResult = ModelAppend(src ? &s.source : nullptr, &expected, &ignored, s.capacity, 0);
      }
      break;
    case kSetWideFromItself:
      if (s.offset < 1 || static_cast<size_t>(s.offset) > s.old.size() || d == nullptr) return;
      result = SetWide(d + s.offset, d, s.capacity);
      expected = s.old.substr(static_cast<size_t>(s.offset));
      break;
    case kAppendNarrowToWide:
      AppendNarrowToWide(nsrc, d, s.capacity);
      unchanged = d == nullptr || s.capacity <= 0 || !terminated;
      if (!unchanged && nsrc != nullptr) {
        expected += Front(ConvertNarrow(s.sourceNarrow), s.capacity - 1 - boundedLength);
      }
      break;
    case kEnsureTrailingSeparator:
      EnsureTrailingSeparator(d, s.capacity);
      if (d != nullptr && !s.old.empty() && !IsSeparator(s.old.back()) && boundedLength < s.capacity - 1) {
        expected += u'\\';
      } else {
        unchanged = true;
      }
      break;
    case kAppendPathComponent: {
      result = AppendPathComponent(src, d, s.capacity);
      if (src == nullptr || d == nullptr || s.source.empty()) {
        unchanged = true;
        break;
      }
      if (!s.old.empty() && !IsSeparator(s.old.back()) && boundedLength < s.capacity - 1) expected += u'\\';
      std::u16string component = IsSeparator(s.source[0]) ? s.source.substr(1) : s.source;
      bool ignored;
      expectedResult = ModelAppend(&component, &expected, &ignored, s.capacity, static_cast<int>(expected.size()));
      unchanged = s.capacity <= 0;
      break;
    }
    case kTrimTrailingSpaces:
      TrimTrailingSpaces(d);
      while (!expected.empty() && expected.back() == u' ') expected.pop_back();
      unchanged = d == nullptr;
      break;
    case kStripFileName: {
      StripFileName(d);
      size_t cut = 0;
      for (size_t i = 0; i < s.old.size(); ++i) {
        if (IsSeparator(s.old[i])) cut = i;
      }
      if (cut == 2 && s.old[1] == u':') cut = 3;
      expected = s.old.substr(0, cut);
      unchanged = d == nullptr;
      break;
    }
    case kFileNameOffset: {
      result = FileNameOffset(d);
      size_t offset = 0;
      for (size_t i = 0; d != nullptr && i < s.old.size(); ++i) {
        if (IsSeparator(s.old[i])) offset = i + 1;
      }
      expectedResult = static_cast<int>(offset);
      unchanged = true;
      break;
    }
    case kFindText: {
      const char16_t* found = FindText(static_cast<const char16_t*>(d), src);
      size_t at = d == nullptr || src == nullptr ? std::u16string::npos : s.old.find(s.source);
      FUZZ_CHECK(at == std::u16string::npos ? found == nullptr : found == d + at, "%s: found at %td, expected %zd",
                 Describe(s).c_str(), found ? found - d : -1,
                 at == std::u16string::npos ? -1 : static_cast<ssize_t>(at));
      unchanged = true;
      break;
    }
    default:
      return;
  }

  FUZZ_CHECK(dest.CanariesIntact(), "%s: wrote past the capacity", Describe(s).c_str());
  FUZZ_CHECK(result == expectedResult, "%s: result %d, expected %d", Describe(s).c_str(), result, expectedResult);
  if (unchanged) {
    FUZZ_CHECK(dest.All() == before, "%s: changed a destination it must leave alone", Describe(s).c_str());
    return;
  }
  std::u16string text;
  FUZZ_CHECK(dest.Text(&text), "%s: no terminator within the capacity", Describe(s).c_str());
  FUZZ_CHECK(text == expected, "%s: text [%s], expected [%s]", Describe(s).c_str(), FuzzHex(text).c_str(),
             FuzzHex(expected).c_str());
}

void RunNarrow(const Step& s) {
  const bool terminated = static_cast<int>(s.oldNarrow.size()) < s.capacity;
  int units = s.capacity > 0 ? s.capacity : 0;
  Dest<char> dest(s.capacity, units, s.canary);
  for (size_t i = 0; i < s.oldNarrow.size() && i < static_cast<size_t>(units); ++i) dest.get()[i] = s.oldNarrow[i];
  if (terminated && units > 0) dest.get()[s.oldNarrow.size()] = 0;
  const std::string before = dest.All();
  std::unique_ptr<char16_t[]> source = FuzzExactCopy(s.source.c_str(), s.source.size() + 1);
  std::unique_ptr<char[]> narrow = FuzzExactCopy(s.sourceNarrow.c_str(), s.sourceNarrow.size() + 1);
  char* d = s.nullDest ? nullptr : dest.get();

  int result = 0, expectedResult = 0;
  bool unchanged = d == nullptr || s.capacity <= 0;
  std::string expected = s.oldNarrow;
  if (s.op == kWideToNarrow) {
    WideToNarrow(s.nullSource ? nullptr : source.get(), d, s.capacity);
    expected = s.nullSource ? std::string() : Front(ConvertWide(s.source), s.capacity - 1);
  } else {
    result = AppendNarrow(s.nullSource ? nullptr : narrow.get(), d, s.capacity);
    if (d != nullptr) {
      expectedResult = ModelAppend(s.nullSource ? nullptr : &s.sourceNarrow, &expected, &unchanged, s.capacity,
                                   terminated ? static_cast<int>(s.oldNarrow.size()) : s.capacity);
    }
  }
  FUZZ_CHECK(dest.CanariesIntact(), "%s: wrote past the capacity", Describe(s).c_str());
  FUZZ_CHECK(result == expectedResult, "%s: result %d, expected %d", Describe(s).c_str(), result, expectedResult);
  if (unchanged) {
    FUZZ_CHECK(dest.All() == before, "%s: changed a destination it must leave alone", Describe(s).c_str());
    return;
  }
  std::string text;
  FUZZ_CHECK(dest.Text(&text), "%s: no terminator within the capacity", Describe(s).c_str());
  FUZZ_CHECK(text == expected, "%s: text \"%s\", expected \"%s\"", Describe(s).c_str(), text.c_str(), expected.c_str());
}

std::u16string ReadUnits(FuzzInput* input, size_t count) {
  std::u16string text;
  for (uint8_t b : input->Bytes(count)) text += kUnits[b % 16];
  return text;
}

std::string ReadNarrow(FuzzInput* input, size_t count) {
  std::string text = input->Bytes(count);
  for (char& c : text) {
    if (c == 0) c = '\\';
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input = {data, size};
  for (int steps = 0; steps < 64 && input.size > 0; ++steps) {
    Step s;
    s.op = input.Byte() % kOpCount;
    uint8_t flags = input.Byte();
    s.canary = (flags & 1) != 0;
    s.nullSource = (flags & 0x0E) == 0x0E;
    s.nullDest = (flags & 0x70) == 0x70;
    uint8_t c = input.Byte();
    s.capacity = c < 240 ? c % 40 - 2 : (c - 239) * 40;
    size_t oldLength = input.Byte() % 48;
    size_t sourceLength = input.Byte() % 48;
    s.offset = static_cast<int>(input.Byte() % 48);
    s.old = ReadUnits(&input, oldLength);
    s.source = ReadUnits(&input, sourceLength);
    s.oldNarrow = ReadNarrow(&input, oldLength);
    s.sourceNarrow = ReadNarrow(&input, sourceLength);
    // Operations on a path take it terminated within its capacity; the appends
    // also take a buffer without a terminator (it counts as full).
    if (NeedsTerminatedDest(s.op) && static_cast<int>(s.old.size()) >= s.capacity) {
      if (s.capacity <= 0) continue;
      s.old.resize(static_cast<size_t>(s.capacity - 1));
    }
    if (s.op == kWideToNarrow || s.op == kAppendNarrow) {
      RunNarrow(s);
    } else {
      RunWide(s);
    }
  }
  return 0;
}
