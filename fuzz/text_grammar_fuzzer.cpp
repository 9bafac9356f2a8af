// The product-description and language-file readers on arbitrary leading bytes,
// and the language-file name helpers on arbitrary entry names.
//
// Input: one byte choosing the output capacities, then the entry's leading bytes
// (also read as a UTF-16 LE entry name). Each reader gets an exact-size heap copy
// and exact-size outputs, and its result is compared with a plain model of the
// grammar written here with the standard library.
#include <stddef.h>
#include <stdint.h>

#include <string>

#include "fuzz_support.h"
#include "text/bounded_text.h"
#include "text/product_description.h"

namespace {

// ---- models

void ModelDescription(const uint8_t* data, uint32_t count, std::string* name, std::string* version) {
  std::string line(reinterpret_cast<const char*>(data), count < kLeadingBytesMax ? count : kLeadingBytesMax);
  size_t end = line.find_first_of(std::string("\0\n\r([", 5));
  if (end != std::string::npos) line.resize(end);
  if (!line.empty() && line.back() == ' ') line.pop_back();
  size_t marker = line.find(" Version ");
  *version = marker == std::string::npos ? std::string() : line.substr(marker + 9);
  *name = marker == std::string::npos ? line : line.substr(0, marker);
  if (name->size() > 127) name->resize(127);
  if (version->size() > 31) version->resize(31);
}

// Returns the result; *name the text the reader must leave.
bool ModelLanguageName(const uint8_t* data, uint32_t count, int capacity, std::u16string* name) {
  uint32_t n = count < kLeadingBytesMax ? count : kLeadingBytesMax;
  std::u16string text;
  if (n >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
    for (uint32_t i = 2; i < n; i += 2) {
      char16_t unit = static_cast<char16_t>(data[i] | (i + 1 < n ? data[i + 1] << 8 : 0));
      if (unit == 0) break;
      text += unit;
    }
  } else {
    std::string narrow(reinterpret_cast<const char*>(data), n);
    narrow.resize(strlen(narrow.c_str()));
    std::u16string wide(narrow.size() + 1, u'\0');
    NarrowToWide(narrow.c_str(), &wide[0], static_cast<int>(wide.size()));
    text = wide.c_str();
  }
  if (text.size() > static_cast<size_t>(capacity - 1)) text.resize(static_cast<size_t>(capacity - 1));
  name->clear();
  size_t key = text.empty() || text[0] != u'[' ? std::u16string::npos : text.find(u"Language");
  if (key == std::u16string::npos) return false;
  if (key + 8 < text.size()) *name = text.substr(key + 9);
  for (char16_t stop : {u'(', u'=', u'\r', u'\n'}) {
    size_t at = name->find(stop);
    if (at != std::u16string::npos) name->resize(at);
  }
  if (name->empty()) return false;
  while (!name->empty() && name->back() == u' ') name->pop_back();
  return true;
}

std::u16string Text(const char16_t* buffer, int capacity) {
  int length = 0;
  while (length < capacity && buffer[length] != 0) ++length;
  FUZZ_CHECK(length < capacity, "output not terminated within its capacity %d", capacity);
  return std::u16string(buffer, static_cast<size_t>(length));
}

// ---- the readers

void CheckDescription(const uint8_t* data, uint32_t count, int titleCapacity) {
  std::unique_ptr<uint8_t[]> bytes = FuzzExactCopy(data, count);
  std::unique_ptr<ProductDescription> out(new ProductDescription);
  memset(out.get(), 0x5A, sizeof *out);
  ParseDescriptionLine(bytes.get(), count, out.get());
  FUZZ_CHECK(memchr(out->name, 0, sizeof out->name) && memchr(out->version, 0, sizeof out->version),
             "description texts not terminated");
  std::string name, version;
  ModelDescription(data, count, &name, &version);
  FUZZ_CHECK(name == out->name && version == out->version, "description: got \"%s\" / \"%s\", expected \"%s\" / \"%s\"",
             out->name, out->version, name.c_str(), version.c_str());

  std::unique_ptr<char[]> title(new char[static_cast<size_t>(titleCapacity)]);
  title[0] = 0;
  AppendProductTitle(out.get(), title.get(), titleCapacity);
  std::string expected = name + " " + version;
  if (expected.size() > static_cast<size_t>(titleCapacity - 1)) expected.resize(static_cast<size_t>(titleCapacity - 1));
  FUZZ_CHECK(memchr(title.get(), 0, static_cast<size_t>(titleCapacity)) && expected == title.get(),
             "title: got \"%s\", expected \"%s\"", title.get(), expected.c_str());
}

void CheckLanguageFile(const uint8_t* data, uint32_t count, int capacity) {
  std::unique_ptr<uint8_t[]> bytes = FuzzExactCopy(data, count);
  std::unique_ptr<char16_t[]> name(new char16_t[static_cast<size_t>(capacity)]);
  for (int i = 0; i < capacity; ++i) name[static_cast<size_t>(i)] = u'#';
  bool result = ReadLanguageFileName(bytes.get(), count, name.get(), capacity);
  std::u16string got = Text(name.get(), capacity);
  std::u16string expected;
  bool expectedResult = ModelLanguageName(data, count, capacity, &expected);
  FUZZ_CHECK(result == expectedResult && got == expected, "language name: got %d [%s], expected %d [%s]", result,
             FuzzHex(got).c_str(), expectedResult, FuzzHex(expected).c_str());
}

// The entry-name helpers on the input read as a UTF-16 LE name.
void CheckEntryName(const uint8_t* data, size_t size, int capacity) {
  std::u16string entry;
  for (size_t i = 0; i + 1 < size && entry.size() < kLeadingBytesMax; i += 2) {
    char16_t unit = static_cast<char16_t>(data[i] | data[i + 1] << 8);
    if (unit == 0) break;
    entry += unit;
  }
  std::unique_ptr<char16_t[]> name = FuzzExactCopy(entry.c_str(), entry.size() + 1);

  ScanEntryKind kind = ClassifyScanEntry(name.get());
  if (kind == kScanEntryDescription) FUZZ_CHECK(entry.size() == 11, "a description name of %zu units", entry.size());
  if (kind == kScanEntryLanguageFile) FUZZ_CHECK(entry.size() > 6, "a language file name of %zu units", entry.size());

  uint32_t code = LanguageFileCode(name.get());
  char codeText[5];
  LanguageCode4ToNarrow(code, codeText);
  FUZZ_CHECK(strlen(codeText) <= 2 && !(codeText[0] >= 'a' && codeText[0] <= 'z') &&
                 !(codeText[1] >= 'a' && codeText[1] <= 'z'),
             "language code \"%s\"", codeText);

  std::unique_ptr<char16_t[]> base(new char16_t[static_cast<size_t>(capacity)]);
  base[0] = 0;
  SetLanguageFileBase(name.get(), base.get(), capacity);
  std::u16string baseText = Text(base.get(), capacity);
  std::u16string file = entry.substr(static_cast<size_t>(FileNameOffset(name.get())));
  FUZZ_CHECK(file.compare(0, baseText.size(), baseText) == 0, "base [%s] is not the front of [%s]",
             FuzzHex(baseText).c_str(), FuzzHex(file).c_str());

  std::unique_ptr<char16_t[]> path(new char16_t[static_cast<size_t>(capacity)]);
  BuildLanguageFilePath(name.get(), base.get(), codeText, path.get(), capacity);
  std::u16string pathText = Text(path.get(), capacity);
  std::u16string expected = entry;
  if (!expected.empty() && expected.back() != u'\\' && expected.back() != u'/') expected += u'\\';
  expected += baseText + u"_";
  for (const char* c = codeText; *c != 0; ++c) {
    char16_t wide[2];
    char one[2] = {*c, 0};
    NarrowToWide(one, wide, 2);
    expected += wide[0];
  }
  expected += u".LNG";
  // Every step is bounded by the capacity, so the path is the whole text or its front, cut full.
  FUZZ_CHECK(expected.compare(0, pathText.size(), pathText) == 0 &&
                 (pathText.size() == expected.size() || pathText.size() == static_cast<size_t>(capacity - 1)),
             "language file path [%s], expected a front of [%s]", FuzzHex(pathText).c_str(), FuzzHex(expected).c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input = {data, size};
  uint8_t choice = input.Byte();
  // Capacities from 1 unit (room for the terminator only) to the 1024 the scan uses.
  int capacity = choice < 200 ? choice % 40 + 1 : 1024;
  uint32_t count = static_cast<uint32_t>(input.size);
  CheckDescription(input.data, count, capacity);
  CheckLanguageFile(input.data, count, capacity);
  CheckEntryName(input.data, input.size, capacity);
  return 0;
}
