// Installers whose payload is damaged: the installer shows the broken-file
// message and nothing else (its dialog never appears), with its own file name
// as the caption, writes nothing and ends with exit code 0.
#include <gtest/gtest.h>

#include "archive/entry_format.h"
#include "archive/lzma_test_util.h"
#include "e2e_support.h"
#include "setupkit/entry_stream_writer.h"
#include "setupkit/packer.h"

namespace {

// `shot`: name of the message's picture, or empty for none.
void ExpectOnlyBrokenFileMessage(const std::wstring& installer, const std::wstring& fileName, const std::string& shot) {
  InstallerRun run(installer);
  ASSERT_TRUE(run.started());
  UiMessageBox box;
  ASSERT_TRUE(run.WaitMessage(&box)) << "no message";
  EXPECT_EQ(kEnglish.broken, box.text);
  EXPECT_EQ(fileName, box.caption);
  EXPECT_TRUE(box.hasIcon);
  EXPECT_EQ(std::vector<std::wstring>({L"OK"}), box.buttons);
  // The message is the only window: the dialog is never shown.
  EXPECT_EQ(std::vector<HWND>({box.window}), UiTopWindows(run.id(), L"#32770"));
  if (!shot.empty()) Screenshot({box.window}, shot);
  EXPECT_TRUE(UiAnswerMessageBox(box, IDOK));
  EXPECT_EQ(0, run.WaitExit());
  ExpectNothingInstalled(ProgramFilesDir() + L"\\" + kSampleName);
}

// The sample product's installer built again from its files, with the
// StreamHeader's checksum off by `checksumError`.
std::vector<uint8_t> SampleWithChecksumError(uint32_t checksumError) {
  std::vector<uint8_t> sample = ReadBytes(E2e().sampleInstaller);
  size_t payload = PayloadOffset(sample);
  EXPECT_NE(0u, payload) << "no payload in the sample installer";
  std::vector<EntryStreamEntry> entries;
  for (const SampleEntry& entry : SampleEntries()) {
    std::string name;
    for (wchar_t c : entry.storedName) name += static_cast<char>(c);  // the names are ASCII
    entries.push_back({name, ReadBytes(entry.source)});
  }
  EntryStreamTexts texts = {"PBN", "PebbleNotesWindow", "Pebble.exe"};
  std::vector<uint8_t> stream;
  AppendStreamHeader(&stream, texts, ArchiveDateFromYmd(2021, 6, 15), EntryStreamChecksum(entries) + checksumError);
  for (const EntryStreamEntry& entry : entries) {
    AppendEntryHeader(&stream, entry.name, static_cast<uint32_t>(entry.data.size()));
    AppendEntryData(&stream, entry.data.data(), entry.data.size());
  }
  std::vector<uint8_t> installer(sample.begin(), sample.begin() + payload);
  std::vector<uint8_t> container = TestContainer(TestLzmaEncode(stream, false), static_cast<uint32_t>(stream.size()));
  installer.insert(installer.end(), container.begin(), container.end());
  if (installer.size() < PackFindableSize(payload)) installer.resize(PackFindableSize(payload), 0);
  return installer;
}

}  // namespace

TEST(BrokenInstaller, TruncatedPayload) {
  std::vector<uint8_t> installer = ReadBytes(E2e().sampleInstaller);
  size_t payload = PayloadOffset(installer);
  ASSERT_NE(0u, payload);
  installer.resize(payload + (installer.size() - payload) / 2);
  std::wstring path = E2e().work + L"\\Truncated.exe";
  WriteBytes(path, installer);
  ExpectOnlyBrokenFileMessage(path, L"Truncated.exe", "broken-en.png");
}

TEST(BrokenInstaller, WrongChecksum) {
  // The same installer with the right checksum opens its dialog: the checksum alone is at fault.
  std::wstring good = E2e().work + L"\\RightSum.exe", bad = E2e().work + L"\\WrongSum.exe";
  WriteBytes(good, SampleWithChecksumError(0));
  WriteBytes(bad, SampleWithChecksumError(1));
  {
    InstallerRun run(good);
    HWND dialog = run.WaitDialog();
    ASSERT_NE(nullptr, dialog) << "the rebuilt sample installer does not open";
    ASSERT_TRUE(UiPress(dialog, kCancelButton));
    EXPECT_EQ(0, run.WaitExit());
  }
  ExpectOnlyBrokenFileMessage(bad, L"WrongSum.exe", "");
}
