// The tool's file helpers: paths in messages, reading a file or a part of it,
// and names nothing holds yet.
#pragma once

#include <stdint.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "setupkit/exit_codes.h"

// The path as UTF-8, for messages.
std::string ShowPath(const std::filesystem::path& path);

// "path: cannot be read (words)" with the platform layer's last error.
Problem CannotRead(const std::filesystem::path& path);

// Reads at most `limit` bytes of a file through the platform layer: its first
// ones, or with `tail` its last ones (a file below 4 GiB). *bytes holds what
// was read, also after a failure. A folder is refused.
Problem ReadFileBytes(const std::filesystem::path& path, uint64_t limit, bool tail, std::vector<uint8_t>* bytes);
Problem ReadWholeFile(const std::filesystem::path& path, std::vector<uint8_t>* bytes);

enum FreshName { kNameMade, kNameTaken, kNameFailed };

// Calls `make` with up to 16 random texts of eight hex digits, for the caller to
// put into a name, until it returns other than kNameTaken, which it returns;
// kNameTaken when every name was taken.
FreshName MakeFreshName(const std::function<FreshName(const std::string& random)>& make);
