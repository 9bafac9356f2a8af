// Text conversions of the tool: command-line and list-file texts arrive in
// UTF-8 and are stored in Windows-1252, whatever code page the host runs with;
// what the tool prints is UTF-8 again.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>

namespace ansi {

// Converts UTF-8 to Windows-1252 bytes. Returns an empty string on success,
// otherwise the problem ("is not valid UTF-8", "contains U+0100 (Ā), which
// Windows-1252 cannot hold"); *out then holds the bytes converted so far.
std::string FromUtf8(const std::string& utf8, std::string* out);

// Windows-1252 bytes to UTF-8; the five undefined bytes become U+0081 and the like,
// as the Windows conversion does.
std::string ToUtf8(const std::string& ansi);

}  // namespace ansi

// Decodes one UTF-8 character at text[*i] and moves *i behind it. False for a
// malformed, overlong or surrogate sequence (*i then moves one byte).
bool DecodeUtf8(const std::string& text, size_t* i, uint32_t* c);

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(const std::u16string& text);

// UTF-8 to UTF-16; invalid sequences become U+FFFD.
std::u16string Utf8ToUtf16(const std::string& text);
