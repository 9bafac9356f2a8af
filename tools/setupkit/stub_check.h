// Whether a file is a Windows program, and whether it can be the stub of a new
// installer: a PE executable that is not signed yet, carries no payload yet and
// is the project's own setup.exe.
#pragma once

#include <stdint.h>

#include <filesystem>
#include <string>
#include <vector>

// The offset of the first payload magic that starts at or after the search
// start (where the locator would find it), or -1 when there is none.
int64_t StubFindPayloadMagic(const std::vector<uint8_t>& bytes);

// True when the bytes hold the text every setup.exe carries (archive/stub_marker.h).
bool StubHasMarker(const uint8_t* bytes, size_t size);

// Returns an empty string when `stub` may be packed, otherwise the problem:
// not an MZ/PE executable, no stub marker, an Authenticode certificate table in the security
// data directory (signing must come after packing, since the payload goes where
// the certificate table would have to follow), or a payload magic where the
// locator would find it before the new payload.
std::string StubCheck(const std::vector<uint8_t>& stub);

// The architecture a program runs on, from its PE machine field: "x86" (i386)
// or "x64" (x86-64); empty for another machine or no PE image. `start` holds
// the file's first bytes (kPeHeaderBytes of them, or all), `fileSize` its size.
std::string ProgramArchitecture(const std::vector<uint8_t>& start, uint64_t fileSize);

// The same, read from the start of the file at `path`; empty when it cannot be read.
std::string FileArchitecture(const std::filesystem::path& path);
