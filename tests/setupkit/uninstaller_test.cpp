// The uninstaller's trailer: writer and reader meet, and every damage is
// refused; pack --uninstaller lists what the install pass writes, and list
// shows it.
#include <gtest/gtest.h>

#include <set>

#include "install/install_decisions.h"
#include "setupkit/stored_text.h"
#include "setupkit/uninstaller.h"
#include "setupkit_test_util.h"
#include "text/bounded_text.h"
#include "archive/uninstall_trailer.h"

namespace fs = std::filesystem;

namespace {

const char* const kNames[] = {"Pebble.exe", "Readme.txt", "HVPSAPI.DLL"};
const TrailerFields kFields = {"PBN", "Pebble Notes", "PebbleNotesWindow", "Pebble.exe", kNames, 3};
const size_t kProgram = 300;

std::vector<uint8_t> WithTrailer(const TrailerFields& fields) {
  std::vector<uint8_t> bytes(kProgram, 0x90);
  bytes.resize(kProgram + TrailerSize(&fields));
  EXPECT_EQ(bytes.size() - kProgram, TrailerWrite(&fields, bytes.data() + kProgram, bytes.size() - kProgram));
  return bytes;
}

int Read(const std::vector<uint8_t>& bytes, Trailer* t) {
  return TrailerRead(bytes.data(), static_cast<uint32_t>(bytes.size()), t);
}

std::string Show(const Trailer& t) {
  std::string shown = std::string(t.productCode) + "|" + t.productName + "|" + t.windowClass + "|" + t.mainProgram + "|";
  char name[kTrailerNameMax + 1];
  for (uint32_t cursor = 0; TrailerNextFile(&t, &cursor, name, sizeof(name));) shown += std::string(name) + ",";
  return shown;
}

// A body changed on purpose gets its checksum back, so only its lengths are wrong.
void FixChecksum(std::vector<uint8_t>* bytes) {
  const uint32_t body = static_cast<uint32_t>(bytes->size() - kProgram - kTrailerFooterSize);
  const uint32_t crc = TrailerChecksum(bytes->data() + kProgram, body);
  for (int i = 0; i < 4; ++i) (*bytes)[bytes->size() - 4 + i] = static_cast<uint8_t>(crc >> (8 * i));
}

}  // namespace

TEST(UninstallTrailer, RoundTripsAndRefusesEveryDamage) {
  const std::vector<uint8_t> bytes = WithTrailer(kFields);
  Trailer t;
  ASSERT_EQ(kTrailerOk, Read(bytes, &t));
  EXPECT_EQ("PBN|Pebble Notes|PebbleNotesWindow|Pebble.exe|Pebble.exe,Readme.txt,HVPSAPI.DLL,", Show(t));
  uint32_t body = 0;
  EXPECT_EQ(kTrailerOk, TrailerBodySize(&bytes[bytes.size() - 16], static_cast<uint32_t>(bytes.size()), &body));
  EXPECT_EQ(bytes.size() - kProgram - 16, body);

  // Every flipped bit, every cut of the end, every cut into the body from the front.
  for (size_t at = kProgram; at < bytes.size(); ++at) {
    for (uint8_t bit = 1; bit != 0; bit = static_cast<uint8_t>(bit << 1)) {
      std::vector<uint8_t> flipped = bytes;
      flipped[at] ^= bit;
      EXPECT_NE(kTrailerOk, Read(flipped, &t)) << "bit " << int(bit) << " at " << at;
    }
    EXPECT_NE(kTrailerOk, Read(std::vector<uint8_t>(bytes.begin(), bytes.begin() + at), &t)) << "cut at " << at;
    if (at + 1 < bytes.size() - 16) {
      EXPECT_EQ(kTrailerCut, TrailerRead(&bytes[at + 1], static_cast<uint32_t>(bytes.size() - at - 1), &t));
    }
  }
  EXPECT_EQ("||||", Show(t)) << "a refused trailer leaves nothing behind";
  const struct { size_t fromEnd; uint8_t bit; int result; } damages[] = {
      {16, 1, kTrailerMissing}, {12, 1, kTrailerNewer}, {5, 1, kTrailerCut}, {1, 1, kTrailerChecksum},
      {20, 1, kTrailerChecksum}};
  for (const auto& d : damages) {
    std::vector<uint8_t> damaged = bytes;
    damaged[damaged.size() - d.fromEnd] ^= d.bit;
    EXPECT_EQ(d.result, Read(damaged, &t)) << d.fromEnd;
  }
  // Lengths that break a limit or the body's end, under a checksum that fits.
  const size_t firstName = kProgram + 1 + 3 + 1 + 12 + 1 + 17 + 1 + 10 + 4, count = firstName - 4;
  const struct { size_t at; uint8_t value; } lengths[] = {{kProgram, 4}, {firstName, 0}, {firstName + 1, 4},
                                                          {count, 4}, {count, 2}, {kProgram + 4, 0}};
  for (const auto& l : lengths) {
    std::vector<uint8_t> damaged = bytes;
    damaged[l.at] = l.value;
    FixChecksum(&damaged);
    EXPECT_EQ(kTrailerMalformed, Read(damaged, &t)) << l.at << " = " << int(l.value);
  }
  TrailerFields longCode = kFields, emptyName = kFields;
  longCode.productCode = "ABCD";
  const char* const empty[] = {""};
  emptyName.files = empty;
  emptyName.fileCount = 1;
  EXPECT_EQ(0u, TrailerSize(&longCode) + TrailerSize(&emptyName));
}

