// The one place where portable UTF-16 text (char16_t) meets the Win32 wide
// calls (wchar_t, 16 bits on Windows). Include only from Win32 code.
#pragma once

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Win32 wchar_t is UTF-16");

inline const wchar_t* AsWide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
inline wchar_t* AsWide(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }
inline const char16_t* AsUtf16(const wchar_t* text) { return reinterpret_cast<const char16_t*>(text); }
inline char16_t* AsUtf16(wchar_t* text) { return reinterpret_cast<char16_t*>(text); }
