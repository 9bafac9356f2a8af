// Helpers shared by the fuzz targets: reading choices from the fuzzer's bytes,
// exact-size heap copies that AddressSanitizer guards on both sides, and a check
// that stops the run with a message libFuzzer keeps.
#pragma once

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <memory>
#include <string>

// Stops the run (libFuzzer saves the input) when `condition` does not hold.
#define FUZZ_CHECK(condition, ...)                                                                    \
  ((condition) ? (void)0                                                                              \
               : (fprintf(stderr, "check failed: %s: ", #condition), fprintf(stderr, __VA_ARGS__), \
                  fputc('\n', stderr), abort()))

// Takes choices from the front of the input; once it runs dry every choice is 0.
struct FuzzInput {
  const uint8_t* data;
  size_t size;
  uint8_t Byte() { return size == 0 ? 0 : (--size, *data++); }
};

// A heap block of exactly `count` elements holding a copy of `source`: reading
// one element before or behind it is an ASan report.
template <typename T>
std::unique_ptr<T[]> FuzzExactCopy(const T* source, size_t count) {
  std::unique_ptr<T[]> block(new T[count]);
  if (count != 0) memcpy(block.get(), source, count * sizeof(T));
  return block;
}

// True when a zero unit ends the text within its `capacity` units.
template <typename T>
bool FuzzTerminated(const T* text, int capacity) {
  return capacity > 0 && std::char_traits<T>::find(text, static_cast<size_t>(capacity), T(0)) != nullptr;
}
