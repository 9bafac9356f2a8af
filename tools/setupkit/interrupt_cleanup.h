// Files that pack removes when Ctrl-C or SIGTERM ends it: the temporary
// installer and the uninstaller scratch file. The signal handler may only make
// async-signal-safe calls, so each path is stored beforehand in a fixed buffer
// and the handler unlinks it. On Windows this does nothing.
#pragma once

#include <filesystem>

enum InterruptSlot { kInterruptTemporary = 0, kInterruptScratch = 1 };

// Arms `slot` with `path`, or disarms it when `path` is empty. The first call
// installs the handlers for SIGINT, SIGTERM and SIGHUP, which remove the armed
// files and then end the process by the same signal.
void RemoveOnInterrupt(InterruptSlot slot, const std::filesystem::path& path);
