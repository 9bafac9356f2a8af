// The whole archive pass over arbitrary installer bytes.
//
// The input is what an installer holds from the payload search start on (the
// seeds are packed installers less their first 89999 bytes). It is written
// behind 89999 zero bytes into one file per process in /dev/shm, and the pass
// runs over it with a handler that accepts some entries into a scratch folder,
// declines others, points some into a missing folder, and reads the leading
// bytes of description and language files as the installer's scan does.
#include <fcntl.h>
#include <stddef.h>
#include <stdint.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "archive/archive_pass.h"
#include "archive/payload_format.h"
#include "archive/payload_locator.h"
#include "fuzz_support.h"
#include "shell/installer_context.h"
#include "text/product_description.h"

namespace fs = std::filesystem;

namespace {

// Accepted entries per run, and their largest size: a stream that decodes to
// gigabytes must not fill the machine's memory through /dev/shm.
const uint32_t kMaxAccepted = 8;
const uint32_t kMaxAcceptedSize = 1u << 20;

struct Scratch {
  fs::path folder;
  std::u16string installer;
  int fd = -1;
};

Scratch g_scratch;

void RemoveScratch() {
  if (g_scratch.fd >= 0) close(g_scratch.fd);
  std::error_code ignored;
  fs::remove_all(g_scratch.folder, ignored);
}

struct Accepted {
  std::u16string path;
  uint32_t size;
  std::string lead;  // what the data call handed over
};

struct Run {
  uint32_t decisions = 0;
  uint32_t missingFolder = 0;  // decisions pointed into a folder that does not exist
  bool dataExpected = false;
  uint32_t entrySize = 0;
  int currentAccepted = -1;
  std::vector<Accepted> accepted;
};

void SetName(char16_t* name, const std::u16string& text) {
  std::copy(text.c_str(), text.c_str() + text.size() + 1, name);
}

int Handle(char16_t* name, const uint8_t* data, uint32_t size, void* context) {
  Run* run = static_cast<Run*>(context);
  size_t length = 0;
  while (length < kEntryNameUnits && name[length] != 0) ++length;
  FUZZ_CHECK(length > 0 && length < kEntryNameUnits, "bad name length %zu", length);

  if (data != nullptr) {
    uint32_t wanted = run->entrySize < kLeadBufferSize ? run->entrySize : kLeadBufferSize;
    FUZZ_CHECK(run->dataExpected && size == wanted, "data call of %u bytes for an entry of %u", size, run->entrySize);
    run->dataExpected = false;
    std::unique_ptr<uint8_t[]> lead = FuzzExactCopy(data, size);
    switch (ClassifyScanEntry(name)) {
      case kScanEntryDescription: {
        ProductDescription description;
        ParseDescriptionLine(lead.get(), size, &description);
        FUZZ_CHECK(memchr(description.name, 0, sizeof description.name) != nullptr, "name not terminated");
        break;
      }
      case kScanEntryLanguageFile: {
        char16_t display[1024];
        ReadLanguageFileName(lead.get(), size, display, 1024);
        char16_t base[64] = {};
        SetLanguageFileBase(name, base, 64);
        break;
      }
      default:
        break;
    }
    if (run->currentAccepted >= 0) {
      run->accepted[static_cast<size_t>(run->currentAccepted)].lead.assign(reinterpret_cast<const char*>(data), size);
    }
    return 0;
  }

  run->decisions += 1;
  run->entrySize = size;
  run->dataExpected = size > 0;
  run->currentAccepted = -1;
  // A name ending in "~" goes to a folder that does not exist: the first such
  // failure is the pass's result, so the other entries stay able to succeed.
  if (name[length - 1] == u'~') {
    run->missingFolder += 1;
    SetName(name, (g_scratch.folder / "missing" / "entry").u16string());
    return 1;
  }
  if (run->decisions % 3 == 0 || run->accepted.size() >= kMaxAccepted || size > kMaxAcceptedSize) return 0;
  // Never the stored name: it may be absolute or climb out of the folder.
  std::u16string path = (g_scratch.folder / ("out" + std::to_string(run->accepted.size()))).u16string();
  run->currentAccepted = static_cast<int>(run->accepted.size());
  run->accepted.push_back({path, size, std::string()});
  SetName(name, path);
  return 1;
}

std::string ReadWhole(const std::u16string& path) {
  std::string bytes;
  FILE* file = fopen(fs::path(path).c_str(), "rb");
  if (file == nullptr) return bytes;
  char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, n);
  fclose(file);
  return bytes;
}

bool Terminated(const char* text, size_t capacity) { return memchr(text, 0, capacity) != nullptr; }