TEST(UninstallerEntry, ListsWhatTheInstallPassWritesAndListShowsIt) {
  const std::string dir = TestTempDir(), stub = TestWriteStub(), out = TestTempDir() + "/setup.exe";
  TestWriteTree(dir, {{"FILE_ID.DIZ", "Zq Tool Version 2 (test)\r\n"}, {"Bin/Editor.exe", "e"}, {"Extra.exe", "x"},
                      {"Lang/Zq_FR.LNG", "[x]\nLanguage=French\n"}, {"Zq_DE.LNG", "[x]\nLanguage=Deutsch\n"},
                      {"Docs/readme.txt", "r"}, {"Old/README.TXT", "R"}});
  PackJob job{};
  std::vector<ProductFile>& files = job.files;
  ASSERT_EQ("", ProductFilesFromFolder(dir, &files).text);
  ASSERT_EQ("", ProductNameOf(files, &job.productName, &job.described).text);
  files.push_back({"UnInst.exe", dir + "/none", 0, {}});
  job.productCode = "ZQT";
  std::vector<std::string> texts, names;
  ASSERT_EQ("", UninstallerFieldsFor(job, &texts, &names).text);
  EXPECT_EQ((std::vector<std::string>{"ZQT", "Zq Tool", "Zq Tool", "Editor.exe"}), texts);
  // The install pass with every language checked writes each listed name, and only those, besides the set-aside copy.
  InstallState state = {};
  SetWide(u"C:\\P", state.destination, 1024);
  std::set<std::string> written = {"HVPSAPI.DLL"}, listed;
  for (const ProductFile& f : files) {
    char16_t name[1024];
    char narrow[1024];
    NarrowToWide(f.name.c_str(), name, 1024);
    if (DecideInstallEntry(name, u"Zq", [](uint32_t, void*) { return 2; }, nullptr, &state) != kInstallWrite) continue;
    WideToNarrow(name + FileNameOffset(name), narrow, 1024);
    written.insert(stored::FoldKey(narrow));
  }
  for (const std::string& n : names) listed.insert(stored::FoldKey(n));
  EXPECT_EQ(written, listed);
  EXPECT_EQ(names.size(), listed.size()) << "a name listed twice";

  TestWriteFile((fs::u8path(stub).parent_path() / "uninst.exe").u8string(), TestFakeStub(2000));
  auto pack = [&](const std::string& from, std::vector<std::string> more) {
    std::vector<std::string> args = {"pack", "--stub", stub, "--out", out, "--product-code", "ZQT", "--date",
                                     "2024-05-01", "--dict-size", "64K", "--from", from};
    args.insert(args.end(), more.begin(), more.end());
    return TestSetupkit(args);
  };
  ASSERT_EQ(0, pack(dir, {"--uninstaller"}).code);
  EXPECT_TRUE(TestHasText(TestSetupkit({"list", out}).out,
                          "uninstaller   UnInst.exe for \"Zq Tool\" (product code ZQT, window class Zq Tool, main "
                          "program Editor.exe)\n  removes     8 file names: Editor.exe readme.txt Extra.exe FILE_ID.DIZ "
                          "Zq_FR.LNG Zq_DE.LNG UnInst.exe HVPSAPI.DLL\n"));
  EXPECT_TRUE(TestHasText(TestSetupkit({"list", "--json", out}).out,
                          "  ],\n  \"uninstaller\": {\"productCode\": \"ZQT\", \"productName\": \"Zq Tool\", \"windowClass\": "
                          "\"Zq Tool\", \"mainProgram\": \"Editor.exe\", \"files\": [\"Editor.exe\", \"readme.txt\", "
                          "\"Extra.exe\", \"FILE_ID.DIZ\", \"Zq_FR.LNG\", \"Zq_DE.LNG\", \"UnInst.exe\", \"HVPSAPI.DLL\"]}\n}\n"));
  EXPECT_EQ(1, std::distance(fs::directory_iterator(fs::u8path(out).parent_path()), fs::directory_iterator()));
  const std::string target = TestTempDir();
  ASSERT_EQ(0, TestSetupkit({"extract", out, target}).code);
  const std::vector<uint8_t> entry = TestReadFile(target + "/UnInst.exe"), program = TestFakeStub(2000);
  EXPECT_TRUE(std::equal(program.begin(), program.end(), entry.begin()));
  Trailer t;
  EXPECT_EQ(kTrailerOk, Read(entry, &t));

  const std::string own = TestTempDir(), nameless = TestTempDir();
  TestWriteTree(own, {{"FILE_ID.DIZ", "Zq"}, {"Sub/uninst.EXE", "u"}});
  TestWriteTree(nameless, {{"a.txt", "a"}});
  const struct { std::string from; std::vector<std::string> more; std::string problem; } refusals[] = {
      {dir, {"--uninstaller-program", stub}, "--uninstaller-program needs --uninstaller"},
      {dir, {"--uninstaller", "--uninstaller-program", dir + "/Extra.exe"}, "Extra.exe: is not a Windows program"},
      {dir, {"--uninstaller", "--uninstaller-program", target + "/UnInst.exe"}, "already carries a trailer"},
      {own, {"--uninstaller"}, "already has an uninstaller, \"Sub\\uninst.EXE\""},
      {nameless, {"--uninstaller"}, "the product has no name"}};
  for (const auto& r : refusals) {
    TestRun run = pack(r.from, r.more);
    EXPECT_TRUE(run.code == 2 && TestHasText(run.err, r.problem)) << run.err;
  }
  // A product's own uninstaller, packed as a plain file, is listed with what it lacks.
  ASSERT_EQ(0, pack(own, {}).code);
  EXPECT_TRUE(TestHasText(TestSetupkit({"list", out}).out, "uninstaller   UnInst.exe carries no trailer"));
  EXPECT_EQ(1, std::distance(fs::directory_iterator(fs::u8path(out).parent_path()), fs::directory_iterator()));
}

