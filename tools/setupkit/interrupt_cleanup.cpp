#include "setupkit/interrupt_cleanup.h"

#ifndef _WIN32
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <string.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/syscall.h>
#endif

namespace {

const size_t kPathBytes = 4096;
char g_path[kPathBytes];
volatile sig_atomic_t g_armed;
const int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The kernel's record of one name in a folder, as getdents64 fills it.
struct DirectoryRecord {
  uint64_t inode;
  int64_t offset;
  unsigned short length;
  unsigned char type;
  char name[1];
};

// Empties the folder open as `folder`: unlinks each name, a folder among them
// when it is empty. Returns the first name that is a folder with something in
// it (copied to `inner`), or false when none is left.
bool EmptyFolder(int folder, char* inner, size_t capacity) {
#ifdef __linux__
  // getdents64 rather than readdir, which allocates: this runs in a signal handler.
  alignas(8) char records[4096];
  for (long got; (got = syscall(SYS_getdents64, folder, records, sizeof(records))) > 0;) {
    for (long at = 0; at < got;) {
      const DirectoryRecord* record = reinterpret_cast<const DirectoryRecord*>(records + at);
      at += record->length;
      const char* name = record->name;
      if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0 || unlinkat(folder, name, 0) == 0) continue;
      if (unlinkat(folder, name, AT_REMOVEDIR) == 0 || errno != ENOTEMPTY) continue;
      if (strlen(name) >= capacity) continue;
      memcpy(inner, name, strlen(name) + 1);
      return true;
    }
  }
#else
  (void)folder;
  (void)inner;
  (void)capacity;
#endif
  return false;
}

// Removes the file or the folder tree at g_path with async-signal-safe calls
// only, one fixed buffer and no recursion: it walks down into the first folder
// that is not empty, empties it, and climbs back until the top one goes. A link
// is removed, never followed. Each step opens one folder; the bound keeps a tree
// that cannot be removed from holding the dying process.
void RemoveArmedPath() {
  const size_t top = strlen(g_path);
  char path[kPathBytes];
  memcpy(path, g_path, top + 1);
  size_t length = top;
  for (long step = 0; step < (1L << 22); ++step) {
    const int folder = open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0) {
      if (length == top) unlink(path);
      return;
    }
    char inner[256];
    const bool deeper = EmptyFolder(folder, inner, sizeof(inner)) && length + 1 + strlen(inner) < kPathBytes;
    close(folder);
    if (deeper) {
      path[length] = '/';
      memcpy(path + length + 1, inner, strlen(inner) + 1);
      length += 1 + strlen(inner);
    } else if (rmdir(path) == 0) {
      if (length == top) return;
      while (path[length] != '/') --length;
      path[length] = 0;
    } else if (errno != ENOTEMPTY) {
      return;
    }
  }
}

void RemoveAndDie(int signalNumber) {
  if (g_armed) RemoveArmedPath();
  signal(signalNumber, SIG_DFL);
  raise(signalNumber);
}

}  // namespace

void RemoveOnInterrupt(const std::filesystem::path& path) {
  static bool installed = false;
  if (!installed) {
    installed = true;
    struct sigaction action;
    memset(&action, 0, sizeof(action));
    action.sa_handler = RemoveAndDie;
    sigemptyset(&action.sa_mask);
    for (int s : kSignals) sigaddset(&action.sa_mask, s);
    for (int s : kSignals) {
      struct sigaction previous;
      // A signal the caller ignores (nohup, a background job) stays ignored.
      if (sigaction(s, nullptr, &previous) == 0 && previous.sa_handler != SIG_IGN) sigaction(s, &action, nullptr);
    }
  }
  // Disarmed while the path changes, so the handler never sees half a path.
  g_armed = 0;
  const std::string native = path.native();
  if (native.empty() || native.size() >= kPathBytes) return;
  memcpy(g_path, native.c_str(), native.size() + 1);
  g_armed = 1;
}

#else

void RemoveOnInterrupt(const std::filesystem::path&) {}

#endif