// The decoder allocates the dictionary the header asks for, up to 4 GiB. Under
// ASan every such block costs its shadow, and a few mutated headers slow the run
// down to a crawl. Decoding never uses more dictionary than the unpacked size,
// so the copy on disk gets min(dictionary, unpacked size, 16 MiB): the same
// decode for every stream whose matches reach back less than 16 MiB.
void ShrinkDictionary(size_t fileSize) {
  const uint32_t kMaxDictionary = 16u << 20;
  PlatformFile file = PlatformCreateFile(g_scratch.installer.c_str(), false);
  if (file == PLATFORM_INVALID_FILE) return;
  uint32_t offset = PayloadLocator(file, static_cast<uint32_t>(fileSize));
  PlatformCloseHandle(file);
  uint8_t header[kContainerHeaderSize];
  if (offset == 0 || pread(g_scratch.fd, header, sizeof header, offset) != static_cast<ssize_t>(sizeof header)) return;
  uint32_t dictionary = header[1] | header[2] << 8 | header[3] << 16 | static_cast<uint32_t>(header[4]) << 24;
  uint32_t limit = ContainerUnpackedSize(header) < kMaxDictionary ? ContainerUnpackedSize(header) : kMaxDictionary;
  if (dictionary <= limit) return;
  for (int i = 0; i < 4; ++i) header[1 + i] = static_cast<uint8_t>(limit >> (8 * i));
  if (pwrite(g_scratch.fd, header + 1, 4, offset + 1) != 4) abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  g_scratch.folder = fs::path(base) / ("setup-archive-fuzz-" + std::to_string(getpid()));
  fs::remove_all(g_scratch.folder);
  fs::create_directories(g_scratch.folder);
  fs::path installer = g_scratch.folder / "setup.exe";
  g_scratch.installer = installer.u16string();
  g_scratch.fd = open(installer.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (g_scratch.fd < 0 || ftruncate(g_scratch.fd, kPayloadSearchStart) != 0) {
    perror("archive_pass_fuzzer: scratch installer");
    abort();
  }
  atexit(RemoveScratch);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The stub part stays zeros; only the bytes from the search start on change.
  if (ftruncate(g_scratch.fd, kPayloadSearchStart) != 0 ||
      (size > 0 && pwrite(g_scratch.fd, data, size, kPayloadSearchStart) != static_cast<ssize_t>(size))) {
    perror("archive_pass_fuzzer: writing the installer");
    abort();
  }
  ShrinkDictionary(kPayloadSearchStart + size);

  InstallerContext context = {};
  strcpy(context.productCode, "old");
  strcpy(context.productWindowClass, "oldWindow");
  strcpy(context.mainProgramName, "old.exe");
  InstallerContextSet(&context);

  Run run;
  ArchivePassSummary summary;
  int result = ArchivePassReport(g_scratch.installer.c_str(), Handle, &run, &summary);
  InstallerContextSet(nullptr);

  FUZZ_CHECK(result == 0 || result == -1 || result == -2 || result == -4 || result == -6 || result == 3,
             "unexpected result %d", result);
  FUZZ_CHECK(result != 3 || run.missingFolder > 0, "error 3 without a missing folder");
  FUZZ_CHECK(Terminated(summary.productCode, sizeof summary.productCode) &&
                 Terminated(summary.productWindowClass, sizeof summary.productWindowClass) &&
                 Terminated(summary.mainProgramName, sizeof summary.mainProgramName),
             "summary texts not terminated");
  FUZZ_CHECK(summary.entryCount == run.decisions, "%u entries in the summary, %u decision calls", summary.entryCount,
             run.decisions);
  FUZZ_CHECK(!(summary.limitBroken && summary.endedInsideRecord), "broken and cut at once");

  if (result == 0) {
    FUZZ_CHECK(!summary.limitBroken && !summary.endedInsideRecord &&
                   summary.actualChecksum == summary.expectedChecksum && run.missingFolder == 0,
               "success with a broken summary");
    FUZZ_CHECK(strcmp(context.productCode, summary.productCode) == 0 &&
                   strcmp(context.productWindowClass, summary.productWindowClass) == 0 &&
                   strcmp(context.mainProgramName, summary.mainProgramName) == 0,
               "the context did not take the StreamHeader texts");
    for (const Accepted& a : run.accepted) {
      std::string written = ReadWhole(a.path);
      FUZZ_CHECK(written.size() == a.size, "an accepted entry of %u bytes left %zu", a.size, written.size());
      FUZZ_CHECK(written.compare(0, a.lead.size(), a.lead) == 0, "the file does not start with the data call's bytes");
    }
  } else {
    FUZZ_CHECK(strcmp(context.productCode, "old") == 0 && strcmp(context.productWindowClass, "oldWindow") == 0 &&
                   strcmp(context.mainProgramName, "old.exe") == 0,
               "a failed pass changed the context");
  }

  for (const Accepted& a : run.accepted) unlink(fs::path(a.path).c_str());
  return 0;
}
