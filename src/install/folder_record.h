// The record an installation keeps in its destination folder, "UnInst.dat":
// the product version the last install wrote and the name of every file that
// any install wrote into that folder, merged over all of them, so that the
// uninstaller removes what every version left, and the installer knows which
// version is there. UTF-16LE text, one line each, readable in any editor:
//
//   <BOM>setupkit record 1          first line, exactly
//   version<TAB>1.3                 the last install's product version (may be empty)
//   file<TAB>Pebble.exe             one line per file name, a last name component
//   ...
//   end<TAB>1a2b3c4d                CRC-32 (archive/uninstall_trailer.h) of every byte
//                                   before this line, 8 lower-case hex digits
//
// Every line ends in CR LF. A record that is cut, changed or over kRecordMax
// bytes is damaged as a whole: nothing of it is used. It is written to a new
// file that then replaces the old one, so a crash leaves the old record or the
// new one, never half of either.
#pragma once

#include <stdint.h>

#include "platform/platform.h"

const char16_t kRecordFileName[] = u"UnInst.dat";
const uint32_t kRecordMax = 1u << 20;
const int kRecordVersionUnits = 32;

enum RecordResult : int {
  kRecordOk = 0,
  kRecordMissing = 1,  // no such file
  kRecordDamaged = 2,  // not a whole record: header, a line, the end line or its checksum
};

// A record read into memory: its version and its names, borrowed from the bytes.
struct RecordView {
  char16_t version[kRecordVersionUnits];
  const uint8_t* names;  // the first "file" line
  uint32_t namesSize;    // bytes from there to the end line
};

// Checks size bytes as a record and fills *view (zeroed first). Returns
// kRecordOk or kRecordDamaged.
int RecordParse(const uint8_t* bytes, uint32_t size, RecordView* view);

// The next file name of a parsed record into name (capacity in units, cut and
// terminated); *cursor starts at 0. False when none is left.
bool RecordNextName(const RecordView* view, uint32_t* cursor, char16_t* name, int capacity);

// A record being built in a caller's buffer: names are added once each (ASCII
// case folded), the end line is added by RecordFinish. The index finds a name
// already added in one probe or a few, so building stays linear.
struct RecordBuilder {
  uint8_t* bytes;
  uint32_t capacity;
  uint32_t size;
  bool full;        // a line did not fit: the record would lose it
  uint32_t* index;  // kRecordIndexSlots slots: 0 free, else 1 + the offset of a name
};

// A record holds at most kRecordMax / 16 names (the shortest line is 16
// bytes); twice as many slots keep the probes short.
const uint32_t kRecordIndexSlots = kRecordMax / 8;

// Starts a record for version in bytes (capacity in bytes, at most kRecordMax
// used) with index, kRecordIndexSlots slots the builder clears.
void RecordBegin(RecordBuilder* builder, uint8_t* bytes, uint32_t capacity, uint32_t* index, const char16_t* version);

// Adds "file<TAB>name" unless an equal name (ASCII case folded) is there or
// the name is empty or holds a separator; a line that does not fit sets full.
void RecordAddName(RecordBuilder* builder, const char16_t* name);

// Adds the end line. Returns the record's size, or 0 when it is full.
uint32_t RecordFinish(RecordBuilder* builder);

// Win32 only (folder_record_file.cpp): reads folder\UnInst.dat into a block
// from the process heap, which the caller frees with HeapFree, and parses it.
// Returns a RecordResult; *block is null unless kRecordOk.
int RecordLoad(const char16_t* folder, uint8_t** block, RecordView* view);

// Win32 only: writes size bytes as folder\UnInst.dat, into a new file beside
// it that then replaces the old one. Returns 0 or a Win32 error code.
int RecordStore(const char16_t* folder, const uint8_t* bytes, uint32_t size);

// Compares two product versions as dotted numbers: "1.10" is newer than "1.9",
// "1.2" equals "1.2.0", and text after the numbers does not count. Returns 1
// when a is newer, -1 when older, 0 when equal, and kVersionUnknown when
// either has no leading number (an unreadable version is never newer).
const int kVersionUnknown = 2;
int CompareVersions(const char16_t* a, const char16_t* b);
