// The temporary installer that pack removes when Ctrl-C, SIGTERM or SIGHUP ends
// it. The signal handler may only make async-signal-safe calls, so the path is
// stored beforehand in a fixed buffer and the handler unlinks it. On Windows
// this does nothing.
#pragma once

#include <filesystem>

// Arms the handler with `path`, or disarms it when `path` is empty. The first
// call installs the handlers for SIGINT, SIGTERM and SIGHUP, which remove the
// armed file and then end the process by the same signal.
void RemoveOnInterrupt(const std::filesystem::path& path);
