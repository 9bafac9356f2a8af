// Scratch files for tests: a fresh folder per test program run, removed at exit.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

// A new empty folder under the system's temporary folder, unique to this call.
std::string TestTempDir();

// The path as UTF-16, the form the platform and archive calls take.
std::u16string TestWidePath(const std::string& path);

void TestWriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> TestReadFile(const std::string& path);

// The file's last-write time as a FILETIME (100 ns units since 1601-01-01 UTC).
uint64_t TestFileWriteTime(const std::string& path);

// The text's bytes, as a file or an entry holds them.
std::vector<uint8_t> TestBytes(const std::string& text);

// FF FE and the text as UTF-16 little-endian, as editors save a Unicode text file.
std::vector<uint8_t> TestUtf16File(const std::u16string& text);