// A release pipeline: the uninstaller written alone, signed, put into the
// product and packed; pack checks it against the product and the installer's
// list reads it in front of the signature. A signed program is refused where a
// trailer would have to go behind its signature.
TEST(UninstallerEntry, WrittenAloneSignedAndPackedIsCheckedAgainstTheProduct) {
  const std::string dir = TestTempDir(), stub = TestWriteStub(), out = TestTempDir() + "/setup.exe";
  const std::string program = (fs::u8path(stub).parent_path() / "uninst.exe").u8string();
  TestWriteFile(program, TestFakeStub(2001));
  TestWriteTree(dir, {{"FILE_ID.DIZ", "Zq Tool 2\r\n"}, {"Editor.exe", "e"}, {"UnInst.exe", "an old one"}});
  const std::string alone = TestTempDir() + "/UnInst.exe";
  const std::vector<std::string> identity = {"--product-code", "ZQT", "--window-class", "ZqWindow", "--from", dir};
  auto run = [&](std::vector<std::string> args, const std::vector<std::string>& more) {
    args.insert(args.end(), more.begin(), more.end());
    return TestSetupkit(args);
  };
  TestRun wrote = run({"uninstaller", "--out", alone, "--uninstaller-program", program}, identity);
  ASSERT_EQ(0, wrote.code) << wrote.err;
  std::vector<uint8_t> bytes = TestReadFile(alone);
  EXPECT_EQ(0u, bytes.size() % 8) << "a signing tool would pad in front of its table";
  // Signed as a signing tool does: an 8-aligned table behind everything, named by the security entry.
  const uint32_t at = static_cast<uint32_t>(bytes.size()), table = 40;
  bytes.resize(at + table, 0x30);
  for (int i = 0; i < 4; ++i) bytes[0xD8 + i] = static_cast<uint8_t>(at >> (8 * i)), bytes[0xDC + i] = table >> (8 * i);
  TestWriteFile(dir + "/UnInst.exe", bytes);

  auto pack = [&](const std::vector<std::string>& more) {
    return run({"pack", "--stub", stub, "--out", out, "--date", "2024-05-01", "--dict-size", "64K"}, more);
  };
  std::vector<std::string> strict = identity;
  strict.push_back("--strict");
  TestRun packed = pack(strict);
  ASSERT_EQ(0, packed.code) << packed.err;
  EXPECT_TRUE(TestHasText(TestSetupkit({"list", out}).out,
                          "UnInst.exe for \"Zq Tool 2\" (product code ZQT, window class ZqWindow, main program "
                          "Editor.exe)\n  removes     4 file names: Editor.exe FILE_ID.DIZ UnInst.exe HVPSAPI.DLL\n"));

  TestWriteTree(dir, {{"New.txt", "n"}});
  std::vector<std::string> other = strict;
  other[1] = "ZQX";
  packed = pack(other);
  EXPECT_EQ(2, packed.code);
  EXPECT_TRUE(TestHasText(packed.err, "error: UnInst.exe was written for another product than this one (product "
                                      "code \"ZQT\" (packing \"ZQX\"), not listed: New.txt)"))
      << packed.err;
  bytes[at - 1] ^= 1;
  TestWriteFile(dir + "/UnInst.exe", bytes);
  packed = pack(identity);
  EXPECT_TRUE(packed.code == 0 && TestHasText(packed.err, "warning: UnInst.exe has a trailer that fails its checksum"))
      << packed.err;

  TestWriteFile(program, bytes);
  fs::remove(fs::u8path(dir + "/UnInst.exe"));
  for (const std::vector<std::string>& refused :
       {std::vector<std::string>{"pack", "--stub", stub, "--out", out, "--uninstaller", "--uninstaller-program", program},
        std::vector<std::string>{"uninstaller", "--out", alone, "--uninstaller-program", program}}) {
    const TestRun signedProgram = run(refused, identity);
    EXPECT_TRUE(signedProgram.code == 2 && TestHasText(signedProgram.err, "is signed") &&
                TestHasText(signedProgram.err, "write the uninstaller with 'setupkit uninstaller', sign that"))
        << signedProgram.err;
  }
}
