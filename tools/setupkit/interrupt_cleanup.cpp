#include "setupkit/interrupt_cleanup.h"

#ifndef _WIN32
#include <signal.h>
#include <string.h>
#include <unistd.h>

namespace {

const size_t kPathBytes = 4096;
char g_path[kPathBytes];
volatile sig_atomic_t g_armed;
const int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

void RemoveAndDie(int signalNumber) {
  if (g_armed) unlink(g_path);
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
