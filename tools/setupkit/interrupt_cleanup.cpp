#include "setupkit/interrupt_cleanup.h"

#ifndef _WIN32
#include <signal.h>
#include <string.h>
#include <unistd.h>

namespace {

const int kSlots = 2;
const size_t kPathBytes = 4096;
char g_paths[kSlots][kPathBytes];
volatile sig_atomic_t g_armed[kSlots];
const int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

void RemoveAndDie(int signalNumber) {
  for (int i = 0; i < kSlots; ++i) {
    if (g_armed[i]) unlink(g_paths[i]);
  }
  signal(signalNumber, SIG_DFL);
  raise(signalNumber);
}

}  // namespace

void RemoveOnInterrupt(InterruptSlot slot, const std::filesystem::path& path) {
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
  g_armed[slot] = 0;
  const std::string native = path.native();
  if (native.empty() || native.size() >= kPathBytes) return;
  memcpy(g_paths[slot], native.c_str(), native.size() + 1);
  g_armed[slot] = 1;
}

#else

void RemoveOnInterrupt(InterruptSlot, const std::filesystem::path&) {}

#endif
