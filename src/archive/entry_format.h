// The entry stream: what the payload's LZMA stream decodes to. The parser and
// `setupkit pack` both take every constant of the format from this header.
//
//   StreamHeader
//   +--------------------+----------------------+----------------------+----------------------+------------------+
//   | expected checksum  | ProductCode          | ProductWindowClass   | MainProgramName      | ArchiveDate      |
//   | ShiftedU32 (4)     | ShiftedString (<= 3) | ShiftedString (<=31) | ShiftedString (<=31) | ShiftedU32 (4)   |
//   +--------------------+----------------------+----------------------+----------------------+------------------+
//   then entries, back to back, until the unpacked size is reached:
//   +--------------------+---------------------------+-------------------------------+
//   | data size s        | name                      | data                          |
//   | ShiftedU32 (4)     | ShiftedString (1..1019)   | s bytes, each stored b - DataShift |
//   +--------------------+---------------------------+-------------------------------+
//
//   ShiftedU32     4 bytes, most significant first, holding value + NumberShift (mod 2^32).
//   ShiftedString  each ANSI character byte x stored as x + TextShift (mod 256), ended by one
//                  stored 0 byte; the character 256 - TextShift therefore cannot be stored.
//   ArchiveDate    ((year - 2012) * 12 + month) * 31 + day: 2012-01-01 is 32.
//   Checksum       sum over every data byte b of entry k (first entry k = 1), mod 2^32, of
//                  N + (k + 10) + b, N being the first byte of the entry's plain name as a
//                  signed 8-bit number. Names and header texts are not summed.
//
// There is no entry count, end record or padding, and there are no folder records:
// every entry is a file, named by its relative path with backslashes.
#pragma once

#include <stdint.h>

// TextShift leaves 0x81 as the one character that cannot be stored: Windows-1252
// has no character there, so no real text is lost to it.
const uint8_t kTextShift = 0x7F;
const uint32_t kNumberShift = 0x2D8A61C3u;
const uint8_t kDataShift = 0x5C;

// The character byte whose shifted form would read as the end of a text.
const uint8_t kUnstorableTextByte = static_cast<uint8_t>(256 - kTextShift);

// Longest texts, in bytes without the terminator.
const int kProductCodeMax = 3;
const int kProductWindowClassMax = 31;
const int kMainProgramNameMax = 31;
const int kEntryNameMax = 1019;

// Smallest ArchiveDate, 2012-01-01.
const uint32_t kArchiveDateMin = 32;

inline uint32_t ArchiveDateFromYmd(int year, int month, int day) {
  return static_cast<uint32_t>(((year - 2012) * 12 + month) * 31 + day);
}

// Turns an ArchiveDate back into its calendar date. False when the value names
// no real date from 2012-01-01 on (day 31 of a short month, 29 February of a
// common year, a value below 32).
inline bool ArchiveDateToYmd(uint32_t value, int* year, int* month, int* day) {
  if (value < kArchiveDateMin) return false;
  uint32_t d = value % 31, v = value / 31;
  if (d == 0) {
    d = 31;
    v -= 1;
  }
  uint32_t m = v % 12;
  if (m == 0) m = 12;
  uint32_t y = (v - m) / 12 + 2012;
  if (y > 30827) return false;
  static const uint8_t kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  if (d > kDays[m - 1] + (m == 2 && leap ? 1u : 0u)) return false;
  *year = static_cast<int>(y);
  *month = static_cast<int>(m);
  *day = static_cast<int>(d);
  return true;
}

inline uint32_t ReadShiftedU32(const uint8_t* p) {
  uint32_t stored = (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
                    (static_cast<uint32_t>(p[2]) << 8) | p[3];
  return stored - kNumberShift;
}

inline void WriteShiftedU32(uint32_t value, uint8_t* p) {
  uint32_t stored = value + kNumberShift;
  p[0] = static_cast<uint8_t>(stored >> 24);
  p[1] = static_cast<uint8_t>(stored >> 16);
  p[2] = static_cast<uint8_t>(stored >> 8);
  p[3] = static_cast<uint8_t>(stored);
}

inline uint8_t StoreTextByte(uint8_t plain) { return static_cast<uint8_t>(plain + kTextShift); }
inline uint8_t PlainTextByte(uint8_t stored) { return static_cast<uint8_t>(stored - kTextShift); }
inline uint8_t StoreDataByte(uint8_t plain) { return static_cast<uint8_t>(plain - kDataShift); }
inline uint8_t PlainDataByte(uint8_t stored) { return static_cast<uint8_t>(stored + kDataShift); }

// What one data byte adds to the checksum.
inline uint32_t ChecksumTerm(uint8_t firstNameByte, uint32_t entryNumber, uint8_t plain) {
  return static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(firstNameByte))) +
         (entryNumber + 10) + plain;
}
