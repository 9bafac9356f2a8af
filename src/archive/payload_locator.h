// Finds the payload behind the executable image (layout in payload_format.h).
#pragma once

#include <stdint.h>

#include "platform/platform.h"

// Scans `file` (open for reading, any position; `fileSize` its size in bytes)
// for the first payload magic that starts at or after min(fileSize, 89999).
// Returns the file offset just behind that magic, where the container header
// begins, or 0 when there is none.
//
// Reads 4092 bytes at a time and gives up on the first failing or short read
// without looking at its bytes: a magic that lies only in the file's last,
// partial read is not found, and files of 89999 bytes or fewer always yield 0.
// The file position afterwards is unspecified.
uint32_t PayloadLocator(PlatformFile file, uint32_t fileSize);
