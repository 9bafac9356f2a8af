// list, verify and extract on installers built here byte by byte, with names
// and damage that pack itself never writes.
#include "setupkit/inspector.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "archive/lzma_test_util.h"
#include "setupkit/entry_stream_writer.h"
#include "setupkit/packer.h"
#include "setupkit_test_util.h"

namespace fs = std::filesystem;

namespace {

bool HasText(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::vector<uint8_t> Stream(const std::vector<EntryStreamEntry>& entries) {
  return BuildEntryStream({"ABC", "", ""}, 32, entries);
}

// Stub, payload and enough zeros behind it for the locator. `damage` may change the LZMA stream.
std::string WriteInstaller(const std::vector<uint8_t>& stream, void (*damage)(std::vector<uint8_t>*) = nullptr) {
  TestLzma lzma = TestLzmaEncode(stream, false, 1u << 16);
  if (damage != nullptr) damage(&lzma.stream);
  std::vector<uint8_t> bytes = TestFakeStub(kPayloadSearchStart);
  std::vector<uint8_t> container = TestContainer(lzma, static_cast<uint32_t>(stream.size()));
  bytes.insert(bytes.end(), container.begin(), container.end());
  bytes.resize(std::max<uint64_t>(bytes.size(), PackFindableSize(kPayloadSearchStart)), 0);
  std::string path = TestTempDir() + "/crafted.exe";
  TestWriteFile(path, bytes);
  return path;
}

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

}  // namespace

TEST(Extract, RefusesNamesThatLeaveTheFolderAndWritesTheRest) {
  const std::string installer = WriteInstaller(Stream({{"..\\evil.txt", Bytes("evil")},
                                                       {"C:\\x.txt", Bytes("drive")},
                                                       {"\\abs.txt", Bytes("absolute")},
                                                       {"good\\deeper\\ok.txt", Bytes("fine")},
                                                       {"a\\..\\..\\up.txt", Bytes("up")},
                                                       {"top.txt", Bytes("")}}));
  const std::string parent = TestTempDir();
  const std::string target = parent + "/out";
  TestRun run = TestSetupkit({"extract", installer, target});
  EXPECT_EQ(1, run.code);
  EXPECT_TRUE(HasText(run.err, installer + ": entry \"..\\evil.txt\" would leave the folder (\"..\"); not extracted\n"))
      << run.err;
  EXPECT_TRUE(HasText(run.err, "entry \"C:\\x.txt\" names a drive or a stream (':'); not extracted\n")) << run.err;
  EXPECT_TRUE(HasText(run.err, "entry \"\\abs.txt\" is an absolute path; not extracted\n")) << run.err;
  EXPECT_TRUE(HasText(run.err, "entry \"a\\..\\..\\up.txt\" would leave the folder")) << run.err;
  EXPECT_TRUE(HasText(run.err, installer + ": 4 of 6 entries refused\n")) << run.err;
  EXPECT_EQ(target + ": 2 of 6 entries extracted, 4 bytes\n", run.out);
  std::map<std::string, std::string> expected = {{"out/good/deeper/ok.txt", "fine"}, {"out/top.txt", ""}};
  EXPECT_EQ(expected, TestReadTree(parent));
}

TEST(Extract, OverwritesFilesAndReportsUnwritableOnes) {
  const std::string installer = WriteInstaller(Stream({{"a.txt", Bytes("new")}, {"a.txt\\b.txt", Bytes("b")}}));
  const std::string target = TestTempDir();
  TestWriteTree(target, {{"a.txt", "old and longer"}});
  TestRun run = TestSetupkit({"extract", installer, target});
  // "a.txt" is written, then is no folder for "a.txt\b.txt".
  EXPECT_EQ(2, run.code);
  EXPECT_TRUE(HasText(run.err, "b.txt: cannot be written (")) << run.err;
  EXPECT_EQ(Bytes("new"), TestReadFile(target + "/a.txt"));

  const std::string file = TestTempDir() + "/file";
  TestWriteFile(file, {});
  run = TestSetupkit({"extract", installer, file});
  EXPECT_EQ(2, run.code);
  EXPECT_TRUE(HasText(run.err, file + ": cannot be created as a folder")) << run.err;
}

TEST(Verify, NamesWhatIsBroken) {
  const std::vector<uint8_t> stream = Stream({{"one.txt", Bytes(std::string(3000, '1'))}, {"two.txt", Bytes("2")}});
  TestRun run = TestSetupkit({"verify", WriteInstaller(stream)});
  EXPECT_EQ(0, run.code) << run.err;
  EXPECT_TRUE(HasText(run.out, ": ok, 2 entries, 3001 bytes\n")) << run.out;

  const std::string stubOnly = TestWriteStub(100000);
  run = TestSetupkit({"verify", stubOnly});
  EXPECT_EQ(1, run.code);
  EXPECT_EQ("setupkit: " + stubOnly + ": no payload found\n", run.err);
  EXPECT_EQ("", run.out);

  std::vector<uint8_t> wrongByte = stream;
  wrongByte.back() ^= 0x01;
  run = TestSetupkit({"verify", WriteInstaller(wrongByte)});
  EXPECT_EQ(1, run.code);
  EXPECT_TRUE(HasText(run.err, ": checksum mismatch (stored ")) << run.err;

  run = TestSetupkit(
      {"verify", WriteInstaller(stream, [](std::vector<uint8_t>* lzma) { lzma->resize(lzma->size() / 2); })});
  EXPECT_EQ(1, run.code);
  EXPECT_TRUE(HasText(run.err, ": LZMA data error")) << run.err;

  run = TestSetupkit(
      {"list", WriteInstaller(stream, [](std::vector<uint8_t>* lzma) { (*lzma)[lzma->size() / 2] ^= 0x55; })});
  EXPECT_EQ(1, run.code);
  EXPECT_EQ("", run.out);

  // A name longer than the format allows breaks the stream, whatever the checksum says.
  run = TestSetupkit({"verify", WriteInstaller(Stream({{"ok", Bytes("1")}, {std::string(1020, 'n'), Bytes("x")}}))});
  EXPECT_EQ(1, run.code);
  EXPECT_TRUE(HasText(run.err, ": the entry stream breaks a limit of the format")) << run.err;

  // A stream, whole as LZMA data, that ends one byte into the last entry's data.
  run = TestSetupkit({"verify", WriteInstaller(std::vector<uint8_t>(stream.begin(), stream.end() - 1))});
  EXPECT_EQ(1, run.code);
  EXPECT_TRUE(HasText(run.err, ": the entry stream ends inside an entry")) << run.err;

  const std::string missing = TestTempDir() + "/missing.exe";
  for (const char* command : {"verify", "list"}) {
    run = TestSetupkit({command, missing});
    EXPECT_EQ(2, run.code) << command;
    EXPECT_EQ("setupkit: " + missing + ": cannot be read (file not found (error 2))\n", run.err) << command;
  }
  run = TestSetupkit({"extract", missing, TestTempDir()});
  EXPECT_EQ(2, run.code);
  EXPECT_TRUE(HasText(run.err, missing + ": cannot be read (file not found (error 2))")) << run.err;
}
