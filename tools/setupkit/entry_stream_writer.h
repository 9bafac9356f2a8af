// Writes the entry stream (layout in archive/entry_format.h), the bytes that
// `setupkit pack` compresses into an installer's payload.
//
// Small streams: BuildEntryStream. Big ones, without holding any file whole:
//   1. checksum = 0; for each entry k = 1, 2, ...: feed its data, chunk by chunk,
//      to EntryStreamChecksumAdd(checksum, name, k, chunk, n).
//   2. AppendStreamHeader(out, texts, date, checksum); then for each entry
//      AppendEntryHeader(out, name, size) followed by its data, chunk by chunk,
//      through StoreEntryData (in place) or AppendEntryData.
// The unpacked size for the container header is StreamHeaderSize + the sum of
// EntryHeaderSize + data size over the entries.
//
// The serializers store whatever they are given, so tests can write invalid
// streams: callers check texts, names (1 to 1019 bytes, no 0x00 or 0x81 byte)
// and the date (ArchiveDateToYmd) first.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

// The StreamHeader texts: narrow bytes in the ANSI code page (Windows-1252).
struct EntryStreamTexts {
  std::string productCode;         // at most 3 bytes
  std::string productWindowClass;  // at most 31 bytes
  std::string mainProgramName;     // at most 31 bytes
};

struct EntryStreamEntry {
  std::string name;  // stored name, ANSI, 1 to 1019 bytes, backslash separators
  std::vector<uint8_t> data;
};

// `checksum` plus what `size` plain data bytes of the entry named `name`, the
// `entryNumber`-th of the stream (the first is 1), add to it. An empty name counts as first byte 0.
uint32_t EntryStreamChecksumAdd(uint32_t checksum, const std::string& name, uint32_t entryNumber,
                                const uint8_t* data, size_t size);

// The checksum of a whole list of entries.
uint32_t EntryStreamChecksum(const std::vector<EntryStreamEntry>& entries);

// Bytes the StreamHeader / an entry's header occupy in the stream.
size_t StreamHeaderSize(const EntryStreamTexts& texts);
size_t EntryHeaderSize(const std::string& name);

// Appends the StreamHeader with the given checksum to *out.
void AppendStreamHeader(std::vector<uint8_t>* out, const EntryStreamTexts& texts, uint32_t archiveDate,
                        uint32_t checksum);

// Appends an entry's header (data size and name) to *out; its data follows it.
void AppendEntryHeader(std::vector<uint8_t>* out, const std::string& name, uint32_t size);

// Turns `size` plain data bytes into their stored form, in place.
void StoreEntryData(uint8_t* bytes, size_t size);

// Appends the stored form of `size` plain data bytes to *out.
void AppendEntryData(std::vector<uint8_t>* out, const uint8_t* plain, size_t size);

// The whole stream: StreamHeader with the computed checksum, then every entry.
std::vector<uint8_t> BuildEntryStream(const EntryStreamTexts& texts, uint32_t archiveDate,
                                      const std::vector<EntryStreamEntry>& entries);
