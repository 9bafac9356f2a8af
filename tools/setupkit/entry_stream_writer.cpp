#include "setupkit/entry_stream_writer.h"

#include "archive/entry_format.h"

namespace {

void AppendU32(std::vector<uint8_t>* out, uint32_t value) {
  uint8_t bytes[4];
  WriteShiftedU32(value, bytes);
  out->insert(out->end(), bytes, bytes + 4);
}

void AppendText(std::vector<uint8_t>* out, const std::string& text) {
  for (char c : text) out->push_back(StoreTextByte(static_cast<uint8_t>(c)));
  out->push_back(0);
}

}  // namespace

uint32_t EntryStreamChecksumAdd(uint32_t checksum, const std::string& name, uint32_t entryNumber,
                                const uint8_t* data, size_t size) {
  uint32_t perByte = ChecksumTerm(name.empty() ? 0 : static_cast<uint8_t>(name[0]), entryNumber, 0);
  for (size_t i = 0; i < size; ++i) checksum += perByte + data[i];
  return checksum;
}

uint32_t EntryStreamChecksum(const std::vector<EntryStreamEntry>& entries) {
  uint32_t checksum = 0;
  for (size_t i = 0; i < entries.size(); ++i) {
    checksum = EntryStreamChecksumAdd(checksum, entries[i].name, static_cast<uint32_t>(i + 1), entries[i].data.data(),
                                      entries[i].data.size());
  }
  return checksum;
}

size_t StreamHeaderSize(const EntryStreamTexts& texts) {
  return 4 + texts.productCode.size() + 1 + texts.productWindowClass.size() + 1 + texts.mainProgramName.size() + 1 + 4;
}

size_t EntryHeaderSize(const std::string& name) { return 4 + name.size() + 1; }

void AppendStreamHeader(std::vector<uint8_t>* out, const EntryStreamTexts& texts, uint32_t archiveDate,
                        uint32_t checksum) {
  AppendU32(out, checksum);
  AppendText(out, texts.productCode);
  AppendText(out, texts.productWindowClass);
  AppendText(out, texts.mainProgramName);
  AppendU32(out, archiveDate);
}

void AppendEntryHeader(std::vector<uint8_t>* out, const std::string& name, uint32_t size) {
  AppendU32(out, size);
  AppendText(out, name);
}

void StoreEntryData(uint8_t* bytes, size_t size) {
  for (size_t i = 0; i < size; ++i) bytes[i] = StoreDataByte(bytes[i]);
}

void AppendEntryData(std::vector<uint8_t>* out, const uint8_t* plain, size_t size) {
  size_t start = out->size();
  out->insert(out->end(), plain, plain + size);
  StoreEntryData(out->data() + start, size);
}

std::vector<uint8_t> BuildEntryStream(const EntryStreamTexts& texts, uint32_t archiveDate,
                                      const std::vector<EntryStreamEntry>& entries) {
  std::vector<uint8_t> out;
  AppendStreamHeader(&out, texts, archiveDate, EntryStreamChecksum(entries));
  for (const EntryStreamEntry& entry : entries) {
    AppendEntryHeader(&out, entry.name, static_cast<uint32_t>(entry.data.size()));
    AppendEntryData(&out, entry.data.data(), entry.data.size());
  }
  return out;
}
