// What a command removes when Ctrl-C, SIGTERM or SIGHUP ends it: pack's
// temporary installer, extract's staging folder, the folder of list's copy of
// an entry. The signal handler may only make async-signal-safe calls, so the
// path is stored beforehand in a fixed buffer and the handler removes it: a
// file by unlink, a folder tree by walking it with open, getdents64, unlinkat
// and rmdir. On Windows this does nothing.
#pragma once

#include <filesystem>

// Arms the handler with `path`, a file or a folder, or disarms it when `path`
// is empty. The first call installs the handlers for SIGINT, SIGTERM and
// SIGHUP, which remove the armed path (a folder with everything in it) and then
// end the process by the same signal.
void RemoveOnInterrupt(const std::filesystem::path& path);
