// The whole archive pass over arbitrary installer bytes.
//
// The input is what an installer holds from the payload search start on (the
// seeds are packed installers less their first 89999 bytes). It is written
// behind 89999 zero bytes into one file per process in /dev/shm, and the pass
// runs over it with a handler that writes some entries into that folder.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "archive/archive_pass.h"
#include "archive/payload_format.h"
#include "archive/payload_locator.h"
#include "fuzz_support.h"

namespace fs = std::filesystem;

namespace {

fs::path g_folder;
int g_fd = -1;
typedef std::vector<std::pair<fs::path, uint32_t>> Accepted;  // path, size

// Accepts at most 8 entries of up to 1 MiB (a stream that decodes to gigabytes
// must not fill /dev/shm), under names of its own: a stored name may be absolute.
int Handle(char16_t* name, const uint8_t* data, uint32_t size, void* context) {
  Accepted* accepted = static_cast<Accepted*>(context);
  if (data != nullptr || name[0] % 3 == 0 || accepted->size() >= 8 || size > (1u << 20)) return 0;
  accepted->push_back({g_folder / ("out" + std::to_string(accepted->size())), size});
  std::u16string path = accepted->back().first.u16string();
  std::copy(path.c_str(), path.c_str() + path.size() + 1, name);
  return 1;
}

// The decoder allocates the dictionary the header asks for, up to 4 GiB, and
// under ASan a few such headers slow the run to a crawl. Decoding never uses
// more dictionary than the unpacked size, so the copy on disk gets at most that
// and 16 MiB: the same decode for every stream whose matches reach back less.
void ShrinkDictionary(uint32_t fileSize) {
  PlatformFile file = PlatformCreateFile((g_folder / "setup.exe").u16string().c_str(), false);
  uint32_t offset = PayloadLocator(file, fileSize);
  PlatformCloseHandle(file);
  uint8_t header[kContainerHeaderSize];
  if (offset == 0 || pread(g_fd, header, sizeof header, offset) != static_cast<ssize_t>(sizeof header)) return;
  uint32_t dictionary = header[1] | header[2] << 8 | header[3] << 16 | static_cast<uint32_t>(header[4]) << 24;
  dictionary = std::min({dictionary, ContainerUnpackedSize(header), 16u << 20});
  for (int i = 0; i < 4; ++i) header[1 + i] = static_cast<uint8_t>(dictionary >> (8 * i));
  if (pwrite(g_fd, header + 1, 4, offset + 1) != 4) abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  g_folder = fs::path(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") /
             ("setup-archive-fuzz-" + std::to_string(getpid()));
  fs::create_directories(g_folder);
  g_fd = open((g_folder / "setup.exe").c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (g_fd < 0) abort();
  atexit([] { fs::remove_all(g_folder); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The stub part stays zeros; only the bytes from the search start on change.
  if (ftruncate(g_fd, kPayloadSearchStart) != 0 ||
      (size > 0 && pwrite(g_fd, data, size, kPayloadSearchStart) != static_cast<ssize_t>(size))) {
    abort();
  }
  ShrinkDictionary(static_cast<uint32_t>(kPayloadSearchStart + size));
  Accepted accepted;
  int result = ArchivePass((g_folder / "setup.exe").u16string().c_str(), Handle, &accepted);
  for (const auto& entry : accepted) {
    // A whole pass has written every accepted entry in full.
    FUZZ_CHECK(result != 0 || fs::file_size(entry.first) == entry.second, "an entry of %u bytes is short",
               entry.second);
    fs::remove(entry.first);
  }
  return 0;
}
