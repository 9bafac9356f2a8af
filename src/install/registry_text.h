// Text values in the registry, read and written with their bounds checked.
#pragma once

#include <windows.h>

#include <stdint.h>

// Reads the value `name` of root\subKey into buffer (capacity in units), its
// type not examined. True when it was read and fits with a terminator; the
// text then ends at the first terminator or after the bytes the value holds,
// whichever comes first. False, with buffer empty, when the key or value
// cannot be read, or the value fills the whole buffer with no terminator.
bool ReadRegistryText(HKEY root, const char16_t* subKey, const char16_t* name, char16_t* buffer, int capacity);

// Sets the value `name` of the open key to text as REG_SZ, terminator included.
// Returns the RegSetValueExW result.
LONG WriteRegistryText(HKEY key, const char16_t* name, const char16_t* text);

// Sets the value `name` of the open key to number as REG_DWORD. Returns the
// RegSetValueExW result.
LONG WriteRegistryNumber(HKEY key, const char16_t* name, uint32_t number);

// Writes "registry: <root>\<subKey>\<name> = <text>" (or the number) to the log.
void LogRegistryText(const char16_t* root, const char16_t* subKey, const char16_t* name, const char16_t* text);
void LogRegistryNumber(const char16_t* root, const char16_t* subKey, const char16_t* name, uint32_t number);
