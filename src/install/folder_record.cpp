#include "install/folder_record.h"

#include "archive/uninstall_trailer.h"
#include "text/bounded_text.h"

namespace {

const char16_t kHeader[] = u"\xFEFFsetupkit record 1\r\n";
const char16_t kVersionKey[] = u"version\t";
const char16_t kFileKey[] = u"file\t";
const char16_t kEndKey[] = u"end\t";
// "end", a TAB, eight digits, CR LF.
const uint32_t kEndLineBytes = (4 + 8 + 2) * 2;

char16_t UnitAt(const uint8_t* bytes, uint32_t offset) {
  return static_cast<char16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

// True when the units at offset (within size) start with text; *after is past it.
bool StartsWith(const uint8_t* bytes, uint32_t size, uint32_t offset, const char16_t* text, uint32_t* after) {
  for (; *text != 0; ++text, offset += 2) {
    if (offset + 2 > size || UnitAt(bytes, offset) != *text) return false;
  }
  *after = offset;
  return true;
}

// The offset of the CR LF that ends the line starting at offset, or size when none.
uint32_t LineEnd(const uint8_t* bytes, uint32_t size, uint32_t offset) {
  for (; offset + 4 <= size; offset += 2) {
    if (UnitAt(bytes, offset) == u'\r' && UnitAt(bytes, offset + 2) == u'\n') return offset;
  }
  return size;
}

void CopyUnits(const uint8_t* bytes, uint32_t from, uint32_t to, char16_t* out, int capacity) {
  int n = 0;
  for (; from < to && n < capacity - 1; from += 2) out[n++] = UnitAt(bytes, from);
  out[n] = 0;
}

void HexDigits(uint32_t value, char16_t* out) {
  for (int i = 7; i >= 0; --i, value >>= 4) out[i] = u"0123456789abcdef"[value & 15];
  out[8] = 0;
}

void Append(RecordBuilder* builder, const char16_t* text) {
  for (; *text != 0 && !builder->full; ++text) {
    if (builder->size + 2 > builder->capacity) {
      builder->full = true;
      return;
    }
    builder->bytes[builder->size++] = static_cast<uint8_t>(*text & 0xFF);
    builder->bytes[builder->size++] = static_cast<uint8_t>(*text >> 8);
  }
}

uint32_t NameHash(const char16_t* name) {
  uint32_t hash = 2166136261u;
  for (; *name != 0; ++name) hash = (hash ^ FoldAscii(*name)) * 16777619u;
  return hash;
}

// True when the name stored at offset (up to its CR) equals name, ASCII case folded.
bool StoredNameIs(const RecordBuilder* builder, uint32_t offset, const char16_t* name) {
  for (; *name != 0; ++name, offset += 2) {
    if (offset + 2 > builder->size || FoldAscii(UnitAt(builder->bytes, offset)) != FoldAscii(*name)) return false;
  }
  return offset + 2 <= builder->size && UnitAt(builder->bytes, offset) == u'\r';
}

// The slot that holds name, or the free one where it would go; null when the index is full.
uint32_t* FindSlot(RecordBuilder* builder, const char16_t* name) {
  const uint32_t mask = kRecordIndexSlots - 1;
  uint32_t at = NameHash(name) & mask;
  for (uint32_t probes = 0; probes < kRecordIndexSlots; ++probes, at = (at + 1) & mask) {
    uint32_t slot = builder->index[at];
    if (slot == 0 || StoredNameIs(builder, slot - 1, name)) return &builder->index[at];
  }
  return nullptr;
}

}  // namespace

int RecordParse(const uint8_t* bytes, uint32_t size, RecordView* view) {
  *view = RecordView{};
  uint32_t at = 0;
  if (bytes == nullptr || size > kRecordMax || size % 2 != 0 || size < kEndLineBytes ||
      !StartsWith(bytes, size, 0, kHeader, &at) || !StartsWith(bytes, size, at, kVersionKey, &at)) {
    return kRecordDamaged;
  }
  uint32_t end = size - kEndLineBytes, digits = 0;
  char16_t expected[9], stored[9];
  HexDigits(TrailerChecksum(bytes, end), expected);
  if (!StartsWith(bytes, size, end, kEndKey, &digits) || LineEnd(bytes, size, digits) != size - 4) return kRecordDamaged;
  CopyUnits(bytes, digits, digits + 16, stored, 9);
  for (int i = 0; i < 9; ++i) {
    if (stored[i] != expected[i]) return kRecordDamaged;
  }
  uint32_t versionEnd = LineEnd(bytes, end, at);
  if (versionEnd >= end) return kRecordDamaged;
  CopyUnits(bytes, at, versionEnd, view->version, kRecordVersionUnits);
  // Every line between must be a file line: a record is used whole or not at all.
  for (uint32_t line = versionEnd + 4; line < end; line = LineEnd(bytes, end, line) + 4) {
    uint32_t name = 0;
    if (!StartsWith(bytes, end, line, kFileKey, &name) || LineEnd(bytes, end, line) >= end) return kRecordDamaged;
  }
  view->names = bytes + versionEnd + 4;
  view->namesSize = end - (versionEnd + 4);
  return kRecordOk;
}

bool RecordNextName(const RecordView* view, uint32_t* cursor, char16_t* name, int capacity) {
  uint32_t start = 0;
  if (view->names == nullptr || *cursor >= view->namesSize ||
      !StartsWith(view->names, view->namesSize, *cursor, kFileKey, &start)) {
    return false;
  }
  uint32_t end = LineEnd(view->names, view->namesSize, start);
  CopyUnits(view->names, start, end, name, capacity);
  *cursor = end + 4;
  return true;
}

void RecordBegin(RecordBuilder* builder, uint8_t* bytes, uint32_t capacity, uint32_t* index, const char16_t* version) {
  *builder = RecordBuilder{bytes, capacity < kRecordMax ? capacity : kRecordMax, 0, false, index};
  for (uint32_t i = 0; i < kRecordIndexSlots; ++i) index[i] = 0;
  Append(builder, kHeader);
  Append(builder, kVersionKey);
  char16_t line[kRecordVersionUnits];
  SetWide(version, line, kRecordVersionUnits);
  // A line break inside the version would end its line early.
  for (char16_t* c = line; *c != 0; ++c) {
    if (*c < 32) *c = u' ';
  }
  Append(builder, line);
  Append(builder, u"\r\n");
}

void RecordAddName(RecordBuilder* builder, const char16_t* name) {
  if (name == nullptr || name[0] == 0 || builder->full) return;
  for (const char16_t* c = name; *c != 0; ++c) {
    if (IsSeparator(*c) || *c < 32) return;
  }
  uint32_t* slot = FindSlot(builder, name);
  if (slot == nullptr || *slot != 0) return;
  Append(builder, kFileKey);
  const uint32_t offset = builder->size;
  Append(builder, name);
  Append(builder, u"\r\n");
  if (!builder->full) *slot = offset + 1;
}

uint32_t RecordFinish(RecordBuilder* builder) {
  char16_t digits[9];
  HexDigits(TrailerChecksum(builder->bytes, builder->size), digits);
  Append(builder, kEndKey);
  Append(builder, digits);
  Append(builder, u"\r\n");
  return builder->full || builder->size > kRecordMax ? 0 : builder->size;
}

int CompareVersions(const char16_t* a, const char16_t* b) {
  if (a == nullptr || b == nullptr || *a < u'0' || *a > u'9' || *b < u'0' || *b > u'9') return kVersionUnknown;
  while ((*a >= u'0' && *a <= u'9') || (*b >= u'0' && *b <= u'9')) {
    uint64_t x = 0, y = 0;
    // Only the first 18 digits of a number count, so a long one cannot overflow.
    for (int n = 0; *a >= u'0' && *a <= u'9'; ++a) x = n++ < 18 ? x * 10 + (*a - u'0') : x;
    for (int n = 0; *b >= u'0' && *b <= u'9'; ++b) y = n++ < 18 ? y * 10 + (*b - u'0') : y;
    if (x != y) return x > y ? 1 : -1;
    // A dot goes on to the next number only when a digit follows it.
    a += a[0] == u'.' && a[1] >= u'0' && a[1] <= u'9';
    b += b[0] == u'.' && b[1] >= u'0' && b[1] <= u'9';
    if ((*a < u'0' || *a > u'9') && (*b < u'0' || *b > u'9')) break;
  }
  return 0;
}
