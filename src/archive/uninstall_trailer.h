// The trailer that `setupkit pack --uninstaller` appends to uninst.exe: what
// the uninstaller needs to undo an installation, and nothing more. It ends
// where the image data ends (in front of a certificate table that signing adds
// later), so the program finds it from there; the writer pads the image with up
// to 7 zero bytes before it so that the trailer ends 8-aligned, where a signing
// tool puts the table without padding of its own:
//
//   +------------+-----------------------------------------------+--------------------------------+
//   | uninst.exe | body                                          | footer, 16 bytes               |
//   | as built   |                                               |                                |
//   +------------+-----------------------------------------------+--------------------------------+
//                | productCode  length byte (0..3), bytes        | "UTRL"       magic             |
//                | productName  length byte (0..31), bytes       | version      1 byte (= 1)      |
//                | windowClass  length byte (0..31), bytes       | 0, 0, 0      reserved          |
//                | mainProgram  length byte (0..31), bytes       | body size    uint32 LE         |
//                | fileCount    uint32 LE                        | CRC-32 of the body, uint32 LE  |
//                | fileCount times: length uint16 LE (1..1019),  |                                |
//                |                  the file name's bytes        |                                |
//                +-----------------------------------------------+--------------------------------+
//
// Texts are ANSI bytes exactly as the installer reads them from the payload and
// converts them with the system's code page; they hold no NUL. The file names
// are last name components: the names the installer can write into its
// destination folder. The reader checks, in this order, the magic, the
// version, the body size against the bytes it was given, the checksum, and
// then every length against the bytes that remain.
#pragma once

#include <stdint.h>

#include "platform/platform.h"

const uint32_t kTrailerFooterSize = 16;
const uint8_t kTrailerVersion = 1;
// A body this large would name some 50 000 files; the reader allocates it whole.
const uint32_t kTrailerBodyMax = 1u << 20;
const uint32_t kTrailerNameMax = 1019;

enum TrailerResult : int {
  kTrailerOk = 0,
  kTrailerMissing = 1,    // no footer magic: a program that carries no trailer
  kTrailerNewer = 2,      // a version (or reserved bytes) this reader does not know
  kTrailerCut = 3,        // the body size does not fit the file or the bytes given
  kTrailerChecksum = 4,   // the body's CRC-32 differs from the footer's
  kTrailerMalformed = 5,  // a length inside the body breaks its limit or the body's end
};

// What the writer stores. Texts are terminated ANSI; files point at fileCount
// terminated names.
struct TrailerFields {
  const char* productCode;
  const char* productName;
  const char* windowClass;
  const char* mainProgram;
  const char* const* files;
  uint32_t fileCount;
};

// What the reader found. The texts are copies, always terminated; the names
// stay in the caller's bytes (borrowed: valid while those bytes are).
struct Trailer {
  char productCode[4];
  char productName[32];
  char windowClass[32];
  char mainProgram[32];
  uint32_t fileCount;
  const uint8_t* names;  // the first name's length field
  uint32_t namesSize;    // bytes from names to the end of the body
};

// CRC-32 (the polynomial of zip and PNG) of size bytes.
uint32_t TrailerChecksum(const uint8_t* bytes, uint32_t size);

// Bytes the trailer of fields takes, or 0 when a text or name breaks its limit
// (see the drawing) or the body would exceed kTrailerBodyMax.
uint32_t TrailerSize(const TrailerFields* fields);

// Writes the trailer (body and footer) of fields into out. Returns the bytes
// written, or 0, with nothing written, when TrailerSize is 0 or above capacity.
uint32_t TrailerWrite(const TrailerFields* fields, uint8_t* out, uint32_t capacity);

// From the footer (the file's last kTrailerFooterSize bytes) of a file of
// fileSize bytes: the size of the body in front of it. Returns kTrailerOk,
// kTrailerMissing, kTrailerNewer or kTrailerCut; *bodySize is 0 unless kTrailerOk.
int TrailerBodySize(const uint8_t* footer, uint32_t fileSize, uint32_t* bodySize);

// Reads a whole trailer: tail holds the last size bytes of the file, the body
// followed by the footer (a longer tail is fine: the body is taken from its
// end). Fills *out on kTrailerOk; on any other result *out is zeroed.
int TrailerRead(const uint8_t* tail, uint32_t size, Trailer* out);

// The next file name of a trailer that TrailerRead accepted: copies it into
// name (capacity in bytes, always terminated, cut to fit) and advances *cursor,
// which starts at 0. False when no name is left.
bool TrailerNextFile(const Trailer* trailer, uint32_t* cursor, char* name, int capacity);

// Reads the footer (kTrailerFooterSize bytes) that ends where the image data of
// the open program ends: in front of its Authenticode certificate table when
// it is signed, else at its end (archive/pe_image.h). Returns TrailerBodySize's
// result for that end; kTrailerMissing also when the file is no PE program or
// its certificate entry is damaged. *end is that offset and *bodySize the
// body's size, both 0 unless kTrailerOk.
int TrailerFileFooter(PlatformFile file, uint8_t* footer, uint32_t* end, uint32_t* bodySize);

// True when TrailerFileFooter accepts the file at path: an uninstaller that
// setupkit generated, signed or not. Reads the headers and the footer only.
bool FileHasTrailer(const char16_t* path);
