// The product-description and language-file readers on arbitrary leading bytes,
// and the language-file name helpers and the install decision on arbitrary entry
// names: between them they drive every bounded text operation.
//
// Input: one byte choosing the output capacities, then the entry's leading bytes
// (also read as a UTF-16 LE entry name). Inputs are exact-size heap copies and
// outputs exact-size heap blocks, and every output text must end within them.
#include "fuzz_support.h"
#include "install/install_decisions.h"
#include "text/bounded_text.h"
#include "text/product_description.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input = {data, size};
  uint8_t choice = input.Byte();
  // Capacities from 1 unit (room for the terminator only) to the 1024 the scan uses.
  const int capacity = choice < 200 ? choice % 40 + 1 : 1024;
  const uint32_t count = static_cast<uint32_t>(input.size);
  std::unique_ptr<uint8_t[]> bytes = FuzzExactCopy(input.data, count);
  ProductDescription description;
  ParseDescriptionLine(bytes.get(), count, &description);
  std::unique_ptr<char[]> title(new char[capacity]());
  AppendProductTitle(&description, title.get(), capacity);
  std::unique_ptr<char16_t[]> text(new char16_t[capacity]);
  ReadLanguageFileName(bytes.get(), count, text.get(), capacity);
  FUZZ_CHECK(FuzzTerminated(description.name, sizeof description.name) &&
                 FuzzTerminated(description.version, sizeof description.version) &&
                 FuzzTerminated(title.get(), capacity) && FuzzTerminated(text.get(), capacity),
             "a text not terminated within its buffer");

  std::u16string entry;
  for (size_t i = 0; i + 1 < count && entry.size() < kLeadingBytesMax && (bytes[i] | bytes[i + 1]) != 0; i += 2) {
    entry += static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8);
  }
  std::unique_ptr<char16_t[]> name = FuzzExactCopy(entry.c_str(), entry.size() + 1);
  ClassifyScanEntry(name.get());
  char code[5];
  LanguageCode4ToNarrow(LanguageFileCode(name.get()), code);
  text[0] = 0;
  SetLanguageFileBase(name.get(), text.get(), capacity);
  std::unique_ptr<char16_t[]> path(new char16_t[capacity]);
  BuildLanguageFilePath(name.get(), text.get(), code, path.get(), capacity);
  FUZZ_CHECK(FuzzTerminated(text.get(), capacity) && FuzzTerminated(path.get(), capacity), "a path not terminated");

  // The install handler's decision: every language file unchecked, the destination the path just built.
  InstallState state = {};
  CopyWide(path.get(), state.destination, capacity);
  char16_t decided[1024];
  CopyWide(name.get(), decided, 1024);
  DecideInstallEntry(decided, text.get(), [](uint32_t, void*) { return 1; }, nullptr, &state);
  StripFileName(decided);
  FUZZ_CHECK(FuzzTerminated(decided, 1024) && FuzzTerminated(state.mainProgram, 32) &&
                 FuzzTerminated(state.uninstaller, 32),
             "a decided name not terminated");
  return 0;
}
