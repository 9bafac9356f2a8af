// Small helpers shared by the fuzz targets: reading structured choices from the
// fuzzer's bytes, exact-size heap copies that AddressSanitizer guards on both
// sides, and a check that stops the run with a message libFuzzer keeps.
#pragma once

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <memory>
#include <string>

// Stops the run (libFuzzer saves the input) when `condition` does not hold.
#define FUZZ_CHECK(condition, ...)                                                    \
  do {                                                                                \
    if (!(condition)) {                                                               \
      fprintf(stderr, "%s:%d: check failed: %s\n  ", __FILE__, __LINE__, #condition); \
      fprintf(stderr, __VA_ARGS__);                                                   \
      fputc('\n', stderr);                                                            \
      abort();                                                                        \
    }                                                                                 \
  } while (0)

// Takes choices from the front of the input; once it runs dry every choice is 0.
struct FuzzInput {
  const uint8_t* data;
  size_t size;

  uint8_t Byte() {
    if (size == 0) return 0;
    --size;
    return *data++;
  }
  uint16_t U16() { return static_cast<uint16_t>(Byte() | (Byte() << 8)); }
  // Up to `count` bytes, fewer when the input ends.
  std::string Bytes(size_t count) {
    if (count > size) count = size;
    std::string out(reinterpret_cast<const char*>(data), count);
    data += count;
    size -= count;
    return out;
  }
};

// A heap block of exactly `count` elements holding a copy of `source`: reading
// one element before or behind it is an ASan report.
template <typename T>
std::unique_ptr<T[]> FuzzExactCopy(const T* source, size_t count) {
  std::unique_ptr<T[]> block(new T[count]);
  if (count != 0) memcpy(block.get(), source, count * sizeof(T));
  return block;
}

// UTF-16 text as hexadecimal units, for failure messages.
inline std::string FuzzHex(const char16_t* text, size_t count) {
  std::string out;
  char unit[8];
  for (size_t i = 0; i < count; ++i) {
    snprintf(unit, sizeof unit, "%s%04X", i == 0 ? "" : " ", static_cast<unsigned>(text[i]));
    out += unit;
  }
  return out;
}

inline std::string FuzzHex(const std::u16string& text) { return FuzzHex(text.data(), text.size()); }
