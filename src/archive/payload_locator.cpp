#include "archive/payload_locator.h"

#include <string.h>

#include "archive/payload_format.h"

namespace {

// The four carried bytes let a magic that straddles two reads be seen whole.
const uint32_t kLocatorCarry = kPayloadMagicSize;
const uint32_t kLocatorBufferSize = kLocatorCarry + kPayloadReadSize;

}  // namespace

uint32_t PayloadLocator(PlatformFile file, uint32_t fileSize) {
  uint32_t position = fileSize < kPayloadSearchStart ? fileSize : kPayloadSearchStart;
  PlatformSetFilePointer(file, position);

  // Loaded through volatile so the compiler cannot fold the unmasked magic into an immediate.
  const volatile uint8_t* masked = kPayloadMagicMasked;
  const uint8_t m0 = masked[0], m1 = masked[1], m2 = masked[2], m3 = masked[3];

  uint8_t buffer[kLocatorBufferSize];
  memset(buffer, 0, sizeof(buffer));
  // Wraps for files under 4 bytes, which then end on the first (empty) read.
  uint32_t budget = fileSize - kLocatorCarry;
  while (budget != 0) {
    uint32_t wanted = budget < kPayloadReadSize ? budget : kPayloadReadSize;
    uint32_t got = 0;
    if (!PlatformReadFile(file, buffer + kLocatorCarry, wanted, &got) || got < wanted) return 0;
    // Buffer byte j stands for file offset position - 4 + j.
    for (uint32_t j = 0; j < got; ++j) {
      if ((buffer[j] ^ 0xFF) == m0 && (buffer[j + 1] ^ 0xFF) == m1 && (buffer[j + 2] ^ 0xFF) == m2 &&
          (buffer[j + 3] ^ 0xFF) == m3) {
        return position + j;
      }
    }
    memcpy(buffer, buffer + got, kLocatorCarry);
    budget -= got;
    position += got;
  }
  return 0;
}
